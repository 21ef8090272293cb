// The life of the process: three windows, one copy per logon session, one event loop.
#include "app/handlers.h"
#include "app/log.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace {
const char* const kInstanceMutexName = "Dunmere designed by Korvane";
}

namespace app {

int RunProgram() {
  ui::InitFramework();
  ui::CreateMainWindow();  // FormCreate runs here, before the window is shown
  ui::CreateLogWindow();
  ui::CreateProgressWindow();
  // The check comes after the windows are built, so a second copy has already run its
  // start-up checks and listed the devices when it says another copy is running.
  bool alreadyExists = false;
  if (platform::CreateInstanceMutex(kInstanceMutexName, &alreadyExists) && alreadyExists) {
    ui::ShowAlreadyRunningBox();
    ui::RequestTermination();
  }
  ui::RunEventLoop();
  return 0;
}

void FormActivate(int left, int top, int width, int height) {
  // Twice the centre of a centred window is the desktop's bottom-right corner.
  LogAnchor.X = 2 * (left + width / 2);
  LogAnchor.Y = 2 * (top + height / 2);
}

}  // namespace app
