// Which volume and which disk hold the running Windows.
#include "devices/inventory.h"
#include "devices/text_field.h"

// Reads the Windows directory, asks its volume's drive type, and opens the volume ("\\.\C:")
// for reading to ask for its extents. The name is written whenever the directory could be read.
// In WinPE the Windows directory lies on a RAM disk (X:) that no physical disk holds: its drive
// type says so, or its extents name no disk. A volume that cannot be opened or does not fit one
// extent (mirrored or spanned over two disks) leaves the disk unknown.
WindowsDisk LocateWindowsDisk(std::string* systemDriveName, std::int32_t* systemDiskNumber) {
  std::string directory;
  if (!platform::WindowsDirectory(&directory)) return WindowsDisk::Unknown;
  const std::string volumeName = directory.substr(0, 2);
  *systemDriveName = volumeName;
  if (platform::DriveType(volumeName + "\\") == platform::kDriveRamDisk) return WindowsDisk::None;

  std::uint32_t extentCount = 0;
  platform::DiskExtent first;
  {
    platform::Device volume = platform::OpenDevice(VolumeDevicePath(volumeName), platform::Access::Read);
    if (!volume) return WindowsDisk::Unknown;
    if (!platform::QueryVolumeDiskExtents(volume, &extentCount, &first)) return WindowsDisk::Unknown;
  }
  if (extentCount == 0) return WindowsDisk::None;
  *systemDiskNumber = static_cast<std::int32_t>(first.diskNumber);
  return WindowsDisk::One;
}

bool FindSystemDrive(std::string* systemDriveName, std::int32_t* systemDiskNumber) {
  return LocateWindowsDisk(systemDriveName, systemDiskNumber) == WindowsDisk::One;
}

bool IsSystemVolume(const std::string& volumeName) {
  std::string systemName;
  std::int32_t systemDisk = 0;
  FindSystemDrive(&systemName, &systemDisk);
  // Without a disk number the volume is still known by its letter, and Windows may report
  // the letter in lower case while the tables hold upper case.
  return !systemName.empty() && SameTextIgnoringCase(systemName, volumeName);
}

bool IsSystemDisk(std::int32_t diskNumber) {
  std::string systemName;
  std::int32_t systemDisk = 0;
  return FindSystemDrive(&systemName, &systemDisk) && systemDisk == diskNumber;
}
