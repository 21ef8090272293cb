#pragma once
// Control and menu command identifiers of the three windows and the message dialogs. The GUI
// tests find the controls by these numbers, so they are fixed here and nowhere else.

namespace winui {

// TForm1
inline constexpr int kIdPageControl = 100;
inline constexpr int kIdDrivePanelCaption = 110;
inline constexpr int kIdDriveScanLink = 111;
inline constexpr int kIdDriveList = 112;
inline constexpr int kIdDiskPanelCaption = 120;
inline constexpr int kIdDiskScanLink = 121;
inline constexpr int kIdDiskList = 122;
inline constexpr int kIdMethodBox = 130;
inline constexpr int kIdHelpMethodButton = 131;
inline constexpr int kIdWipeItNowButton = 132;
inline constexpr int kIdResumeButton = 133;
inline constexpr int kIdStatusBar = 140;

// TForm1's menu bar
inline constexpr int kMenuScanForHardwareChanges = 201;
inline constexpr int kMenuWipeItNow = 202;
inline constexpr int kMenuResume = 203;
inline constexpr int kMenuOpenReportsFolder = 204;
inline constexpr int kMenuDisableSound = 211;  // Disablesound1
inline constexpr int kMenuVerifyAfterWipe = 212;
inline constexpr int kMenuWebSite = 221;
inline constexpr int kMenuContactUs = 222;
inline constexpr int kMenuCheckForUpdate = 231;
inline constexpr int kMenuUserGuide = 241;

// TForm2
inline constexpr int kIdLogBox = 300;

// TForm3: Label1 to Label8 are kIdLabel1 + 0 to 7
inline constexpr int kIdLabel1 = 401;
inline constexpr int kIdProgressBar = 410;
inline constexpr int kIdFormatBox = 411;
inline constexpr int kIdShutdownBox = 412;
inline constexpr int kIdCancelButton = 413;
inline constexpr int kIdCancelNote = 414;

// Message dialogs; their buttons use the standard IDOK, IDYES and IDNO.
inline constexpr int kIdDialogIcon = 20;
inline constexpr int kIdDialogText = 0xFFFF;

}  // namespace winui
