#pragma once
// Exclusive hold of one volume for a drive run, or of every lettered volume of a disk for a
// disk run, for the length of the run. The handles belong to the run that took them.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "wipe/run_context.h"

// The handle a run writes through: unbuffered and overlapped, so its blocks go past the
// system's cache, several at once; where the device refuses that open, the plain one, with a
// line in the log naming the subject ("Drive E:", "Disk 1"). The device says which
// (platform::Device::unbuffered).
platform::Device OpenRunDevice(RunContext& context, const std::string& path, const std::string& subject);

// Opens "\\.\E:" for reading and writing and secures it (locked, or else dismounted) into
// *volume. False, with "Unable to dismount the drive!" and nothing left open, when the volume
// can neither be opened, locked nor dismounted.
bool LockVolume(RunContext& context, const std::string& volumeName, platform::Device* volume);
void UnlockVolume(platform::Device* volume);

// Secures every named volume ("E:") in order into *held. At the first one that will not be
// secured it tells the user, releases every handle taken so far and tries no further.
bool LockDiskVolumes(RunContext& context, const std::vector<std::string>& volumeNames,
                     std::vector<platform::Device>* held);
void UnlockDiskVolumes(std::vector<platform::Device>* held);
bool RefreshDiskProperties(std::int32_t diskNumber);
