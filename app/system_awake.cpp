#include "app/system_awake.h"

#include "app/log.h"
#include "platform/platform.h"

// A refused hold does not stop the run; the user learns that a sleep may interrupt it, which
// leaves a breakpoint record to resume from.
SystemAwake::SystemAwake() {
  if (!platform::HoldSystemAwake()) LogMessage("Can not keep the computer awake during the wipe.");
}

// The display was never held, so releasing touches only the system's sleep.
SystemAwake::~SystemAwake() { platform::ReleaseSystemAwake(); }
