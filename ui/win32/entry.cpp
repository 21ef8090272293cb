// The executable's entry: the platform learns where the program lives, then the program runs.
#include <windows.h>

#include <string>

#include "app/handlers.h"
#include "platform/platform.h"
#include "ui/win32/framework.h"

namespace {

std::string ModulePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // cut short: try again with more room
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int result = 0;
  // An exception escaping start-up is shown like one from a handler, and the program ends.
  winui::Guarded(nullptr, [&]() -> LRESULT {
    platform::Initialise(ModulePath());
    result = app::RunProgram();
    return 0;
  });
  winui::DestroyForms();
  return result;
}
