#pragma once
// The program's answers to window events. The window port (ui/win32 or a test through
// ui/headless) calls these; they hold the behaviour, the windows only deliver the events.

#include "ui/ui.h"

namespace app {

int RunProgram();  // the entry: start-up order, single-instance check, event loop; returns 0

// TForm1
void FormCreate();
void FormActivate(int left, int top, int width, int height);  // outer rectangle, screen pixels
void FormClose();
void ListChanged(ui::List list);  // any change notification of a list
void WipeItNowClicked();
void ResumeClicked();
void ScanForHardwareChangesClicked();
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
