// The runs of one call, one thread and one run context each: every run's log lines and progress
// go to the call's view, which prints them the console's or the script's way.
#include "cli/console_runs.h"

#include <algorithm>
#include <mutex>

#include "app/log.h"
#include "cli/output.h"
#include "cli/run_threads.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/concurrency.h"
#include "postwipe/postwipe.h"
#include "report/erasure_report.h"
#include "resume/breakpoint.h"
#include "wipe/methods.h"
#include "wipe/runs.h"

namespace cli {

namespace {

constexpr std::uint32_t kConsoleRedrawMs = 250;
constexpr std::uint32_t kPlainLineMs = 5000;
constexpr std::uint32_t kJsonProgressMs = 1000;
constexpr std::size_t kLineWidth = 79;

// What the runs show, in the order they show it: one progress state per target.
class CallView {
 public:
  CallView(const Console& console, OutputStyle style, const std::vector<std::string>& names)
      : console_(console), style_(style), targets_(names.size()) {
    for (std::size_t i = 0; i < names.size(); ++i) targets_[i].progress.target = names[i];
  }

  void Line(std::size_t i, const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string& name = targets_[i].progress.target;
    if (style_ == OutputStyle::Json) {
      console_.out(LogEvent(name, text) + "\n");
      return;
    }
    ClearDrawn();
    console_.out(name + "  " + text + "\n");
    if (style_ == OutputStyle::Console) Draw();
  }

  void Caption(std::size_t i, const std::string& caption) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Shown& shown = targets_[i];
    shown.progress.caption = caption;
    int pass = 0, passes = 0;
    const bool writing = PassOfCaption(caption, &pass, &passes);
    if (shown.pass > 0 && (!writing || pass != shown.pass)) {
      if (style_ == OutputStyle::Json) console_.out(PassEndEvent(shown.progress.target, shown.pass, shown.passes) + "\n");
      shown.pass = 0;
    }
    if (writing) {
      shown.pass = pass;
      shown.passes = passes;
    }
    Show(i, true);
  }

  void Speed(std::size_t i, const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    targets_[i].progress.speed = text;
  }
  void TimeLeft(std::size_t i, const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    targets_[i].progress.timeLeft = text;
  }
  void Bar(std::size_t i, int percent) {
    const std::lock_guard<std::mutex> lock(mutex_);
    targets_[i].progress.percent = percent;
    Show(i, false);
  }

  // The run's end: its last pass ended, it stops showing progress.
  void Ended(std::size_t i, bool succeeded) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Shown& shown = targets_[i];
    if (shown.pass > 0 && succeeded && style_ == OutputStyle::Json) {
      console_.out(PassEndEvent(shown.progress.target, shown.pass, shown.passes) + "\n");
    }
    shown.pass = 0;
    shown.running = false;
    ClearDrawn();
    if (style_ == OutputStyle::Console) Draw();
  }

  void Started(std::size_t i) {
    const std::lock_guard<std::mutex> lock(mutex_);
    targets_[i].running = true;
  }

  void Out(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ClearDrawn();
    console_.out(text);
    if (style_ == OutputStyle::Console) Draw();
  }

 private:
  struct Shown {
    ProgressState progress;
    int pass = 0;
    int passes = 0;
    bool running = false;
    std::uint32_t lastShown = 0;
  };

  // Where the console's cursor can move, the running targets keep a line each below the log,
  // and a log line is written where the block was before the block is drawn again under it.
  // Elsewhere they share the one line the carriage return redraws.
  bool LinePerTarget() const { return static_cast<bool>(console_.lineUp); }
  std::size_t Width() const {
    const int columns = console_.columns > 1 ? console_.columns - 1 : 1;
    return std::min<std::size_t>(kLineWidth, static_cast<std::size_t>(columns));
  }
  std::string Padded(const std::string& line) const {
    const std::string cut = line.substr(0, Width());
    return cut + std::string(Width() - cut.size(), ' ');
  }

  void ClearDrawn() {
    if (style_ == OutputStyle::Console && drawnLines_ > 0) {
      if (LinePerTarget()) {
        console_.lineUp(drawnLines_);
        for (int n = 0; n < drawnLines_; ++n) console_.out(Padded("") + "\n");
        console_.lineUp(drawnLines_);
      } else {
        console_.out("\r" + Padded("") + "\r");
      }
    }
    drawnLines_ = 0;
  }

