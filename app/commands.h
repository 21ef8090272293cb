#pragma once
// The "Wipe it now" command and the start-up checks.

#include <cstdint>
#include <string>

void WipeCommand();
bool IsNtPlatform();
void StartupChecks();

// Refusals shared by "Wipe it now" and "Resume"; each plays the ding and logs why. True when
// the target was refused. DiskRefused refreshes the drive list first.
bool SystemVolumeRefused(const std::string& volumeName);
bool DiskRefused(std::int32_t diskNumber);
