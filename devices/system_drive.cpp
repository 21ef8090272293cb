// Which volume and which disk hold the running Windows.
#include <cctype>

#include "devices/inventory.h"

// Reads the Windows directory and opens its volume ("\\.\C:") for reading to ask for its
// first extent's disk. The name is written whenever the directory could be read; the result
// is false when the volume cannot be opened or does not fit one extent.
bool FindSystemDrive(std::string* systemDriveName, std::int32_t* systemDiskNumber) {
  std::string directory;
  if (!platform::WindowsDirectory(&directory)) return false;
  const std::string volumeName = directory.substr(0, 2);
  *systemDriveName = volumeName;

  std::uint32_t extentCount = 0;
  platform::DiskExtent first;
  {
    platform::Device volume = platform::OpenDevice(VolumeDevicePath(volumeName), platform::Access::Read);
    if (!volume) return false;
    if (!platform::QueryVolumeDiskExtents(volume, &extentCount, &first)) return false;
  }
  if (extentCount == 0) return false;
  *systemDiskNumber = static_cast<std::int32_t>(first.diskNumber);
  return true;
}

namespace {

bool SameVolumeName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

bool IsSystemVolume(const std::string& volumeName) {
  std::string systemName;
  std::int32_t systemDisk = 0;
  FindSystemDrive(&systemName, &systemDisk);
  // Without a disk number the volume is still known by its letter, and Windows may report
  // the letter in lower case while the tables hold upper case.
  return !systemName.empty() && SameVolumeName(systemName, volumeName);
}

bool IsSystemDisk(std::int32_t diskNumber) {
  std::string systemName;
  std::int32_t systemDisk = 0;
  return FindSystemDrive(&systemName, &systemDisk) && systemDisk == diskNumber;
}
