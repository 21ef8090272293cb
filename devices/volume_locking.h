#pragma once
// Exclusive hold of one volume for a drive run, or of every listed volume of a disk for a
// disk run, for the length of the run.

#include <cstdint>
#include <string>

#include "platform/platform.h"

inline constexpr int kLockedVolumesSize = 30;

extern platform::Device LockedVolumeHandle;
extern platform::Device LockedDiskVolumes[kLockedVolumesSize];
extern std::int32_t LockedDiskVolumeCount;
// LockedVolumeHandle was opened unbuffered: the run may keep several writes in flight on it.
extern bool LockedVolumeWritesInFlight;

// The handle a run writes through: unbuffered and overlapped, so its blocks go past the
// system's cache, several at once; where the device refuses that open, the plain one, with a
// line in the log naming the subject ("Drive E:", "Disk 1"). *writesInFlight says which.
platform::Device OpenRunDevice(const std::string& path, const std::string& subject, bool* writesInFlight);

bool LockVolume(const std::string& volumeName);
void UnlockVolume();
bool LockDiskVolumes(std::int32_t diskNumber);
bool UnlockDiskVolumes();
bool RefreshDiskProperties(std::int32_t diskNumber);
