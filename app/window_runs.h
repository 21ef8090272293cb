#pragma once
// The windows as a front end of the core: their one run context, built from their globals
// (CancelRequested, the progress and log windows, the check boxes, the lists), and the run of
// the checked row that both commands use.

#include <cstdint>
#include <string>
#include <vector>

#include "devices/target.h"
#include "resume/breakpoint.h"
#include "wipe/run_context.h"

// The record Resume found on the checked target; a resumed run is handed a copy.
extern BreakpointValues ResumePoint;

class WindowRunContext : public RunContext {
 public:
  // Keeps every line logged from here on, the format's and the report's included, for the
  // result's log lines (TakeLogLines).
  WindowRunContext();
  ~WindowRunContext() override;

  void Log(const std::string& text) override;
  bool CancelRequested() const override;
  void ClearCancel() override;
  void ShowProgress() override;
  void SetCaption(const std::string& caption) override;
  void SetValue(ProgressValue value, const std::string& text) override;
  void SetBar(int percent) override;
  void ShowActivity() override;
  void AllowCancel(bool allowed, const std::string& why) override;
  void Pump() override;
  bool Chosen(RunChoice choice) override;
  void Refused() override;
  void ShowFailed() override;
  void TargetsChanged() override;
  bool FormatVolume(const std::string& volumeName, const std::string& formerFileSystem) override;
  void Shutdown() override;
  std::vector<std::string> VolumesOfDisk(std::int32_t diskNumber) override;

  // Ends the keeping of lines and puts them into result.logLines.
  void TakeLogLines();

 private:
  bool keeping_ = true;
};

// The run of a target in the windows, with its erasure report when it started writing.
// resume: it goes on from a copy of ResumePoint. *result (optional) receives what it did.
bool RunInWindows(const Target& target, bool resume, int methodId, RunResult* result = nullptr);
// Logs the solid-state notice for a target on a solid-state disk, then what its disk can do to
// itself and what it hides; before the first question.
void AnnounceSolidState(const Target& target);

// The run of the checked row of the drive list (volumeName "E:") or of the disk list, without
// a report; *result (optional) receives what the run did.
bool DriveWipeRun(const std::string& volumeName, bool resume, int methodId, RunResult* result = nullptr);
bool DiskWipeRun(std::int32_t diskNumber, bool resume, int methodId, RunResult* result = nullptr);
