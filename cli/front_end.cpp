// The console program: list the devices, or wipe and resume the named targets, one after
// another through the same runs as the windows, with the output a console or a script wants.
#include <algorithm>
#include <atomic>

#include "app/commands.h"
#include "app/log.h"
#include "app/main_window.h"
#include "app/system_awake.h"
#include "app/window_runs.h"
#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/output.h"
#include "cli/targets.h"
#include "cli/ui_bridge.h"
#include "devices/disk_identity.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "report/erasure_report.h"
#include "report/machine_readable.h"
#include "resume/breakpoint.h"
#include "wipe/methods.h"
#include "wipe/runs.h"

namespace cli {

namespace {

std::atomic<bool> cancelSignalled{false};

constexpr std::uint32_t kConsoleRedrawMs = 250;
constexpr std::uint32_t kPlainLineMs = 5000;
constexpr std::uint32_t kJsonProgressMs = 1000;
constexpr std::size_t kLineWidth = 79;

enum class Style { Console, Plain, Json };

// The call in progress, as the bridge reaches it: one run at a time.
struct CallState {
  const Console* console = nullptr;
  Arguments arguments;
  Style style = Style::Plain;
  std::string target;  // the running target's name; empty between runs
  ProgressState progress;
  int pass = 0;
  int passes = 0;
  std::uint32_t lastShown = 0;
  bool lineDrawn = false;
  bool collected = false;
  SummaryEntry entry;
};

CallState* call = nullptr;

void Out(const std::string& text) { call->console->out(text); }

void ClearDrawnLine() {
  if (call->style == Style::Console && call->lineDrawn) Out("\r" + std::string(kLineWidth, ' ') + "\r");
  call->lineDrawn = false;
}

void ShowProgress(bool now) {
  if (call->target.empty() || call->progress.caption.find_first_not_of(' ') == std::string::npos) return;
  const std::uint32_t tick = platform::TickCount();
  const std::uint32_t every = call->style == Style::Console ? kConsoleRedrawMs
                              : call->style == Style::Json  ? kJsonProgressMs
                                                            : kPlainLineMs;
  if (!now && call->lastShown != 0 && tick - call->lastShown < every) return;
  call->lastShown = tick == 0 ? 1 : tick;
  switch (call->style) {
    case Style::Console: {
      std::string line = ProgressLine(call->progress).substr(0, kLineWidth);
      Out("\r" + line + std::string(kLineWidth - line.size(), ' ') + "\r");
      call->lineDrawn = true;
      break;
    }
    case Style::Plain: Out(ProgressLine(call->progress) + "\n"); break;
    case Style::Json: Out(ProgressEvent(call->progress) + "\n"); break;
  }
}

// A line for the person or the script: on the console above the progress line.
void Tell(const std::string& target, const std::string& line) {
  if (call->style == Style::Json) {
    Out(LogEvent(target, line) + "\n");
    return;
  }
  ClearDrawnLine();
  Out((target.empty() ? "" : target + "  ") + line + "\n");
  // On a console the progress line stands below the log lines; in a file it comes on its turn.
  if (call->style == Style::Console) ShowProgress(true);
}

bool ReportFolderUsable(const std::string& folder) {
  // Each missing level is made, so "D:\Reports\2026" works on a fresh stick.
  for (std::size_t at = folder.find('\\', 3); at != std::string::npos; at = folder.find('\\', at + 1)) {
    platform::CreateFolder(folder.substr(0, at));
  }
  if (!platform::CreateFolder(folder)) return false;
  const std::string probe = folder + "\\dunmere-write-test.tmp";
  if (!platform::WriteTextFile(probe, "")) return false;
  platform::RemoveFile(probe);
  return true;
}

ReportTarget ReportTargetOf(const ResolvedTarget& target) {
  return WithIdentity(target.isDisk ? DiskTarget(DiskTable[target.row]) : DriveTarget(DriveTable[target.row]));
}

// The refusals the windows make, with their texts, before anything is written.
bool Refused(const ResolvedTarget& target, bool resume) {
  if (target.isDisk) {
    if (DiskRefused(target.diskNumber)) return true;
  } else {
    if (SystemVolumeRefused(target.volumeName)) return true;
    if (!resume && DriveTable[target.row].Capacity == 0) {
      LogMessage("The drive " + target.volumeName + " is not formatted, you should format it before wiping.");
      return true;
    }
  }
  if (resume) {
    BreakpointValues found;
    if (!FindBreakpoint(target.isDisk ? DiskDevicePath(target.diskNumber) : VolumeDevicePath(VolumeName(target.rootPath)), &found)) {
      LogMessage("Break point not found, can not resume.");
      return true;
    }
  }
  return false;
}

std::string TargetLine(const ResolvedTarget& target) {
  const ReportTarget report = ReportTargetOf(target);
  std::string line = "  " + target.name + "  " + (report.sizeText.empty() ? "size unknown" : report.sizeText);
  const std::string model = ModelAndSerialText(report.identity);
  if (!model.empty()) line += "  " + model;
  return line + "\n";
}

// A typed word, so that no stray Enter starts a wipe.
bool Confirmed(const std::vector<ResolvedTarget>& targets, bool resume) {
  const Console& console = *call->console;
  std::string text = std::string(resume ? "Continue wiping" : "Wipe") + " these targets? Every byte on them will be "
                     "permanently erased.\n";
  for (const ResolvedTarget& target : targets) text += TargetLine(target);
  std::string word = targets.size() == 1 ? targets[0].name : "all";
  std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  console.err(text + "Type " + word + " to go on, anything else to stop: ");
  std::string answer;
  if (!console.readLine || !console.readLine(&answer)) return false;
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == '\n' || answer.back() == ' ')) answer.pop_back();
  std::transform(answer.begin(), answer.end(), answer.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return answer == word;
}

SummaryEntry EntryWithoutReport(const ReportTarget& target, int methodId, const RunResult& facts) {
  SummaryEntry entry;
  DescribeSystem(&entry.report);
  entry.report.target = target;
  entry.report.methodId = methodId;
  entry.report.run = facts;
  return entry;
}

// The runs take their target as the checked row of its list. A run's end lists the devices
// again, which may move a row, so the row is looked up anew before each run.
bool SelectRow(ResolvedTarget* target) {
  SelectedDriveRow = -1;
  SelectedDiskRow = -1;
  if (target->isDisk) {
    for (int i = 0; i < DiskCount; ++i) {
      if (DiskTable[i].DiskNumber == target->diskNumber) target->row = SelectedDiskRow = i;
    }
    return SelectedDiskRow >= 0;
  }
  for (int i = 0; i < DriveCount; ++i) {
    if (FieldText(DriveTable[i].RootPath) == target->rootPath) target->row = SelectedDriveRow = i;
  }
  return SelectedDriveRow >= 0;
}

// One target from start to result line; the record stays when it fails or is cancelled.
SummaryEntry RunOne(ResolvedTarget target, bool resume) {
  RunResult facts;
  facts.started = platform::LocalTimeNow();
  facts.ended = facts.started;
  if (!SelectRow(&target)) {
    facts.failureReason = "the device is no longer listed";
    SummaryEntry entry;
    DescribeSystem(&entry.report);
    entry.report.methodId = call->arguments.method;
    entry.report.run = facts;
    return entry;
  }
  const ReportTarget reportTarget = ReportTargetOf(target);
  int methodId = call->arguments.method;
  if (resume) {
    BreakpointValues found;
    if (!FindBreakpoint(target.isDisk ? DiskDevicePath(target.diskNumber) : VolumeDevicePath(VolumeName(target.rootPath)), &found)) {
      facts.failureReason = "the breakpoint record is gone";
      return EntryWithoutReport(reportTarget, methodId, facts);
    }
    ResumePoint = found;
    methodId = found.MethodId;
    if (methodId >= kMethodCount) {
      facts.failureReason = "the record names no method";
      return EntryWithoutReport(reportTarget, methodId, facts);
    }
  }
  call->target = target.name;
  call->progress = ProgressState();
  call->progress.target = target.name;
  call->pass = call->passes = 0;
  call->lastShown = 0;
  call->collected = false;
  if (call->style == Style::Json) Out(StartEvent(target.name, methodId, resume) + "\n");
  AnnounceSolidState(reportTarget);
  CancelRequested = false;
  RunInWindows(reportTarget, resume, methodId, &facts);
  if (call->pass > 0 && call->style == Style::Json && facts.outcome == RunOutcome::Succeeded) {
    Out(PassEndEvent(target.name, call->pass, call->passes) + "\n");
  }
  ClearDrawnLine();
  call->target.clear();
  SummaryEntry entry = call->collected ? call->entry : EntryWithoutReport(reportTarget, methodId, facts);
  entry.report.run.verification = facts.verification;
  if (call->style == Style::Json) Out(VerificationEvent(target.name, facts.verification) + "\n");
  return entry;
}

// The target's last line: on its own line for a person, a result event for a program.
void TellResult(const std::string& name, const SummaryEntry& entry) {
  Out((call->style == Style::Json ? ResultEvent(name, entry) : ResultLine(name, entry)) + "\n");
}

int ExitCodeOf(const std::vector<SummaryEntry>& entries) {
  bool failed = false;
  for (const SummaryEntry& entry : entries) {
    if (entry.report.run.outcome == RunOutcome::Cancelled) return kExitCancelled;
    if (entry.report.run.outcome != RunOutcome::Succeeded) failed = true;
  }
  return failed ? kExitFailed : kExitErased;
}

void WriteSummary(const std::vector<SummaryEntry>& entries, const platform::LocalTime& at, std::string* page,
                  std::string* csv) {
  const std::string folder = ReportsFolder();
  if (!platform::CreateFolder(folder)) {
    call->console->err("The summary could not be saved: the folder " + folder + " cannot be made.\n");
    return;
  }
  const std::string pagePath = folder + "\\" + SummaryFileName(at);
  const std::string csvPath = folder + "\\" + SummaryCsvFileName(at);
  const std::string html = ComposeSummaryHtml(at, entries);
  const std::string lines = ComposeSummaryCsv(entries);
  if (platform::WriteFileBytes(pagePath, std::vector<std::uint8_t>(html.begin(), html.end()))) *page = pagePath;
  if (platform::WriteFileBytes(csvPath, std::vector<std::uint8_t>(lines.begin(), lines.end()))) *csv = csvPath;
  if (page->empty() || csv->empty()) call->console->err("The summary could not be saved in " + folder + ".\n");
}

std::vector<ListRow> ListedDevices() {
  std::vector<ListRow> rows;
  for (int i = 0; i < DriveCount; ++i) {
    const DriveRecord& record = DriveTable[i];
    ListRow row;
    row.name = VolumeName(FieldText(record.RootPath));
    row.sizeBytes = record.Capacity;
    row.sizeText = FieldText(record.CapacityText);
    row.fileSystem = FieldText(record.FileSystem);
    row.label = FieldText(record.Label);
    row.diskNumber = record.DiskNumber == kUnknownDisk ? -1 : record.DiskNumber;
    for (int d = 0; d < DiskCount; ++d) {
      if (DiskTable[d].DiskNumber != record.DiskNumber) continue;
      row.model = ModelText(DiskIdentities[d]);
      row.serial = DiskIdentities[d].serial;
      row.bus = DiskIdentities[d].bus;
    }
    row.system = IsSystemVolume(row.name);
    row.resumable = row.label == "Incomplete wipe, resumable.";
    rows.push_back(row);
  }
  std::string systemName;
  std::int32_t systemDisk = -1;
  const WindowsDisk where = LocateWindowsDisk(&systemName, &systemDisk);
  for (int i = 0; i < DiskCount; ++i) {
    const DiskRecord& record = DiskTable[i];
    const platform::DeviceIdentity& identity = DiskIdentities[i];
    ListRow row;
    row.isDisk = true;
    row.name = "disk" + std::to_string(record.DiskNumber);
    row.sizeBytes = record.Capacity;
    row.sizeText = FieldText(record.CapacityText);
    row.label = FieldText(record.LogicalDrives);
    row.diskNumber = record.DiskNumber;
    row.model = ModelText(identity);
    row.serial = identity.serial;
    row.bus = identity.bus;
    row.solidState = identity.solidState == platform::DeviceAnswer::Yes  ? "yes"
                     : identity.solidState == platform::DeviceAnswer::No ? "no"
                                                                         : "";
    row.system = where == WindowsDisk::Unknown || (where == WindowsDisk::One && systemDisk == record.DiskNumber);
    row.resumable = row.label == "Incomplete wipe, resumable.";
    rows.push_back(row);
  }
  for (ListRow& row : rows) {
    if (row.isDisk) continue;
    for (const ListRow& disk : rows) {
      if (disk.isDisk && disk.diskNumber == row.diskNumber) row.solidState = disk.solidState;
    }
  }
  return rows;
}

int WipeOrResume(const Arguments& arguments, const Console& console) {
  const bool resume = arguments.command == Command::Resume;
  std::vector<ResolvedTarget> targets;
  std::string error;
  if (!ResolveTargets(arguments.targets, &targets, &error)) {
    console.err(error + "\n");
    return kExitRefused;
  }
  bool refused = false;
  for (const ResolvedTarget& target : targets) {
    call->target.clear();
    call->progress.target = target.name;
    if (Refused(target, resume)) refused = true;
  }
  call->progress.target.clear();
  if (refused) {
    console.err("Nothing was written.\n");
    return kExitRefused;
  }
  if (!arguments.reportDir.empty() && !ReportFolderUsable(arguments.reportDir)) {
    console.err("The report folder " + Quoted(arguments.reportDir) + " cannot be written; nothing was written.\n");
    return kExitUsage;
  }
  if (!arguments.yes) {
    if (!console.inputIsConsole) {
      console.err("Without --yes the targets must be confirmed at a console; input is not one. Nothing was written.\n");
      return kExitUsage;
    }
    if (!Confirmed(targets, resume)) {
      console.err("Nothing was written.\n");
      return kExitRefused;
    }
  }
  ChooseReportsFolder(arguments.reportDir);
  ChooseReportFields(arguments.fields);
  CollectReports([](const ErasureReport& report, const std::string& fileName) {
    call->entry.report = report;
    call->entry.reportFile = fileName;
    call->collected = true;
  });
  const platform::LocalTime callStarted = platform::LocalTimeNow();
  std::vector<SummaryEntry> entries;
  std::vector<std::string> names;
  {
    const SystemAwake awake;
    for (const ResolvedTarget& target : targets) {
      names.push_back(target.name);
      if (CancelSignalled()) {
        RunResult notStarted;
        notStarted.outcome = RunOutcome::Cancelled;
        notStarted.started = notStarted.ended = platform::LocalTimeNow();
        entries.push_back(EntryWithoutReport(ReportTargetOf(target), arguments.method, notStarted));
      } else {
        entries.push_back(RunOne(target, resume));
      }
      TellResult(target.name, entries.back());
    }
  }
  CollectReports(nullptr);
  ChooseReportFields({});
  std::string page, csv;
  if (targets.size() > 1) WriteSummary(entries, callStarted, &page, &csv);
  ChooseReportsFolder("");
  if (console.runsEnded) console.runsEnded();
  const int exitCode = ExitCodeOf(entries);
  if (call->style == Style::Json) {
    Out(SummaryEvent(names, entries, exitCode, page, csv) + "\n");
  } else if (!page.empty()) {
    Out("Summary saved: " + page + "\nCSV saved: " + csv + "\n");
  }
  if (arguments.shutdown && exitCode == kExitErased) {
    platform::EnableShutdownPrivilege();
    if (platform::RequestPowerOff() == 0) console.err("The computer could not be switched off.\n");
  }
  return exitCode;
}

}  // namespace

