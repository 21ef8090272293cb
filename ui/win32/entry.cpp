// The executable's entry: the platform learns where the program lives, then the program runs.
#include <windows.h>

#include <string>

#include "app/handlers.h"
#include "platform/platform.h"
#include "ui/win32/framework.h"
#include "ui/win32/module_path.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int result = 0;
  // An exception escaping start-up is shown like one from a handler, and the program ends.
  winui::Guarded(nullptr, [&]() -> LRESULT {
    platform::Initialise(winui::ModulePath());
    result = app::RunProgram();
    return 0;
  });
  winui::DestroyForms();
  return result;
}
