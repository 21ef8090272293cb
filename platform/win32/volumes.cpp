// Volumes by their root path ("E:\") and the Windows directory.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {
constexpr DWORD kVolumeNameChars = 255;
constexpr UINT kWindowsDirectoryChars = 2500;
}  // namespace

std::uint32_t DriveType(const std::string& rootPath) { return GetDriveTypeA(rootPath.c_str()); }

// Fails for a volume without a recognised file system and for a removable drive without
// medium; the caller has switched off the critical-error box, so that failure is quiet.
bool VolumeInformation(const std::string& rootPath, std::string* volumeName,
                       std::string* fileSystemName, std::uint32_t* serialNumber) {
  char name[kVolumeNameChars] = {};
  char fileSystem[kVolumeNameChars] = {};
  DWORD serial = 0;
  if (!GetVolumeInformationA(rootPath.c_str(), name, kVolumeNameChars, serialNumber != nullptr ? &serial : nullptr,
                             nullptr, nullptr, fileSystem, kVolumeNameChars)) {
    return false;
  }
  if (volumeName != nullptr) *volumeName = name;
  if (fileSystemName != nullptr) *fileSystemName = fileSystem;
  if (serialNumber != nullptr) *serialNumber = serial;
  return true;
}

// The size of the file system, not of the device: an unformatted volume has none and fails.
bool DiskTotalBytes(const std::string& rootPath, std::uint64_t* totalBytes) {
  ULARGE_INTEGER total = {};
  if (!GetDiskFreeSpaceExA(rootPath.c_str(), nullptr, &total, nullptr)) return false;
  if (totalBytes != nullptr) *totalBytes = total.QuadPart;
  return true;
}

bool WindowsDirectory(std::string* directory) {
  char buffer[kWindowsDirectoryChars] = {};
  const UINT length = GetWindowsDirectoryA(buffer, kWindowsDirectoryChars);
  // A result as large as the buffer is the size needed, not a path: nothing was copied.
  if (length == 0 || length >= kWindowsDirectoryChars) return false;
  if (directory != nullptr) directory->assign(buffer, length);
  return true;
}

}  // namespace platform
