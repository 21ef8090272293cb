// Linked into dunmere-sim.exe only (see cmake/windows.cmake): the simulation's single-instance
// mutex is a real one when the demo runs on Windows or Wine, so a second copy is refused; its
// user guide opens in the real help viewer, and its warning before the machine loads and its
// sounds are real as well.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include "platform/sim/host.h"

namespace sim::host {

bool CreateNamedMutex(const std::string& name, bool* alreadyExists) {
  // Deliberately never closed: the name must live exactly as long as the process.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return false;
  *alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
  return true;
}

void ShowHelpFile(const std::string& hostPath) {
  ShellExecuteA(nullptr, "open", hostPath.c_str(), nullptr, nullptr, SW_SHOW);
}

// No window of the program exists yet, so the box has no owner; MB_TASKMODAL keeps it modal
// to the thread, and MB_SETFOREGROUND brings it up over whatever started the demo.
bool ShowWarning(const std::string& text) {
  return MessageBoxA(nullptr, text.c_str(), "Warning",
                     MB_OK | MB_ICONWARNING | MB_TASKMODAL | MB_SETFOREGROUND) != 0;
}

bool PlaySoundFile(const std::string& path) { return sndPlaySoundA(path.c_str(), SND_ASYNC) != FALSE; }

}  // namespace sim::host
