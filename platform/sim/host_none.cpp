// Hosts without named mutexes or a help viewer (the native test builds).
#include "platform/sim/host.h"

namespace sim::host {

bool CreateNamedMutex(const std::string&, bool*) { return false; }

void ShowHelpFile(const std::string&) {}

}  // namespace sim::host
