#pragma once
// The few services the simulation borrows from the machine it runs on. Two copies of
// dunmere-sim.exe are two processes, so only a real named mutex lets the second one see the
// first; the native test builds have no such host and keep the names per process. The demo's
// user guide is the real one beside it, so the host's help viewer shows it.

#include <string>

namespace sim::host {

// False when the host offers no named mutex; otherwise the answer of a real CreateMutex.
bool CreateNamedMutex(const std::string& name, bool* alreadyExists);

// Shows a help file of the host (a path on the host) in the host's viewer; nothing where the
// host has none.
void ShowHelpFile(const std::string& hostPath);

}  // namespace sim::host
