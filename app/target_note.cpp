#include "app/target_note.h"

#include <cctype>

#include "devices/disk_identity.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/platform.h"

namespace {

// A disk that gives no descriptor is still named, so the text never reads as if it were blank.
std::string Described(const platform::DeviceIdentity& identity) {
  const std::string text = ModelAndSerialText(identity);
  return text.empty() ? "model unknown" : text;
}

// The row of the disk list that holds this disk; -1 when it is not listed.
int DiskRowOf(std::int32_t diskNumber) {
  for (int i = 0; i < DiskCount; ++i) {
    if (DiskTable[i].DiskNumber == diskNumber) return i;
  }
  return -1;
}

// The simulated machine's disks say so wherever a disk is named.
std::string DiskName(int row) {
  const std::string name = FieldText(DiskTable[row].Name);
  return platform::MachineIsSimulated() ? "simulated " + name : name;
}

std::string DriveText(int row) {
  const DriveRecord& drive = DriveTable[row];
  std::string text = FieldText(drive.RootPath);
  const std::string size = FieldText(drive.CapacityText);
  if (!size.empty()) text += ", " + size + ",";
  const int diskRow = DiskRowOf(drive.DiskNumber);
  if (diskRow < 0) return text + " on a disk not listed";
  return text + " on " + DiskName(diskRow) + ": " + Described(DiskIdentities[diskRow]);
}

std::string DiskText(int row) {
  std::string name = DiskName(row);
  if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  return name + ", " + FieldText(DiskTable[row].CapacityText) + ": " + Described(DiskIdentities[row]);
}

}  // namespace

std::string TargetIdentityText(ui::List list, int row) {
  if (list == ui::List::Disk && row >= 0 && row < DiskCount) return DiskText(row);
  if (list == ui::List::Drive && row >= 0 && row < DriveCount) return DriveText(row);
  return std::string();
}

std::string StatusNoteText() {
  const bool diskPage = ui::ActivePage() == ui::kPageWipeDisk;
  const std::string text = diskPage ? TargetIdentityText(ui::List::Disk, SelectedDiskRow)
                                    : TargetIdentityText(ui::List::Drive, SelectedDriveRow);
  if (!text.empty()) return text;
  return platform::MachineIsSimulated() ? "Simulated PC" : "Secure erase";
}

void ShowStatusNote() { ui::SetStatusNote(StatusNoteText()); }
