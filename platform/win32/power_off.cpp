// Switching the computer off after a wipe, as the windows do (USER32).
#include <windows.h>

#include "platform/platform.h"

namespace platform {

// Without EWX_FORCE, so running programs are asked to close instead of being killed.
int RequestPowerOff() { return ExitWindowsEx(EWX_POWEROFF, 0); }

}  // namespace platform
