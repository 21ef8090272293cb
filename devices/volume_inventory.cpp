// The volumes of the "Wipe drive" page: DriveTable and the drive list.
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "resume/breakpoint.h"

namespace {

const char* const kResumableText = "Incomplete wipe, resumable.";

bool IsWipeableType(std::uint32_t type) {
  return type == platform::kDriveRemovable || type == platform::kDriveFixed;
}

void FillDriveRecord(DriveRecord& record, const std::string& rootPath) {
  SetField(record.RootPath, rootPath);
  SetField(record.Label, "");
  SetField(record.FileSystem, "");
  SetField(record.CapacityText, "");
  record.Capacity = 0;
  record.DiskNumber = LocateVolume(rootPath, &record.Capacity, record.CapacityText);

  std::string label;
  std::string fileSystem;
  if (platform::VolumeInformation(rootPath, &label, &fileSystem)) {
    SetField(record.Label, label);
    SetField(record.FileSystem, fileSystem);
    return;
  }
  // No file system to read (wiped, never formatted, or no medium): an interrupted wipe may
  // have left its record at the start of the volume. Only the answer is used here.
  if (DeviceHoldsRecord(VolumeDevicePath(VolumeName(rootPath)))) SetField(record.Label, kResumableText);
}


// C:\ to Z:\, the letters the drive list offers.
std::vector<std::string> WipeableRootPaths() {
  std::vector<std::string> rootPaths;
  std::string rootPath = "B:\\";
  for (int step = 0; step < 24; ++step) {
    ++rootPath[0];
    if (IsWipeableType(platform::DriveType(rootPath))) rootPaths.push_back(rootPath);
  }
  return rootPaths;
}

}  // namespace

void RefreshDriveTable() {
  DriveCount = 0;
  std::string rootPath = "B:\\";
  for (int step = 0; step < 24; ++step) {
    ++rootPath[0];
    if (!IsWipeableType(platform::DriveType(rootPath))) continue;
    FillDriveRecord(DriveTable[DriveCount], rootPath);
    ++DriveCount;
  }
}

std::vector<std::string> LetteredVolumesOfDisk(std::int32_t diskNumber) {
  std::vector<std::string> volumes;
  for (const std::string& rootPath : WipeableRootPaths()) {
    std::uint64_t capacity = 0;
    char capacityText[50] = {};
    if (LocateVolume(rootPath, &capacity, capacityText) == diskNumber) volumes.push_back(VolumeName(rootPath));
  }
  return volumes;
}

// Opens "\\.\X:" for reading to ask which disk holds the volume's first extent. Returns
// kUnknownDisk, leaving capacity and text alone, when the volume cannot be opened or its
// extents do not fit one extent (a volume over two disks fails the query).
std::int32_t LocateVolume(const std::string& rootPath, std::uint64_t* capacity, char (&capacityText)[50]) {
  std::uint32_t extentCount = 0;
  platform::DiskExtent first;
  {
    platform::Device volume = platform::OpenDevice(VolumeDevicePath(VolumeName(rootPath)), platform::Access::Read);
    if (!volume) return kUnknownDisk;
    if (!platform::QueryVolumeDiskExtents(volume, &extentCount, &first)) return kUnknownDisk;
  }
  if (extentCount == 0) return kUnknownDisk;
  if (!GetVolumeSize(rootPath, capacity, capacityText)) {
    *capacity = 0;
    SetField(capacityText, "");
  }
  return static_cast<std::int32_t>(first.diskNumber);
}

// Size of the volume's file system; false, outputs untouched, when it has none.
bool GetVolumeSize(const std::string& rootPath, std::uint64_t* totalBytes, char (&sizeText)[50]) {
  std::uint64_t total = 0;
  if (!platform::DiskTotalBytes(rootPath, &total)) return false;
  *totalBytes = total;
  SetField(sizeText, FormatSizeText(total));
  return true;
}
