// Switching the computer off after an unattended wipe.
#include "postwipe/postwipe.h"

#include "platform/platform.h"

int ShutdownComputer() {
  // Without our own token there is no privilege to enable and nothing is asked of the system.
  if (!platform::EnableShutdownPrivilege()) return 0;
  // No force: running programs are asked to close, so nobody loses unsaved work silently.
  return platform::RequestPowerOff();
}
