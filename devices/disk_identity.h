#pragma once
// What each physical disk says of itself (model, serial number, bus, solid state), kept beside
// DiskTable: DiskIdentities[i] belongs to DiskTable[i] and is rebuilt with it.

#include <cstdint>
#include <string>

#include "devices/tables.h"
#include "platform/platform.h"

extern platform::DeviceIdentity DiskIdentities[kDiskTableSize];

// Opens "\\.\physicaldriveN" for device queries and asks it; everything unknown when it
// cannot be opened or does not answer (also for kUnknownDisk).
platform::DeviceIdentity DiskIdentity(std::int32_t diskNumber);

// "DUNMERE VIRTUAL DISK 256 · S/N DM0001", either part alone, or empty when both are unknown.
std::string ModelText(const platform::DeviceIdentity& identity);  // vendor and product
std::string ModelAndSerialText(const platform::DeviceIdentity& identity);
