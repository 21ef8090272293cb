#include "devices/tables.h"

DriveRecord DriveTable[kDriveTableSize];
std::int32_t DriveCount = 0;
DiskRecord DiskTable[kDiskTableSize];
std::int32_t DiskCount = 0;
std::int32_t SelectedDriveRow = -1;
std::int32_t SelectedDiskRow = -1;