void SignalCancel() { cancelSignalled = true; }
bool CancelSignalled() { return cancelSignalled; }

int RunConsoleProgram(const std::string& programName, const std::vector<std::string>& args, const Console& console) {
  CallState state;
  state.console = &console;
  cancelSignalled = false;
  std::string error;
  if (!ParseArguments(args, &state.arguments, &error)) {
    console.err(error + "\n");
    return kExitUsage;
  }
  if (state.arguments.command == Command::Help) {
    console.out(HelpText(programName));
    return kExitErased;
  }
  state.style = state.arguments.json ? Style::Json : console.outputIsConsole ? Style::Console : Style::Plain;
  call = &state;
  RefreshDriveTable();
  RefreshDiskTable();
  int exitCode = kExitErased;
  if (state.arguments.command == Command::List) {
    const std::vector<ListRow> rows = ListedDevices();
    console.out(state.arguments.json ? ListJson(rows) : ListText(rows));
  } else {
    exitCode = WipeOrResume(state.arguments, console);
  }
  call = nullptr;
  return exitCode;
}

namespace bridge {

void LogLine(const std::string& line) {
  if (call == nullptr) return;
  // Before the runs, a refusal: it goes to standard error with its target, without the time.
  if (call->target.empty()) {
    const std::string& target = call->progress.target;
    if (call->style == Style::Json) call->console->out(LogEvent(target, line) + "\n");
    const std::size_t stamp = line.rfind("] : ", 40);
    const std::string text = line.rfind('[', 0) == 0 && stamp != std::string::npos ? line.substr(stamp + 4) : line;
    call->console->err((target.empty() ? "" : target + ": ") + text + "\n");
    return;
  }
  Tell(call->target, line);
}

void Caption(const std::string& text) {
  if (call == nullptr) return;
  call->progress.caption = text;
  int pass = 0, passes = 0;
  const bool writing = PassOfCaption(text, &pass, &passes);
  if (call->pass > 0 && (!writing || pass != call->pass)) {
    if (call->style == Style::Json) Out(PassEndEvent(call->target, call->pass, call->passes) + "\n");
    call->pass = 0;
  }
  if (writing) {
    call->pass = pass;
    call->passes = passes;
  }
  ShowProgress(true);
}

void Speed(const std::string& text) {
  if (call != nullptr) call->progress.speed = text;
}

void TimeLeft(const std::string& text) {
  if (call != nullptr) call->progress.timeLeft = text;
}

void Bar(int percent) {
  if (call == nullptr) return;
  call->progress.percent = percent;
  ShowProgress(false);
}

void Pump() {
  if (CancelSignalled()) CancelRequested = true;
}

bool FormatWanted() { return call != nullptr && call->arguments.format; }
bool VerifyWanted() { return call == nullptr || call->arguments.verify; }

}  // namespace bridge

}  // namespace cli
