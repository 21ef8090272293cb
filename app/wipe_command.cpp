// "Wipe it now": refuses what must not be wiped, asks twice, and hands the screen over to the
// run of the chosen method on the checked volume or disk.
#include <cstdint>
#include <string>

#include "app/commands.h"
#include "app/log.h"
#include "app/progress_window.h"
#include "app/settings.h"
#include "app/system_awake.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "postwipe/postwipe.h"
#include "report/erasure_report.h"
#include "ui/ui.h"
#include "wipe/runs.h"

namespace {

// Each confirmation is announced by the warning sound; any answer but "No" goes on. kind is
// "drive" or "disk", target what the first question names ("drive E:", "disk1").
bool ConfirmedTwice(const std::string& kind, const std::string& target) {
  PlayCue(CueWarning);
  if (ui::ConfirmDialog("Confirm 1 of 2", ui::Icon::Stop, "You have selected to wipe " + target + "\nAre you sure?") ==
      ui::kDialogNo) {
    return false;
  }
  PlayCue(CueWarning);
  return ui::ConfirmDialog("Confirm 2 of 2", ui::Icon::Stop,
                           "Every byte on the " + kind +
                               " will be permanently erased and no chance to recover the data."
                               "\nAre you sure you want to process?") != ui::kDialogNo;
}

// The run works with the main window hidden, so no second command can start meanwhile.
template <typename Run>
void RunWithProgress(bool formatBox, Run run) {
  const SystemAwake awake;
  HandOverToProgress();
  ResetProgressWindow(formatBox);
  ReturnFromRun(run(ui::MethodIndex()));
}

// A volume without a file system reports no size; it is offered to the format dialog instead
// of being wiped. True when the offer was made (whatever came of it): the command ends there.
bool OfferedFormat(const std::string& volumeName) {
  if (DriveTable[SelectedDriveRow].Capacity != 0) return false;
  const std::string text =
      "The drive " + volumeName + " is not formatted, you should format it before wiping.";
  PlayCue(CueDing);
  if (ui::ConfirmDialog("Format the drive", ui::Icon::Information, text) == ui::kDialogNo) return true;
  FormatDrive(volumeName, kFormatDialogMode);
  // The user checks the volume again once it has a file system; the refill clears the rows.
  RefreshDriveList();
  RefreshDiskList();
  return true;
}

void WipeDrive() {
  if (SelectedDriveRow < 0 || SelectedDriveRow >= DriveCount) {
    LogMessage("Please choose the drive first.");
    return;
  }
  const std::string volumeName = VolumeName(FieldText(DriveTable[SelectedDriveRow].RootPath));
  if (SystemVolumeRefused(volumeName) || OfferedFormat(volumeName)) return;
  const ReportTarget target = DriveReportTarget(DriveTable[SelectedDriveRow]);
  AnnounceSolidState(target);
  if (!ConfirmedTwice("drive", "drive " + volumeName)) return;
  RunWithProgress(true, [&](int methodIndex) {
    return RunWithReport(target, methodIndex, [&](RunFacts* facts) {
      return DriveWipeRun(volumeName, false, methodIndex, facts);
    });
  });
}

void WipeDisk() {
  if (SelectedDiskRow < 0 || SelectedDiskRow >= DiskCount) {
    LogMessage("Please choose the disk first.");
    return;
  }
  const std::int32_t diskNumber = DiskTable[SelectedDiskRow].DiskNumber;
  if (DiskRefused(diskNumber)) return;
  const ReportTarget target = DiskReportTarget(DiskTable[SelectedDiskRow]);
  AnnounceSolidState(target);
  // No blank before the number: "disk1" reads like the list's "Disk1".
  if (!ConfirmedTwice("disk", "disk" + std::to_string(diskNumber))) return;
  RunWithProgress(false, [&](int methodIndex) {
    return RunWithReport(target, methodIndex, [&](RunFacts* facts) {
      return DiskWipeRun(diskNumber, false, methodIndex, facts);
    });
  });
}

}  // namespace

void WipeCommand() {
  if (ui::ActivePage() == ui::kPageWipeDisk) {
    WipeDisk();
  } else {
    WipeDrive();
  }
}
