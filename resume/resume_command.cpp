// "Resume": continues an interrupted wipe of the checked volume or disk from the record the
// interrupted run left at the start of the device.
#include "resume/resume_command.h"

#include "app/commands.h"
#include "app/log.h"
#include "app/progress_window.h"
#include "app/settings.h"
#include "app/system_awake.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "report/erasure_report.h"
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

// target is what the question names: "drive E:" or "disk1".
bool Confirmed(const std::string& target) {
  PlayCue(CueWarning);
  return ui::ConfirmDialog("Confirm", ui::Icon::Stop,
                           "You have selected to continue wiping " + target + "\nAre you sure?") != ui::kDialogNo;
}

// The windows switch for every confirmed resume; a record of an unknown method then starts
// nothing and ends as a failure.
template <typename Run>
void RunResumed(bool formatBox, Run run) {
  const SystemAwake awake;
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
  if (SystemVolumeRefused(volumeName)) return;
  if (!LoadResumePoint(BreakpointTarget{false, rootPath, 0})) return;
  const ReportTarget target = DriveReportTarget(DriveTable[SelectedDriveRow]);
  AnnounceSolidState(target);
  if (!Confirmed("drive " + volumeName)) return;
  RunResumed(true, [&](int methodId) {
    return RunWithReport(target, methodId, [&](RunFacts* facts) {
      return DriveWipeRun(volumeName, true, methodId, facts);
    });
  });
}

void ResumeDisk() {
  if (SelectedDiskRow < 0 || SelectedDiskRow >= DiskCount) {
    LogMessage("Please choose the disk first.");
    return;
  }
  const std::int32_t diskNumber = DiskTable[SelectedDiskRow].DiskNumber;
  if (DiskRefused(diskNumber)) return;
  if (!LoadResumePoint(BreakpointTarget{true, "", diskNumber})) return;
  const ReportTarget target = DiskReportTarget(DiskTable[SelectedDiskRow]);
  AnnounceSolidState(target);
  // No blank before the number: "disk1" reads like the list's "Disk1".
  if (!Confirmed("disk" + std::to_string(diskNumber))) return;
  RunResumed(false, [&](int methodId) {
    return RunWithReport(target, methodId, [&](RunFacts* facts) {
      return DiskWipeRun(diskNumber, true, methodId, facts);
    });
  });
}

}  // namespace

void ResumeCommand() {
  if (ui::ActivePage() == ui::kPageWipeDisk) {
    ResumeDisk();
  } else {
    ResumeDrive();
  }
}
