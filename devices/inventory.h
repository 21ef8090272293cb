#pragma once
// Volume and disk inventory: the tables behind the two lists (app/target_lists.h shows them).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

void RefreshDriveTable();
// The volumes ("E:") that the drive table would list on the disk, asked of the platform
// without touching the table, in letter order.
std::vector<std::string> LetteredVolumesOfDisk(std::int32_t diskNumber);
std::int32_t LocateVolume(const std::string& rootPath, std::uint64_t* capacity, char (&capacityText)[50]);
bool GetVolumeSize(const std::string& rootPath, std::uint64_t* totalBytes, char (&sizeText)[50]);
std::string FormatSizeText(std::uint64_t bytes);

void RefreshDiskTable();
bool GetDiskGeometry(std::uint8_t diskNumber, platform::DiskGeometry* geometry);
bool GetDiskGeometryEx(std::uint8_t diskNumber, platform::DiskGeometry* geometry, std::uint64_t* diskSize);
bool IsRemovableDisk(std::int32_t diskNumber);

// Where the running Windows lies: on one disk (its number is written), on no disk at all (a
// RAM disk, as in WinPE: every disk may be wiped), or on a disk that cannot be told (refuse
// every disk). The drive letter and colon are written whenever the Windows directory is known.
enum class WindowsDisk { One, None, Unknown };
WindowsDisk LocateWindowsDisk(std::string* systemDriveName, std::int32_t* systemDiskNumber);
// Drive letter and colon of the volume holding the Windows directory, and its disk number:
// true only when one disk holds it.
bool FindSystemDrive(std::string* systemDriveName, std::int32_t* systemDiskNumber);
// The refusal rules of both commands. A volume ("E:") is the system volume whenever the
// Windows directory names its letter, in either case, even if the disk behind it is unknown.
bool IsSystemVolume(const std::string& volumeName);
// A disk is the system disk only when the system volume's disk number is known and equal.
bool IsSystemDisk(std::int32_t diskNumber);

// 1 when sectorCount sectors of 512 bytes from firstSector were read in full, else 0.
std::uint8_t SectorReader(std::uint8_t diskNumber, std::uint32_t firstSector, std::uint32_t sectorCount, void* buffer);

std::string VolumeDevicePath(const std::string& volumeName);  // "E:" -> "\\.\E:"
std::string VolumeName(const std::string& rootPath);          // "E:\" -> "E:"
std::string DiskDevicePath(std::int32_t diskNumber);          // 3 -> "\\.\physicaldrive3"
