#pragma once
// The two lists of the main window, rebuilt from the inventory's tables, and the target of the
// row checked in each.

#include "devices/target.h"
#include "ui/ui.h"

// The drive table anew and its rows in the drive list; no row checked afterwards.
void RefreshDriveList();
// The disk table anew and its rows in the disk list; no row checked afterwards.
void RefreshDiskList();
void RefreshBothLists();

// The row just checked as a target, with what identifies it read now: a run compares its device
// with this before its first write, so a device put under the row's number or letter after the
// user chose is never written. Kept until another row is checked or the list is refilled.
void KeepCheckedTarget(ui::List list, int row);
void ForgetCheckedTarget(ui::List list);
// The target kept for this row of the list; false when the row is not the one checked.
bool CheckedTargetOf(ui::List list, int row, Target* target);
