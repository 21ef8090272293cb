#pragma once
// The "Wipe it now" and "Resume" commands and the start-up checks.

#include <cstdint>
#include <string>

#include "devices/target.h"

void WipeCommand();
// Continues an interrupted wipe of the checked volume or disk from the record the interrupted
// run left at the start of the device.
void ResumeCommand();
bool IsNtPlatform();
void StartupChecks();

// Refusals shared by "Wipe it now" and "Resume"; each plays the ding and logs why. True when
// the target was refused. DiskRefused refreshes the drive list first.
bool SystemVolumeRefused(const std::string& volumeName);
bool DiskRefused(std::int32_t diskNumber);
// What the method or the disk's own state refuses, before any question: the disk's own
// sanitize for a volume, for a disk that cannot take it or is busy with one; any other command
// on a disk that is sanitizing itself or whose last sanitize failed. resume: the method is the
// record's, an overwrite.
bool MethodRefused(const Target& target, int methodId, bool resume);
