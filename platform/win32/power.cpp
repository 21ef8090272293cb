// Switching the computer off after a wipe, and keeping it awake while one runs.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/unique_handle.h"

namespace platform {

// ExitWindowsEx refuses a power-off unless the caller's token has the shutdown privilege
// enabled; administrators hold it, but disabled. Whether the lookup and the adjustment worked
// is not checked: the power-off request itself then fails and the computer stays on.
bool EnableShutdownPrivilege() {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) {
    return false;
  }
  win32::UniqueHandle token(rawToken);
  TOKEN_PRIVILEGES privileges = {};
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  return true;
}

// Windows counts only input as activity, so a run that writes for hours without a click would
// let the idle timer send the computer to sleep in the middle. ES_CONTINUOUS keeps the state
// until the next call on this thread; the display is left to its own timer.
bool HoldSystemAwake() { return SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0; }
bool ReleaseSystemAwake() { return SetThreadExecutionState(ES_CONTINUOUS) != 0; }

}  // namespace platform
