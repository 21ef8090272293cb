// Hosts without named mutexes, a help viewer, windows, file watches or sound (the native test builds).
#include "platform/sim/host.h"

namespace sim::host {

bool CreateNamedMutex(const std::string&, bool*) { return false; }

void ShowHelpFile(const std::string&) {}

bool ShowFolder(const std::string&) { return true; }

bool ShowWarning(const std::string&) { return false; }

bool PlaySoundFile(const std::string&) { return false; }

void WatchFile(const std::string&, std::function<void()>) {}

void AnnounceDeviceChanges(const PlugChanges&) {}

}  // namespace sim::host
