// The volumes of the "Wipe drive" page: DriveTable and the drive list.
#include "app/main_window.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "resume/breakpoint.h"
#include "ui/ui.h"

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
  BreakpointValues found;
  if (FindBreakpoint(BreakpointTarget{false, rootPath, 0}, &found)) SetField(record.Label, kResumableText);
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

void RefreshDriveList() {
  RefreshDriveTable();
  ui::ClearRows(ui::List::Drive);
  for (int i = 0; i < DriveCount; ++i) {
    const DriveRecord& record = DriveTable[i];
    ui::AddRow(ui::List::Drive, FieldText(record.RootPath),
               {FieldText(record.FileSystem), FieldText(record.CapacityText), FieldText(record.Label)});
  }
  ResetAfterRefill(ui::List::Drive);
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
