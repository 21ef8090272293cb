// The target of a run as the report names it, and the report of a run put together.
#include "report/erasure_report.h"

#include <cstdio>

#include "devices/inventory.h"
#include "platform/system_text.h"

std::string SolidStateNotice(const ReportTarget& target) {
  if (target.identity.solidState != platform::DeviceAnswer::Yes) return std::string();
  return "Disk " + std::to_string(target.diskNumber) +
         " is a solid-state drive: overwriting may not reach every flash cell; see the user guide.";
}

std::string ReportTargetName(const ReportTarget& target) {
  if (target.isDisk) return "disk " + std::to_string(target.diskNumber);
  return "drive " + target.volumeName.substr(0, 1);
}

ReportTarget TargetOfRun(ReportTarget listed, const RunResult& result) {
  if (!result.resumed) return listed;
  // The list showed the interrupted wipe, not the volume: its size from the device the run
  // wrote, its file system from the record; its label went with the first pass.
  if (result.bytesPerPass != 0) {
    listed.sizeBytes = result.bytesPerPass;
    listed.sizeText = FormatSizeText(result.bytesPerPass);
  }
  listed.label.clear();
  if (!listed.isDisk) listed.fileSystem = result.recordFileSystem;
  return listed;
}

std::string EarlierBlocksText(const RunResult& run) {
  const bool one = run.startBlock == 1;
  const std::string blocks = one ? "block 0" : "blocks 0 to " + std::to_string(run.startBlock - 1);
  const std::string written = blocks + " of pass " + std::to_string(run.firstPass + 1) + (one ? " was" : " were") +
                              " written by the interrupted run this one resumed";
  switch (run.earlierBlocks) {
    case EarlierBlocks::None:
      return "none";
    case EarlierBlocks::Overwritten:
      return written + "; the later passes of this run overwrote " + (one ? "it" : "them") + " again";
    case EarlierBlocks::ReadBackRight:
      return written + "; this run's verification read " + (one ? "it" : "them") +
             " back, and what it found wrong is listed under Not overwritten";
    case EarlierBlocks::NotReadBack:
      break;
  }
  return written + ", and nothing read " + (one ? "it" : "them") +
         " back since: what that run could not overwrite is listed in its own report, not here";
}

namespace {

// The page and the JSON are UTF-8; what the ANSI calls gave is in the system code page.
ReportTarget InUtf8(ReportTarget target) {
  for (std::string* text : {&target.label, &target.fileSystem, &target.sizeText, &target.identity.vendor,
                            &target.identity.product, &target.identity.revision, &target.identity.serial,
                            &target.identity.bus}) {
    *text = platform::Utf8FromSystemText(*text);
  }
  return target;
}

// The start to the second and a digest of what the report is about: two reports of one
// computer never share an ID, and the ID changes with any of the facts it digests.
std::string ReportId(const ErasureReport& report) {
  const RunResult& run = report.run;
  std::uint32_t digest = 2166136261u;  // FNV-1a
  const std::string facts = report.computerName + "|" + ReportTargetName(report.target) + "|" +
                            report.target.identity.serial + "|" + std::to_string(run.bytesPerPass) + "|" +
                            std::to_string(report.methodId) + "|" + std::to_string(run.started.milliseconds) + "|" +
                            std::to_string(run.passes.size());
  for (char c : facts) {
    digest ^= static_cast<unsigned char>(c);
    digest *= 16777619u;
  }
  char text[48];
  std::snprintf(text, sizeof text, "DM-%04d%02d%02d-%02d%02d%02d-%08X", run.started.year, run.started.month,
                run.started.day, run.started.hour, run.started.minute, run.started.second, digest);
  return text;
}

}  // namespace

void ReportRun(RunContext& context, const ReportTarget& target, int methodId, const RunResult& result,
               const std::string& folder) {
  ErasureReport report;
  DescribeSystem(&report);
  report.target = InUtf8(TargetOfRun(target, result));
  report.methodId = methodId;
  report.run = result;
  if (!target.isDisk && result.formatted) report.formattedWith = platform::Utf8FromSystemText(result.formattedWith);
  report.solidStateNotice = SolidStateNotice(target);
  for (const std::string& line : result.logLines) report.logLines.push_back(platform::Utf8FromSystemText(line));
  report.reportId = ReportId(report);
  SaveErasureReport(context, report, folder);
}
