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

bool LockVolume(const std::string& volumeName);
void UnlockVolume();
bool LockDiskVolumes(std::int32_t diskNumber);
bool UnlockDiskVolumes();
bool RefreshDiskProperties(std::int32_t diskNumber);