  // The running targets' progress in the order they were named: a line each, or, on a console
  // that cannot move its cursor, "disk1 1/3 45% | disk2 2/3 10%" on one line (the full progress
  // line when one target runs).
  void Draw() {
    std::vector<const Shown*> running;
    for (const Shown& shown : targets_) {
      if (shown.running && shown.progress.caption.find_first_not_of(' ') != std::string::npos) running.push_back(&shown);
    }
    if (LinePerTarget()) {
      if (drawnLines_ > 0) console_.lineUp(drawnLines_);
      std::string block;
      for (const Shown* shown : running) block += Padded(ProgressLine(shown->progress)) + "\n";
      // A target that ended leaves its old line blank below the others.
      for (int n = static_cast<int>(running.size()); n < drawnLines_; ++n) block += Padded("") + "\n";
      if (!block.empty()) console_.out(block);
      const int blanks = drawnLines_ - static_cast<int>(running.size());
      if (blanks > 0) console_.lineUp(blanks);
      drawnLines_ = static_cast<int>(running.size());
      return;
    }
    if (running.empty()) return;
    std::string line;
    if (running.size() == 1) {
      line = ProgressLine(running[0]->progress);
    } else {
      for (const Shown* shown : running) line += (line.empty() ? "" : " | ") + ShortProgress(shown->progress);
    }
    console_.out("\r" + Padded(line) + "\r");
    drawnLines_ = 1;
  }

  void Show(std::size_t i, bool now) {
    Shown& shown = targets_[i];
    if (!shown.running || shown.progress.caption.find_first_not_of(' ') == std::string::npos) return;
    const std::uint32_t tick = platform::TickCount();
    const std::uint32_t every = style_ == OutputStyle::Console ? kConsoleRedrawMs
                                : style_ == OutputStyle::Json  ? kJsonProgressMs
                                                               : kPlainLineMs;
    if (style_ == OutputStyle::Console) {
      if (!now && lastDraw_ != 0 && tick - lastDraw_ < every) return;
      lastDraw_ = tick == 0 ? 1 : tick;
      Draw();
      return;
    }
    if (!now && shown.lastShown != 0 && tick - shown.lastShown < every) return;
    shown.lastShown = tick == 0 ? 1 : tick;
    console_.out((style_ == OutputStyle::Json ? ProgressEvent(shown.progress) : ProgressLine(shown.progress)) + "\n");
  }

  const Console& console_;
  const OutputStyle style_;
  std::mutex mutex_;
  std::vector<Shown> targets_;
  int drawnLines_ = 0;  // the progress lines on the console now, the cursor below them
  std::uint32_t lastDraw_ = 0;
};

// The format after a volume's wipe works on the drive table, which every run shares.
std::mutex formatMutex;

// The entry of the run on this thread, which the report collector fills.
thread_local SummaryEntry* collecting = nullptr;

class ConsoleRunContext;
// The run whose format logs on this thread now, through the windows' log.
thread_local ConsoleRunContext* formatting = nullptr;

class LinesOfThisThread {
 public:
  explicit LinesOfThisThread(ConsoleRunContext* context) { formatting = context; }
  ~LinesOfThisThread() { formatting = nullptr; }
  LinesOfThisThread(const LinesOfThisThread&) = delete;
  LinesOfThisThread& operator=(const LinesOfThisThread&) = delete;
};

class ConsoleRunContext : public RunContext {
 public:
  ConsoleRunContext(CallView* view, std::size_t index, RunTurns* turns, const Arguments& arguments)
      : view_(view), index_(index), turns_(turns), arguments_(arguments) {}

