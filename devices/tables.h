#pragma once
// The targets shown in the two lists. Row i of the drive list is DriveTable[i], row i of the
// disk list DiskTable[i]. Texts are fixed-width, NUL-terminated single-byte strings; the
// widths include the terminator and are what breakpoint records and lists rely on.

#include <cstdint>

inline constexpr int kDriveTableSize = 30;
inline constexpr int kDiskTableSize = 100;
inline constexpr std::int32_t kUnknownDisk = 65535;

struct DriveRecord {
  char RootPath[20];      // "E:\"
  char FileSystem[50];    // "NTFS", "FAT32", ...; empty when not recognised
  std::uint64_t Capacity; // bytes of the file system; 0 when unknown or unformatted
  char CapacityText[50];  // "74.5 GB"; empty when Capacity is unknown
  char Label[256];        // volume label, or "Incomplete wipe, resumable."
  std::int32_t DiskNumber;  // disk of the first extent; kUnknownDisk when not found
};

struct DiskRecord {
  char Name[12];          // "Disk0"
  std::int32_t DiskNumber;
  std::uint64_t Capacity; // bytes of the whole disk; 0 when the geometry is unknown
  char CapacityText[50];  // "0 MB" when Capacity is 0
  char LogicalDrives[558];  // "C:\ [System] D:\ [] "
};

extern DriveRecord DriveTable[kDriveTableSize];
extern std::int32_t DriveCount;
extern DiskRecord DiskTable[kDiskTableSize];
extern std::int32_t DiskCount;
extern std::int32_t SelectedDriveRow;  // -1: no row checked
extern std::int32_t SelectedDiskRow;   // -1: no row checked
