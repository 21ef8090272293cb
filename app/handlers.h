#pragma once
// The program's answers to window events. The window port (ui/win32 or a test through
// ui/headless) calls these; they hold the behaviour, the windows only deliver the events.

#include <string>

#include "ui/ui.h"

namespace app {

int RunProgram();  // the entry: start-up order, single-instance check, event loop; returns 0

// TForm1
void FormCreate();
void FormActivate(int left, int top, int width, int height);  // outer rectangle, screen pixels
void FormClose();
void ListChanged(ui::List list);  // any change notification of a list
void PageChanged();               // the other tab was chosen
std::string RowTip(ui::List list, int row);  // the info tip of a row the pointer rests on
void WipeItNowClicked();
void ResumeClicked();
void ScanForHardwareChangesClicked();
// Windows told that a disk or volume arrived or went: both lists are refilled (no row checked),
// as the scan does; while a command runs, only once it has ended.
void DevicesChanged();
void OpenReportsFolderClicked();
void HelpMethodClicked();
void WebSiteClicked();
void ContactUsClicked();
void UserGuideClicked();
void CheckForUpdateClicked();
void DisableSoundClicked();     // toggles the check mark
void VerifyAfterWipeClicked();  // toggles the check mark

// TForm3
void CancelClicked();

}  // namespace app