  void Log(const std::string& text) override { Logged(ComposeLogLine(platform::LocalTimeNow(), text)); }
  void Logged(const std::string& line) {
    result.logLines.push_back(line);
    view_->Line(index_, line);
  }
  bool CancelRequested() const override { return CancelSignalled(); }
  // A Ctrl+C before the run began still cancels it: the request is the call's, not the run's.
  void ClearCancel() override {}
  void SetCaption(const std::string& caption) override { view_->Caption(index_, caption); }
  void SetValue(ProgressValue value, const std::string& text) override {
    if (value == ProgressValue::Speed) view_->Speed(index_, text);
    if (value == ProgressValue::TimeLeft) view_->TimeLeft(index_, text);
  }
  void SetBar(int percent) override { view_->Bar(index_, percent); }
  void Pump() override { turns_->PassAndTakeAgain(); }
  bool Chosen(RunChoice choice) override {
    switch (choice) {
      case RunChoice::Resumable: return true;
      case RunChoice::Verify: return arguments_.verify;
      case RunChoice::Format: return arguments_.format;
      case RunChoice::Shutdown: break;
    }
    return false;  // the call switches off once, after every target
  }
  // The format command reads the former file system from the volume's row.
  bool FormatVolume(const std::string& volumeName, const std::string& formerFileSystem) override {
    const std::lock_guard<std::mutex> lock(formatMutex);
    // The format logs as the windows' commands do; its lines are this run's.
    const LinesOfThisThread lines(this);
    RefreshDriveTable();
    for (int row = 0; row < DriveCount; ++row) {
      if (VolumeName(FieldText(DriveTable[row].RootPath)) != volumeName) continue;
      SetField(DriveTable[row].FileSystem, formerFileSystem);
      SelectedDriveRow = row;
    }
    return FormatDrive(volumeName, kFormatCommandLineMode);
  }

 private:
  CallView* view_;
  std::size_t index_;
  RunTurns* turns_;
  const Arguments& arguments_;
};

}  // namespace

bool LoggedByARun(const std::string& line) {
  if (formatting == nullptr) return false;
  formatting->Logged(line);
  return true;
}

std::vector<SummaryEntry> RunTargets(const std::vector<RunTarget>& targets, bool resume, const Arguments& arguments,
                                     const Console& console, OutputStyle style) {
  std::vector<std::string> names;
  for (const RunTarget& target : targets) names.push_back(target.name);
  CallView view(console, style, names);
  RunTurns turns(!platform::ConcurrentCalls());
  std::vector<SummaryEntry> entries(targets.size());
  const std::string folder = ReportsFolder();
  CollectReports([](const ErasureReport& report, const std::string& fileName) {
    if (collecting == nullptr) return;
    collecting->report = report;
    collecting->reportFile = fileName;
  });
  RunEachInTurns(targets.size(), arguments.parallel, turns, [&](std::size_t i) {
    const RunTarget& named = targets[i];
    SummaryEntry& entry = entries[i];
    DescribeSystem(&entry.report);
    entry.report.target = named.target;
    entry.report.methodId = resume ? named.record.MethodId : arguments.method;
    entry.report.run.started = entry.report.run.ended = platform::LocalTimeNow();
    if (CancelSignalled()) {
      entry.report.run.outcome = RunOutcome::Cancelled;
    } else if (entry.report.methodId >= kMethodCount && (resume || entry.report.methodId != kSanitizeMethodId)) {
      entry.report.run.failureReason = "the record names no method";
    } else {
      ConsoleRunContext context(&view, i, &turns, arguments);
      if (style == OutputStyle::Json) view.Out(StartEvent(named.name, entry.report.methodId, resume) + "\n");
      const std::string notice = SolidStateNotice(named.target);
      if (!notice.empty()) context.Log(notice);
      view.Started(i);
      const bool succeeded = WipeRun(context, named.target, resume ? &named.record : nullptr, entry.report.methodId);
      view.Ended(i, succeeded);
      entry.report.run = context.result;
      if (context.result.startedWriting) {
        collecting = &entry;
        ReportRun(context, named.target, entry.report.methodId, context.result, folder);
        collecting = nullptr;
      }
      entry.report.run = context.result;
      if (style == OutputStyle::Json) view.Out(VerificationEvent(named.name, context.result.verification) + "\n");
    }
    view.Out((style == OutputStyle::Json ? ResultEvent(named.name, entry) : ResultLine(named.name, entry)) + "\n");
  });
  CollectReports(nullptr);
  return entries;
}

}  // namespace cli
