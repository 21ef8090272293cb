// Raw device names as CreateFileA expects them.
#include "devices/inventory.h"

std::string VolumeDevicePath(const std::string& volumeName) { return "\\\\.\\" + volumeName; }

std::string DiskDevicePath(std::int32_t diskNumber) {
  return "\\\\.\\physicaldrive" + std::to_string(diskNumber);
}

std::string VolumeName(const std::string& rootPath) {
  return rootPath.empty() ? rootPath : rootPath.substr(0, rootPath.size() - 1);
}
