// The console program: list the devices, or wipe and resume the named targets, all at once
// through the same runs and refusals as the windows, with the output a console or a script
// wants.
#include <algorithm>
#include <atomic>

#include "app/commands.h"
#include "app/log.h"
#include "app/system_awake.h"
#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/console_runs.h"
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

// The call in progress, as the windows port reaches it for the lines logged before the runs.
struct CallState {
  const Console* console = nullptr;
  Arguments arguments;
  OutputStyle style = OutputStyle::Plain;
  std::string target;  // the target being checked, for its refusal
};

CallState* call = nullptr;

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

Target TargetOf(const ResolvedTarget& target) {
  return WithIdentity(target.isDisk ? DiskTarget(DiskTable[target.row]) : DriveTarget(DriveTable[target.row]));
}

// The refusals the windows make, with their texts, before anything is written.
bool Refused(const ResolvedTarget& target, bool resume, BreakpointValues* record) {
  if (MethodRefused(TargetOf(target), call->arguments.method, resume)) return true;
  if (target.isDisk) {
    if (DiskRefused(target.diskNumber)) return true;
  } else {
    if (SystemVolumeRefused(target.volumeName)) return true;
    if (!resume && DriveTable[target.row].Capacity == 0) {
      LogMessage("The drive " + target.volumeName + " is not formatted, you should format it before wiping.");
      return true;
    }
  }
  if (resume && !FindBreakpoint(target.isDisk ? DiskDevicePath(target.diskNumber) : VolumeDevicePath(target.volumeName), record)) {
    LogMessage("Break point not found, can not resume.");
    return true;
  }
  return false;
}

std::string TargetLine(const ResolvedTarget& target) {
  const Target report = TargetOf(target);
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
  // Each target is taken as it is now, with its disk's identity, before the question: the runs
  // check that the device is still the one named before they write.
  bool refused = false;
  std::vector<RunTarget> runs;
  for (const ResolvedTarget& target : targets) {
    call->target = target.name;
    RunTarget run;
    run.name = target.name;
    run.target = TargetOf(target);
    if (Refused(target, resume, &run.record)) refused = true;
    runs.push_back(run);
  }
  call->target.clear();
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
  const platform::LocalTime callStarted = platform::LocalTimeNow();
  std::vector<SummaryEntry> entries;
  {
    const SystemAwake awake;
    entries = RunTargets(runs, resume, arguments, console, call->style);
  }
  std::vector<std::string> names;
  for (const RunTarget& run : runs) names.push_back(run.name);
  ChooseReportFields({});
  std::string page, csv;
  if (targets.size() > 1) WriteSummary(entries, callStarted, &page, &csv);
  ChooseReportsFolder("");
  if (console.runsEnded) console.runsEnded();
  const int exitCode = ExitCodeOf(entries);
  if (call->style == OutputStyle::Json) {
    console.out(SummaryEvent(names, entries, exitCode, page, csv) + "\n");
  } else if (!page.empty()) {
    console.out("Summary saved: " + page + "\nCSV saved: " + csv + "\n");
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
  state.style = state.arguments.json            ? OutputStyle::Json
                : console.outputIsConsole ? OutputStyle::Console
                                          : OutputStyle::Plain;
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

// The lines logged before the runs: a refusal goes to standard error with its target, without
// the time (and as a log event with --json).
void LogLine(const std::string& line) {
  if (call == nullptr || LoggedByARun(line)) return;
  const std::string& target = call->target;
  if (call->style == OutputStyle::Json) call->console->out(LogEvent(target, line) + "\n");
  const std::size_t stamp = line.rfind("] : ", 40);
  const std::string text = line.rfind('[', 0) == 0 && stamp != std::string::npos ? line.substr(stamp + 4) : line;
  call->console->err((target.empty() ? "" : target + ": ") + text + "\n");
}

}  // namespace bridge

}  // namespace cli
