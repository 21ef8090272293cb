#pragma once
// The erasure report: one self-contained HTML page per run that started writing, kept in the
// folder "Reports" next to the executable, in the order of a certificate of sanitization
// (tool, target, method, time, result, log, signatures). Built from values only: the target
// as the commands saw it before the run, and the facts the run produced.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "devices/target.h"
#include "platform/platform.h"
#include "wipe/run_context.h"
#include "wipe/run_result.h"

// The report names its target as the commands saw it before the run.
using ReportTarget = Target;

struct ErasureReport {
  std::string toolVersion;
  std::string computerName;
  std::string windowsVersion;
  std::string userName;
  std::string reportId;  // "DM-20260302-140509-1A2B3C4D": the start and a digest of the facts
  std::string timeZone;  // "UTC+01:00 (W. Europe Standard Time)" or "unknown"
  // Lines of the user's own for every report of a call (an asset tag, a ticket): name, value.
  std::vector<std::pair<std::string, std::string>> userFields;
  ReportTarget target;
  int methodId = 0;
  RunResult run;
  std::string formattedWith;  // the volume's file system after the format; empty: none
  std::string solidStateNotice;
  std::vector<std::string> logLines;
};

// "Disk 1 is a solid-state drive: ..." for a target on a solid-state disk, else empty.
std::string SolidStateNotice(const ReportTarget& target);
// The lines logged after the solid-state notice, before the first question: what the target's
// disk can do to itself, how a solid-state disk is purged, and sectors a disk hides.
std::vector<std::string> DiskNotices(const ReportTarget& target);
// A whole disk's hidden areas: "16,384 sectors (host protected area)", "none", "none (NVMe)" or
// "could not be checked"; empty for a volume.
std::string HiddenAreasText(const ReportTarget& target);
// The NIST SP 800-88 level the run reached: "Purge (device sanitize, crypto erase)", "Clear
// (overwrite)" and their variants, with what the erasure did not reach.
std::string NistLevelText(const ReportTarget& target, const RunResult& run);

// The blocks from firstBlock to endBlock - 1 (and the tail) that a run stopped in the
// method's first pass never wrote: they hold what they held before the run.
struct NeverReached {
  bool any = false;
  std::uint32_t firstBlock = 0;
  std::uint32_t endBlock = 0;
  bool tail = false;
  std::uint64_t bytes = 0;
};
NeverReached NeverReachedOf(const RunResult& run);
// "none", or every part the run left unwritten: "2,101,248 bytes the run never reached:
// blocks 14 to 15 and the tail", the blocks whose writes failed, the blocks read back wrong.
std::string NotOverwrittenText(const RunResult& run);
// The result in one sentence for the top of the page: "Result: FAILED: <reason>. ...".
std::string HeadlineText(const RunResult& run);

// The target as the report names it: as listed before the run, except that a resumed run's
// list row showed the interrupted wipe, so its size comes from the device, its file system
// from the record, and its label is unknown.
ReportTarget TargetOfRun(ReportTarget listed, const RunResult& result);
// Of a resumed run: who wrote the blocks below the resume point and what vouches for them.
std::string EarlierBlocksText(const RunResult& run);

// "drive E" or "disk 1", as the file name says it.
std::string ReportTargetName(const ReportTarget& target);
// "Dunmere 2026-03-02 14-05-09 drive E.html"
std::string ReportFileName(const platform::LocalTime& at, const ReportTarget& target);
std::string HtmlEscaped(const std::string& text);
std::string ThousandsGrouped(std::uint64_t value);  // 201326592 gives "201,326,592"
std::string ComposeReportHtml(const ErasureReport& report);

// Fills the tool's and the computer's part of the report, and the user's fields.
void DescribeSystem(ErasureReport* report);
// "<executable's folder>\Reports", or the folder the console program chose.
std::string ReportsFolder();
void ChooseReportsFolder(const std::string& folder);  // empty: back to the default
// The user's own lines that DescribeSystem puts in every report from now on.
void ChooseReportFields(const std::vector<std::pair<std::string, std::string>>& fields);
// Called with every report saved (and the page's file name, empty when it could not be
// written), from the thread of its run; the console program gathers its summary with it.
using ReportCollector = std::function<void(const ErasureReport& report, const std::string& fileName)>;
void CollectReports(ReportCollector collector);
// Writes the report page into the folder (made if missing) and logs "Report saved: <path>",
// or a line saying why it could not be saved; then the same facts as JSON beside it. Nothing
// else of the run depends on it.
bool SaveErasureReport(RunContext& context, const ErasureReport& report, const std::string& folder);

// Completes the report of a run that started writing (the system, the notice, the file
// system a format gave the volume, the run's log lines) and saves it into the folder.
void ReportRun(RunContext& context, const ReportTarget& target, int methodId, const RunResult& result,
               const std::string& folder);
