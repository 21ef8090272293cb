// Hosts without named mutexes (the native test builds).
#include "platform/sim/host.h"

namespace sim::host {

bool CreateNamedMutex(const std::string&, bool*) { return false; }

}  // namespace sim::host
