// Raw volumes and physical disks ("\\.\E:", "\\.\physicaldrive1") through their device paths.
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sector_span.h"
#include "platform/win32/unbuffered_device.h"
#include "platform/win32/unique_handle.h"

namespace platform {

namespace {

// One extent is all the program asks for: a volume spread over several disks makes the call
// fail with ERROR_MORE_DATA, and such a volume is treated as not located.
static_assert(sizeof(VOLUME_DISK_EXTENTS) == 32, "count and one DISK_EXTENT");
static_assert(sizeof(DISK_GEOMETRY) == 24, "DISK_GEOMETRY as the disk driver fills it");
static_assert(sizeof(DISK_GEOMETRY_EX) == 40, "geometry, DiskSize and one byte of Data");

HANDLE ToHandle(const Device& device) { return reinterpret_cast<HANDLE>(device.get()); }

// An empty Device holds -1, which Windows also reads as the pseudo-handle of the current
// process: a control sent to it may even succeed. No call is made for an empty Device.
bool Usable(const Device& device) {
  if (device.valid()) return true;
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

// A control that carries no data either way; the lock family and the layout refresh.
bool SendControl(const Device& device, DWORD code) {
  if (!Usable(device)) return false;
  DWORD returned = 0;
  return win32::WaitedControl(device, code, nullptr, 0, nullptr, 0, &returned) != 0;
}

// A control that only fills an output buffer of a fixed size.
bool QueryControl(const Device& device, DWORD code, void* output, DWORD outputBytes) {
  if (!Usable(device)) return false;
  DWORD returned = 0;
  return win32::WaitedControl(device, code, nullptr, 0, output, outputBytes, &returned) != 0;
}

void CopyGeometry(const DISK_GEOMETRY& from, DiskGeometry* to) {
  to->cylinders = from.Cylinders.QuadPart;
  to->mediaType = static_cast<std::uint32_t>(from.MediaType);
  to->tracksPerCylinder = from.TracksPerCylinder;
  to->sectorsPerTrack = from.SectorsPerTrack;
  to->bytesPerSector = from.BytesPerSector;
}

}  // namespace

void CloseNative(NativeHandle handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

// Opens a device path for one of the four uses. A device opened with access 0 answers
// geometry queries without needing the rights a read would (and without spinning up media);
// the sharing flags let the file systems that still hold the volume keep their handles.
// Returns an empty Device when the path cannot be opened.
Device OpenDevice(const std::string& path, Access access) {
  DWORD desiredAccess = 0;
  DWORD flags = 0;
  switch (access) {
    case Access::QueryOnly:
      break;
    case Access::Read:
      desiredAccess = GENERIC_READ;
      flags = FILE_ATTRIBUTE_NORMAL;
      break;
    case Access::ReadWrite:
      desiredAccess = GENERIC_READ | GENERIC_WRITE;
      break;
    case Access::ReadWriteUnbuffered:
      desiredAccess = GENERIC_READ | GENERIC_WRITE;
      flags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED;
      break;
  }
  win32::UniqueFile file(CreateFileA(path.c_str(), desiredAccess,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     flags, nullptr));
  if (!file) return Device();
  if (access == Access::ReadWriteUnbuffered) {
    const std::uint32_t sectorBytes = win32::UnbufferedSectorBytes(file.get());
    return Device(reinterpret_cast<NativeHandle>(file.release()), sectorBytes);
  }
  return Device(reinterpret_cast<NativeHandle>(file.release()));
}

// SetFilePointer takes a 64-bit distance as a signed low part and a high part passed in and
// out by pointer. With the high part given, a low part of 0xFFFFFFFF is a real position (just
// below every multiple of 4 GiB), so only the last error tells it from the failure value.
bool SetPosition(const Device& device, std::int64_t distance, Origin origin,
                 std::uint64_t* newPosition) {
  if (!Usable(device)) return false;
  // Transfers on an overlapped handle never move the position Windows keeps for it: a move
  // from where the device stands starts from the position the platform keeps.
  if (origin == Origin::Current && device.unbuffered()) {
    return SetPosition(device, static_cast<std::int64_t>(device.position()) + distance, Origin::Begin, newPosition);
  }
  const auto bits = static_cast<std::uint64_t>(distance);
  LONG high = static_cast<LONG>(static_cast<std::uint32_t>(bits >> 32));
  const LONG low = static_cast<LONG>(static_cast<std::uint32_t>(bits));
  const DWORD method = origin == Origin::Begin ? FILE_BEGIN : FILE_CURRENT;
  // An error left over from an earlier call must not make a good move look failed.
  SetLastError(NO_ERROR);
  const DWORD resultLow = SetFilePointer(ToHandle(device), low, &high, method);
  if (resultLow == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  const std::uint64_t position = static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32 | resultLow;
  if (device.unbuffered()) device.keepPosition(position);
  if (newPosition != nullptr) *newPosition = position;
  return true;
}

// Synchronous transfers, judged by their count alone: at the end of a disk a write may stop
// part-way, and a failed call still says through the count how much reached the device.
std::uint32_t ReadDevice(const Device& device, void* buffer, std::uint32_t bytes) {
  if (!Usable(device)) return 0;
  if (device.unbuffered()) return ReadInSectors(device, buffer, bytes);
  DWORD transferred = 0;
  ReadFile(ToHandle(device), buffer, bytes, &transferred, nullptr);
  return transferred;
}

std::uint32_t WriteDevice(const Device& device, const void* buffer, std::uint32_t bytes) {
  if (!Usable(device)) return 0;
  if (device.unbuffered()) return WriteInSectors(device, buffer, bytes);
  DWORD transferred = 0;
  WriteFile(ToHandle(device), buffer, bytes, &transferred, nullptr);
  return transferred;
}

// On a raw volume or disk handle this also makes the disk empty its own write cache; Wine maps
// it to fsync of the file or block device behind the drive.
bool FlushDevice(const Device& device) {
  if (!Usable(device)) return false;
  return FlushFileBuffers(ToHandle(device)) != 0;
}

// Sent with no buffers: the control only marks the handle, and the file system answers it for
// that handle alone.
bool ControlAllowExtendedDasd(const Device& device) {
  return SendControl(device, FSCTL_ALLOW_EXTENDED_DASD_IO);
}

bool ControlLockVolume(const Device& device) { return SendControl(device, FSCTL_LOCK_VOLUME); }

bool ControlDismountVolume(const Device& device) {
  return SendControl(device, FSCTL_DISMOUNT_VOLUME);
}

bool ControlUnlockVolume(const Device& device) {
  return SendControl(device, FSCTL_UNLOCK_VOLUME);
}

// Makes the disk driver re-read a partition table that a disk wipe has overwritten.
bool ControlUpdateDiskProperties(const Device& device) {
  return SendControl(device, IOCTL_DISK_UPDATE_PROPERTIES);
}

bool QueryVolumeDiskExtents(const Device& device, std::uint32_t* extentCount, DiskExtent* first) {
  VOLUME_DISK_EXTENTS extents = {};
  if (!QueryControl(device, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, &extents, sizeof extents)) {
    return false;
  }
  if (extentCount != nullptr) *extentCount = extents.NumberOfDiskExtents;
  if (first != nullptr) {
    first->diskNumber = extents.Extents[0].DiskNumber;
    first->startingOffset = extents.Extents[0].StartingOffset.QuadPart;
    first->extentLength = extents.Extents[0].ExtentLength.QuadPart;
  }
  return true;
}

namespace {

// The A calls' conversion: the system's ANSI code page.
std::string AnsiText(const wchar_t* text) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], bytes, nullptr, nullptr);
  ansi.resize(static_cast<std::size_t>(bytes - 1));
  return ansi;
}

}  // namespace

bool QueryVolumeIdentity(const Device& device, VolumeIdentity* identity) {
  if (!Usable(device) || identity == nullptr) return false;
  constexpr DWORD kNameChars = 256;
  wchar_t name[kNameChars] = {};
  wchar_t fileSystem[kNameChars] = {};
  DWORD serial = 0;
  if (!GetVolumeInformationByHandleW(ToHandle(device), name, kNameChars, &serial, nullptr, nullptr, fileSystem,
                                     kNameChars)) {
    return false;
  }
  identity->label = AnsiText(name);
  identity->fileSystem = AnsiText(fileSystem);
  identity->serialNumber = serial;
  return true;
}

bool QueryDriveGeometry(const Device& device, DiskGeometry* geometry) {
  DISK_GEOMETRY answer = {};
  if (!QueryControl(device, IOCTL_DISK_GET_DRIVE_GEOMETRY, &answer, sizeof answer)) return false;
  if (geometry != nullptr) CopyGeometry(answer, geometry);
  return true;
}

bool QueryDriveGeometryEx(const Device& device, DiskGeometry* geometry, std::uint64_t* diskSize) {
  DISK_GEOMETRY_EX answer = {};
  if (!QueryControl(device, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, &answer, sizeof answer)) {
    return false;
  }
  if (geometry != nullptr) CopyGeometry(answer.Geometry, geometry);
  if (diskSize != nullptr) *diskSize = static_cast<std::uint64_t>(answer.DiskSize.QuadPart);
  return true;
}

namespace {

// IOCTL_STORAGE_QUERY_PROPERTY, PropertyStandardQuery, for one property. The descriptor's own
// Size says how much the driver has; a first answer into a buffer too small for the texts is
// asked again with room for all of it. The bytes the driver returned, or none.
std::vector<std::uint8_t> QueryStorageProperty(const Device& device, STORAGE_PROPERTY_ID property) {
  if (!Usable(device)) return {};
  constexpr DWORD kFirstAsk = 1024;
  constexpr DWORD kLargestAnswer = 65536;
  STORAGE_PROPERTY_QUERY query = {};
  query.PropertyId = property;
  query.QueryType = PropertyStandardQuery;
  std::vector<std::uint8_t> answer(kFirstAsk);
  for (int ask = 0; ask < 2; ++ask) {
    DWORD returned = 0;
    if (!win32::WaitedControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                              answer.data(), static_cast<DWORD>(answer.size()), &returned)) {
      return {};
    }
    const DWORD claimed = returned >= sizeof(STORAGE_DESCRIPTOR_HEADER)
                              ? reinterpret_cast<const STORAGE_DESCRIPTOR_HEADER*>(answer.data())->Size
                              : 0;
    if (claimed <= answer.size() || claimed > kLargestAnswer) {
      answer.resize(returned);
      return answer;
    }
    answer.assign(claimed, 0);
  }
  return {};
}

}  // namespace

// Sends the two storage property queries to an open disk ("\\.\physicaldriveN", access 0 is
// enough). USB bridges and virtual disks often answer only the first, older drivers neither.
bool QueryDeviceIdentity(const Device& device, DeviceIdentity* identity) {
  if (identity == nullptr) return false;
  *identity = DeviceIdentity();
  const std::vector<std::uint8_t> descriptor = QueryStorageProperty(device, StorageDeviceProperty);
  const bool described = ReadDeviceDescriptor(descriptor.data(), descriptor.size(), identity);
  const std::vector<std::uint8_t> penalty = QueryStorageProperty(device, StorageDeviceSeekPenaltyProperty);
  const bool seekPenalty = ReadSeekPenaltyDescriptor(penalty.data(), penalty.size(), identity);
  return described || seekPenalty;
}

bool QueryLengthInfo(const Device& device, std::uint64_t* length) {
  GET_LENGTH_INFORMATION answer = {};
  if (!QueryControl(device, IOCTL_DISK_GET_LENGTH_INFO, &answer, sizeof answer)) return false;
  if (length != nullptr) *length = static_cast<std::uint64_t>(answer.Length.QuadPart);
  return true;
}

}  // namespace platform
