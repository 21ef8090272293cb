#include "app/target_lists.h"

#include "app/main_window.h"
#include "devices/disk_abilities.h"
#include "devices/disk_identity.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "ui/ui.h"

namespace {

struct KeptTarget {
  int row = -1;
  Target target;
};

KeptTarget& KeptOf(ui::List list) {
  static KeptTarget drive;
  static KeptTarget disk;
  return list == ui::List::Drive ? drive : disk;
}

}  // namespace

void KeepCheckedTarget(ui::List list, int row) {
  KeptTarget& kept = KeptOf(list);
  const bool drive = list == ui::List::Drive;
  if (row < 0 || row >= (drive ? DriveCount : DiskCount)) {
    ForgetCheckedTarget(list);
    return;
  }
  kept.row = row;
  kept.target = WithIdentity(drive ? DriveTarget(DriveTable[row]) : DiskTarget(DiskTable[row]));
}

void ForgetCheckedTarget(ui::List list) { KeptOf(list) = KeptTarget(); }

bool CheckedTargetOf(ui::List list, int row, Target* target) {
  const KeptTarget& kept = KeptOf(list);
  if (row < 0 || kept.row != row) return false;
  *target = kept.target;
  return true;
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

void RefreshDiskList() {
  RefreshDiskTable();
  ui::ClearRows(ui::List::Disk);
  for (int i = 0; i < DiskCount; ++i) {
    const DiskRecord& record = DiskTable[i];
    ui::AddRow(ui::List::Disk, FieldText(record.Name),
               {FieldText(record.CapacityText), FieldText(record.LogicalDrives),
                ListedModelText(DiskIdentities[i], DiskAbilityTable[i])});
  }
  ResetAfterRefill(ui::List::Disk);
}

void RefreshBothLists() {
  RefreshDriveList();
  RefreshDiskList();
}
