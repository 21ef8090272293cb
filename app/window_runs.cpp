#include "app/window_runs.h"

#include "app/log.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/target_lists.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "postwipe/postwipe.h"
#include "report/erasure_report.h"
#include "ui/ui.h"
#include "wipe/runs.h"

BreakpointValues ResumePoint;

namespace {

ui::ProgressValue WindowValue(ProgressValue value) {
  switch (value) {
    case ProgressValue::Speed:
      return ui::ProgressValue::Speed;
    case ProgressValue::Amount:
      return ui::ProgressValue::Amount;
    case ProgressValue::Elapsed:
      return ui::ProgressValue::Elapsed;
    case ProgressValue::TimeLeft:
      break;
  }
  return ui::ProgressValue::TimeLeft;
}

// The run with the lines it logged kept in the context's result.
bool RunWith(WindowRunContext* context, const Target& target, bool resume, int methodId) {
  const BreakpointValues resumePoint = ResumePoint;
  const bool succeeded = WipeRun(*context, target, resume ? &resumePoint : nullptr, methodId);
  context->TakeLogLines();
  return succeeded;
}

bool RunCheckedRow(const Target& target, bool resume, int methodId, RunResult* result) {
  WindowRunContext context;
  const bool succeeded = RunWith(&context, target, resume, methodId);
  if (result != nullptr) *result = context.result;
  return succeeded;
}

}  // namespace

WindowRunContext::WindowRunContext() { BeginRunLog(); }

WindowRunContext::~WindowRunContext() {
  if (keeping_) EndRunLog();
}

void WindowRunContext::TakeLogLines() {
  if (!keeping_) return;
  keeping_ = false;
  result.logLines = EndRunLog();
}

void WindowRunContext::Log(const std::string& text) { LogMessage(text); }
bool WindowRunContext::CancelRequested() const { return ::CancelRequested; }
void WindowRunContext::ClearCancel() { ::CancelRequested = false; }
void WindowRunContext::ShowProgress() { ui::ShowProgressWindow(); }
void WindowRunContext::SetCaption(const std::string& caption) { ui::SetProgressCaption(caption); }
void WindowRunContext::SetValue(ProgressValue value, const std::string& text) {
  ui::SetProgressValue(WindowValue(value), text);
}
void WindowRunContext::SetBar(int percent) { ui::SetProgressBar(percent); }
void WindowRunContext::ShowActivity() { ui::SetProgressMarquee(); }
void WindowRunContext::AllowCancel(bool allowed, const std::string& why) { ui::SetCancelAllowed(allowed, why); }
void WindowRunContext::Pump() { ui::ProcessMessages(); }

bool WindowRunContext::Chosen(RunChoice choice) {
  switch (choice) {
    case RunChoice::Resumable:
      return ui::OptionChecked(ui::Option::WipeResumable);
    case RunChoice::Verify:
      return ui::OptionChecked(ui::Option::VerifyAfterWipe);
    case RunChoice::Format:
      return ui::FormatBoxChecked();
    case RunChoice::Shutdown:
      break;
  }
  return ui::ShutdownBoxChecked();
}

void WindowRunContext::Refused() { PlayCue(CueDing); }
void WindowRunContext::ShowFailed() { ui::ShowRunFailed(); }
void WindowRunContext::TargetsChanged() { RefreshBothLists(); }

// The format reads the former file system from the checked row, which the run's records
// restored for a volume that had lost it.
bool WindowRunContext::FormatVolume(const std::string& volumeName, const std::string& formerFileSystem) {
  if (SelectedDriveRow >= 0 && SelectedDriveRow < kDriveTableSize) {
    SetField(DriveTable[SelectedDriveRow].FileSystem, formerFileSystem);
  }
  return FormatDrive(volumeName, kFormatCommandLineMode);
}

void WindowRunContext::Shutdown() { ShutdownComputer(); }

// The drive list is refilled first: the removable test and the locks go by the volumes as
// they are now.
std::vector<std::string> WindowRunContext::VolumesOfDisk(std::int32_t diskNumber) {
  RefreshDriveList();
  std::vector<std::string> volumes;
  for (std::int32_t row = 0; row < DriveCount && row < kDriveTableSize; ++row) {
    if (DriveTable[row].DiskNumber == diskNumber) volumes.push_back(VolumeName(FieldText(DriveTable[row].RootPath)));
  }
  return volumes;
}

bool RunInWindows(const Target& target, bool resume, int methodId, RunResult* result) {
  WindowRunContext context;
  const bool succeeded = RunWith(&context, target, resume, methodId);
  if (context.result.startedWriting) ReportRun(context, target, methodId, context.result, ReportsFolder());
  if (result != nullptr) *result = context.result;
  return succeeded;
}

void AnnounceSolidState(const Target& target) {
  const std::string notice = SolidStateNotice(target);
  if (!notice.empty()) LogMessage(notice);
  for (const std::string& line : DiskNotices(target)) LogMessage(line);
}

bool DriveWipeRun(const std::string& volumeName, bool resume, int methodId, RunResult* result) {
  if (SelectedDriveRow < 0 || SelectedDriveRow >= kDriveTableSize) {
    LogMessage("Please choose the drive first.");
    return false;
  }
  Target target = DriveTarget(DriveTable[SelectedDriveRow]);
  target.volumeName = volumeName;
  return RunCheckedRow(target, resume, methodId, result);
}

bool DiskWipeRun(std::int32_t diskNumber, bool resume, int methodId, RunResult* result) {
  if (SelectedDiskRow < 0 || SelectedDiskRow >= kDiskTableSize) {
    LogMessage("Please choose the disk first.");
    return false;
  }
  Target target = DiskTarget(DiskTable[SelectedDiskRow]);
  target.diskNumber = diskNumber;
  return RunCheckedRow(target, resume, methodId, result);
}
