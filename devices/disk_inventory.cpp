// The physical disks of the "Wipe disk" page: DiskTable and the disk list.
#include "devices/disk_abilities.h"
#include "devices/disk_identity.h"
#include "devices/disk_sanitize.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "resume/breakpoint.h"

namespace {

constexpr int kDiskNumbersProbed = 100;
constexpr std::uint32_t kProbeSectors = 8;
// Once the text is this long no further volume is added; the field still holds one more entry.
constexpr std::size_t kLogicalDrivesLimit = 255;

// A disk counts as present only when its first sectors can be read in full.
bool DiskPresent(int diskNumber) {
  std::uint8_t scratch[kProbeSectors * 512];
  return SectorReader(static_cast<std::uint8_t>(diskNumber), 0, kProbeSectors, scratch) == 1;
}

std::uint64_t DiskCapacity(int diskNumber) {
  std::uint64_t capacity = 0;
  platform::DiskGeometry geometry;
  const auto number = static_cast<std::uint8_t>(diskNumber);
  if (GetDiskGeometry(number, &geometry)) {
    // Unsigned 64-bit throughout: a damaged geometry wraps instead of overflowing.
    capacity = static_cast<std::uint64_t>(geometry.cylinders) * geometry.tracksPerCylinder *
               geometry.sectorsPerTrack * geometry.bytesPerSector;
  }
  std::uint64_t diskSize = 0;
  if (GetDiskGeometryEx(number, &geometry, &diskSize)) capacity = diskSize;
  return capacity;
}

void FillDiskRecord(DiskRecord& record, int diskNumber) {
  SetField(record.Name, "Disk" + std::to_string(diskNumber));
  record.DiskNumber = diskNumber;
  SetField(record.CapacityText, "");
  SetField(record.LogicalDrives, "");
  record.Capacity = DiskCapacity(diskNumber);
}

std::string VolumesOnDisk(std::int32_t diskNumber) {
  std::string text;
  for (int i = 0; i < DriveCount; ++i) {
    const DriveRecord& volume = DriveTable[i];
    if (volume.DiskNumber != diskNumber) continue;
    if (text.size() > kLogicalDrivesLimit) break;
    text += FieldText(volume.RootPath) + " [" + FieldText(volume.Label) + "] ";
  }
  return text;
}

void FillLogicalDrives(DiskRecord& record, const DiskSanitize& sanitize) {
  std::string text = VolumesOnDisk(record.DiskNumber);
  // A disk without lettered volumes may be the target of an interrupted disk wipe.
  if (text.empty() && DeviceHoldsRecord(DiskDevicePath(record.DiskNumber))) {
    text = "Incomplete wipe, resumable.";
  }
  // A sanitize under way or failed says so after whatever else the column holds.
  const std::string status = SanitizeStatusText(sanitize);
  if (!status.empty()) text += (text.empty() || text.back() == ' ' ? "" : " ") + status;
  SetField(record.LogicalDrives, text);
}

// Opens "\\.\physicaldriveN" for device queries only (no read or write access needed).
platform::Device OpenDiskForQuery(std::uint8_t diskNumber) {
  return platform::OpenDevice(DiskDevicePath(diskNumber), platform::Access::QueryOnly);
}

}  // namespace

void RefreshDiskTable() {
  DiskCount = 0;
  for (int n = 0; n < kDiskNumbersProbed; ++n) {
    // A disk that refuses reads while it sanitizes itself, or after its sanitize failed, is
    // still there: it is listed with its state, so the user sees why it cannot be wiped.
    const bool present = DiskPresent(n);
    const DiskSanitize sanitize = present ? DiskSanitize() : DiskSanitizeOf(n);
    if (!present && !sanitize.InProgress() && !sanitize.Failed()) continue;
    FillDiskRecord(DiskTable[DiskCount], n);
    DiskIdentities[DiskCount] = DiskIdentity(n);
    DiskAbilityTable[DiskCount] = AskSanitizeAbilities(n, DiskIdentities[DiskCount]);
    DiskSanitizes[DiskCount] = sanitize;
    ++DiskCount;
  }
  for (int i = 0; i < DiskCount; ++i) SetField(DiskTable[i].CapacityText, FormatSizeText(DiskTable[i].Capacity));
  for (int i = 0; i < DiskCount; ++i) FillLogicalDrives(DiskTable[i], DiskSanitizes[i]);
}

// IOCTL_DISK_GET_DRIVE_GEOMETRY on "\\.\physicaldriveN"; false when it cannot be opened or
// the query fails.
bool GetDiskGeometry(std::uint8_t diskNumber, platform::DiskGeometry* geometry) {
  platform::Device disk = OpenDiskForQuery(diskNumber);
  return disk && platform::QueryDriveGeometry(disk, geometry);
}

// IOCTL_DISK_GET_DRIVE_GEOMETRY_EX: the geometry and the exact DiskSize; false as above.
bool GetDiskGeometryEx(std::uint8_t diskNumber, platform::DiskGeometry* geometry, std::uint64_t* diskSize) {
  platform::Device disk = OpenDiskForQuery(diskNumber);
  return disk && platform::QueryDriveGeometryEx(disk, geometry, diskSize);
}

// Only the disk's first listed volume decides; a disk without lettered volumes is not removable.
bool IsRemovableDisk(std::int32_t diskNumber) {
  for (int i = 0; i < DriveCount; ++i) {
    if (DriveTable[i].DiskNumber != diskNumber) continue;
    // The root path as listed: GetDriveTypeA needs the backslash of a root directory.
    return platform::DriveType(FieldText(DriveTable[i].RootPath)) == platform::kDriveRemovable;
  }
  return false;
}
