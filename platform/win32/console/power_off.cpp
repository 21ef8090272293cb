// Switching the computer off from the console program, through ADVAPI32 alone (WinPE has no
// USER32 to speak of): the shutdown privilege must be enabled first, as for ExitWindowsEx.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

// No timeout, no message, applications closed without asking (nobody is there to answer),
// no restart. Nonzero when the request was accepted.
int RequestPowerOff() {
  return InitiateSystemShutdownExA(nullptr, nullptr, 0, TRUE, FALSE,
                                   SHTDN_REASON_MAJOR_OPERATINGSYSTEM | SHTDN_REASON_MINOR_OTHER |
                                       SHTDN_REASON_FLAG_PLANNED);
}

}  // namespace platform
