// "Wipe it now" and "Resume": one path from the checked row to the run. Both refuse what must
// not be wiped and ask before anything is written; a fresh wipe first offers to format a
// volume without a file system, a resume first loads the record it goes on from.
#include <cstdint>
#include <string>

#include "app/commands.h"
#include "app/log.h"
#include "app/progress_window.h"
#include "app/settings.h"
#include "app/system_awake.h"
#include "app/target_lists.h"
#include "app/window_runs.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "postwipe/postwipe.h"
#include "report/erasure_report.h"
#include "resume/breakpoint.h"
#include "ui/ui.h"
#include "wipe/methods.h"

namespace {

// The checked row of the active page as the target kept when it was checked; false, with the
// line asking for one, when no row is checked.
bool CheckedTarget(Target* target) {
  if (ui::ActivePage() == ui::kPageWipeDisk) {
    if (SelectedDiskRow < 0 || SelectedDiskRow >= DiskCount || !CheckedTargetOf(ui::List::Disk, SelectedDiskRow, target)) {
      LogMessage("Please choose the disk first.");
      return false;
    }
    return true;
  }
  if (SelectedDriveRow < 0 || SelectedDriveRow >= DriveCount || !CheckedTargetOf(ui::List::Drive, SelectedDriveRow, target)) {
    LogMessage("Please choose the drive first.");
    return false;
  }
  return true;
}

bool TargetRefused(const Target& target) {
  return target.isDisk ? DiskRefused(target.diskNumber) : SystemVolumeRefused(target.volumeName);
}

// What the questions name: "drive E:" or "disk1" (no blank: it reads like the list's "Disk1").
std::string QuestionName(const Target& target) {
  return target.isDisk ? "disk" + std::to_string(target.diskNumber) : "drive " + target.volumeName;
}

// Each confirmation is announced by the warning sound; any answer but "No" goes on.
bool ConfirmedTwice(const Target& target) {
  PlayCue(CueWarning);
  if (ui::ConfirmDialog("Confirm 1 of 2", ui::Icon::Stop,
                        "You have selected to wipe " + QuestionName(target) + "\nAre you sure?") == ui::kDialogNo) {
    return false;
  }
  PlayCue(CueWarning);
  return ui::ConfirmDialog("Confirm 2 of 2", ui::Icon::Stop,
                           "Every byte on the " + std::string(target.isDisk ? "disk" : "drive") +
                               " will be permanently erased and no chance to recover the data."
                               "\nAre you sure you want to process?") != ui::kDialogNo;
}

bool ConfirmedResume(const Target& target) {
  PlayCue(CueWarning);
  return ui::ConfirmDialog("Confirm", ui::Icon::Stop,
                           "You have selected to continue wiping " + QuestionName(target) + "\nAre you sure?") !=
         ui::kDialogNo;
}

// A volume without a file system reports no size; it is offered to the format dialog instead
// of being wiped. True when the offer was made (whatever came of it): the command ends there.
bool OfferedFormat(const Target& target) {
  if (target.isDisk || target.sizeBytes != 0) return false;
  const std::string text =
      "The drive " + target.volumeName + " is not formatted, you should format it before wiping.";
  PlayCue(CueDing);
  if (ui::ConfirmDialog("Format the drive", ui::Icon::Information, text) == ui::kDialogNo) return true;
  FormatDrive(target.volumeName, kFormatDialogMode);
  // The user checks the volume again once it has a file system; the refill clears the rows.
  RefreshBothLists();
  return true;
}

// Loads ResumePoint from the target's record; a refusal with its cue when there is none.
bool LoadResumePoint(const Target& target) {
  BreakpointValues found;
  if (!FindBreakpoint(TargetDevicePath(target), &found)) {
    PlayCue(CueDing);
    LogMessage("Break point not found, can not resume.");
    return false;
  }
  ResumePoint = found;
  return true;
}

// Everything before the screen is handed over; false when the command ends here.
bool ReadyToRun(bool resume, int methodId, const Target& target) {
  if (MethodRefused(target, methodId, resume) || TargetRefused(target)) return false;
  if (resume ? !LoadResumePoint(target) : OfferedFormat(target)) return false;
  AnnounceSolidState(target);
  return resume ? ConfirmedResume(target) : ConfirmedTwice(target);
}

// The run works with the main window hidden, so no second command can start meanwhile. A
// record of an unknown method switches the windows and starts nothing: it ends as a failure.
void RunCommand(bool resume) {
  Target target;
  if (!CheckedTarget(&target)) return;
  const int chosenMethod = ui::MethodIndex();
  // The report's log begins with the notices logged before the questions.
  BeginRunLog();
  if (!ReadyToRun(resume, chosenMethod, target)) {
    EndRunLog();
    return;
  }
  const SystemAwake awake;
  HandOverToProgress();
  const int methodId = resume ? ResumePoint.MethodId : chosenMethod;
  bool succeeded = false;
  // No record names the disk's own sanitize: a record that does is as unknown as any other.
  if (methodId < kMethodCount || (!resume && methodId == kSanitizeMethodId)) {
    ResetProgressWindow(!target.isDisk);
    succeeded = RunInWindows(target, resume, methodId);
  }
  EndRunLog();
  ReturnFromRun(succeeded);
}

}  // namespace

void WipeCommand() { RunCommand(false); }
void ResumeCommand() { RunCommand(true); }
