// Hosts without named mutexes, a help viewer, windows or sound (the native test builds).
#include "platform/sim/host.h"

namespace sim::host {

bool CreateNamedMutex(const std::string&, bool*) { return false; }

void ShowHelpFile(const std::string&) {}

bool ShowWarning(const std::string&) { return false; }

bool PlaySoundFile(const std::string&) { return false; }

}  // namespace sim::host
