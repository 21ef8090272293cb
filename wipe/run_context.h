#pragma once
// The run context: what a front end hands a run, so that the run reads no window, no list and
// no process-wide flag. It carries the cancel request, where progress and log lines go, the
// user's choices that a run asks for as it goes, and the run's result. The windows build their
// one context from their globals; a console front end builds one per target and runs each on
// its own thread. A run touches nothing mutable but its context and the values it was given,
// so runs of different contexts can go on at the same time.

#include <cstdint>
#include <string>
#include <vector>

#include "wipe/run_result.h"

// The values of the progress window beside the caption and the bar.
enum class ProgressValue { Speed, Amount, Elapsed, TimeLeft };

// The choices a run asks for when it needs them: a window's box may change while a run works.
enum class RunChoice {
  Resumable,  // keep a breakpoint record at every checkpoint
  Verify,     // read the last pass back after a successful run
  Format,     // format a volume after its wipe
  Shutdown,   // switch the computer off after a successful run
};

class RunContext {
 public:
  RunContext() = default;
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;
  virtual ~RunContext() = default;

  // One line of the run's log, shown the front end's way and kept in the result.
  virtual void Log(const std::string& text) = 0;

  // Polled between blocks; a run clears it when it starts.
  virtual bool CancelRequested() const = 0;
  virtual void ClearCancel() = 0;

  // Progress of the pass or read-back under way. ShowProgress comes before every block, so a
  // front end whose progress window can be closed brings it back.
  virtual void ShowProgress() {}
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetValue(ProgressValue value, const std::string& text) = 0;
  virtual void SetBar(int percent) = 0;
  // The bar where nothing tells how far the work is: it moves to show that work goes on, until
  // the next SetBar. Called at every look.
  virtual void ShowActivity() {}
  // While the disk erases itself Cancel can do nothing: a front end disables it and says why
  // (`why`); allowed again with an empty text.
  virtual void AllowCancel(bool allowed, const std::string& why) {
    (void)allowed;
    (void)why;
  }
  // Around every block: a front end with windows processes their pending events here.
  virtual void Pump() {}

  virtual bool Chosen(RunChoice choice) = 0;

  // Moments of a run a front end may show or act on.
  virtual void Refused() {}            // a target that could not be secured
  virtual void ShowFailed() {}         // a run that ended as failed, before its last lines
  virtual void TargetsChanged() {}     // the run changed what the lists of targets show
  // After a successful volume run with RunChoice::Format: formats it, giving back its former
  // file system where there is one. True when it was formatted.
  virtual bool FormatVolume(const std::string& volumeName, const std::string& formerFileSystem);
  virtual void Shutdown() {}           // after a successful run with RunChoice::Shutdown

  // The lettered volumes on a disk as they are now ("E:"), which a disk run holds while it
  // writes. The default asks the platform; the windows refresh their list on the way.
  virtual std::vector<std::string> VolumesOfDisk(std::int32_t diskNumber);

  RunResult result;
};
