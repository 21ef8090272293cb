#pragma once
// The few services the simulation borrows from the machine it runs on. Two copies of
// dunmere-sim.exe are two processes, so only a real named mutex lets the second one see the
// first. The demo's user guide is the real one beside it, so the host's help viewer shows it;
// the demo is seen and heard, so its warnings and sounds are real too. The native test builds
// have no such host: they keep the names per process, show nothing and play nothing.

#include <functional>
#include <string>

#include "platform/sim/machine.h"

namespace sim::host {

// False when the host offers no named mutex; otherwise the answer of a real CreateMutex.
bool CreateNamedMutex(const std::string& name, bool* alreadyExists);

// Shows a help file of the host (a path on the host) in the host's viewer; nothing where the
// host has none.
void ShowHelpFile(const std::string& hostPath);

// Opens a folder of the host in the host's file browser. False when the host has one and it
// could not show the folder; true where the host has no windows (nothing to show it on, as
// the demo's web addresses open nowhere).
bool ShowFolder(const std::string& hostPath);

// A modal box captioned "Warning" with this text and an OK button, before any window of the
// program exists; returns when it is closed. False when the host cannot show one.
bool ShowWarning(const std::string& text);

// Plays the sound file (a path of the host) in the background, replacing one still playing.
// False when the host has no sound or could not play it.
bool PlaySoundFile(const std::string& path);

// From now on, calls `changed` on the program's own thread, between its window events, each
// time the host file at this path is written; nothing where the host has no windows.
void WatchFile(const std::string& hostPath, std::function<void()> changed);

// Tells the program's windows what was plugged in and pulled out, as Windows broadcasts it
// (WM_DEVICECHANGE); nothing where the host has no windows.
void AnnounceDeviceChanges(const PlugChanges& changes);

}  // namespace sim::host
