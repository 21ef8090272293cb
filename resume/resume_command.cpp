// "Resume": continues an interrupted wipe of the checked volume or disk from the record the
// interrupted run left at the start of the device.
#include "resume/resume_command.h"

#include "app/log.h"
#include "app/settings.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "resume/breakpoint.h"
#include "ui/ui.h"
#include "wipe/methods.h"
#include "wipe/runs.h"

namespace {

// Loads ResumePoint from the target's record; a refusal with its cue when there is none.
bool LoadResumePoint(const BreakpointTarget& target) {
  BreakpointValues found;
  if (!FindBreakpoint(target, &found)) {
    PlayCue(CueDing);
    LogMessage("Break point not found, can not resume.");
    return false;
  }
  ResumePoint = found;
  return true;
}

bool Confirmed(const std::string& what) {
  const std::string text = "You have selected to continue wiping " + what + "\nAre you sure?";
  PlayCue(CueWarning);
  return ui::ConfirmDialog("Confirm", ui::Icon::Stop, text) != ui::kDialogNo;
}

void HandOverToProgress() {
  ui::ShowProgressWindow();
  ui::HideMainWindow();
  ui::SetShutdownBox(false);
  ui::ProcessMessages();
}

// The format box only makes sense for a volume; a disk has no file system to restore.
void ResetProgressWindow(bool formatBox) {
  ui::SetProgressBar(0);
  ui::SetFormatBox(formatBox, formatBox);
  ui::SetProgressValue(ui::ProgressValue::Speed, "0 MB/S");
  ui::SetProgressValue(ui::ProgressValue::Amount, "0 MB/0 MB");
  ui::SetProgressValue(ui::ProgressValue::Elapsed, "0h0m0s");
  ui::SetProgressValue(ui::ProgressValue::TimeLeft, "0h0m0s");
}

void ReturnFromRun(bool succeeded) {
  ui::ProcessMessages();
  ui::HideProgressWindow();
  ui::ShowMainWindow();
  PlayCue(succeeded ? CueFinish : CueDing);
}

// The windows switch for every confirmed resume; a record of an unknown method then starts
// nothing and ends as a failure.
template <typename Run>
void RunResumed(bool formatBox, Run run) {
  HandOverToProgress();
  bool succeeded = false;
  if (ResumePoint.MethodId < kMethodCount) {
    ResetProgressWindow(formatBox);
    succeeded = run(ResumePoint.MethodId);
  }
  ReturnFromRun(succeeded);
}

void ResumeDrive() {
  if (SelectedDriveRow < 0 || SelectedDriveRow >= DriveCount) {
    LogMessage("Please choose the drive first.");
    return;
  }
  const std::string rootPath = FieldText(DriveTable[SelectedDriveRow].RootPath);
  const std::string volumeName = VolumeName(rootPath);
  if (IsSystemVolume(volumeName)) {
    PlayCue(CueDing);
    LogMessage("It is current Windows drive, can not wipe.");
    return;
  }
  if (!LoadResumePoint(BreakpointTarget{false, rootPath, 0})) return;
  if (!Confirmed("drive " + volumeName)) return;

  RunResumed(true, [&](int methodId) { return DriveWipeRun(volumeName, true, methodId); });
}

void ResumeDisk() {
  if (SelectedDiskRow < 0 || SelectedDiskRow >= DiskCount) {
    LogMessage("Please choose the disk first.");
    return;
  }
  const std::int32_t diskNumber = DiskTable[SelectedDiskRow].DiskNumber;
  // The removable test reads the volumes of the drive table, which may be stale.
  RefreshDriveList();
  if (IsSystemDisk(diskNumber)) {
    PlayCue(CueDing);
    LogMessage("Current Windows drive on the disk, can not wipe.");
    return;
  }
  if (IsRemovableDisk(diskNumber)) {
    PlayCue(CueDing);
    LogMessage("It is removable drive, please wipe it in drive mode.");
    return;
  }
  if (!LoadResumePoint(BreakpointTarget{true, "", diskNumber})) return;
  if (!Confirmed("disk" + std::to_string(diskNumber))) return;

  RunResumed(false, [&](int methodId) { return DiskWipeRun(diskNumber, true, methodId); });
}

}  // namespace

void ResumeCommand() {
  if (ui::ActivePage() == ui::kPageWipeDisk) {
    ResumeDisk();
  } else {
    ResumeDrive();
  }
}
