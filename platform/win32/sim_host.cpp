// Linked into dunmere-sim.exe only (see cmake/windows.cmake): the simulation's single-instance
// mutex is a real one when the demo runs on Windows or Wine, so a second copy is refused, and
// its user guide opens in the real help viewer.
#include <windows.h>
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

}  // namespace sim::host
