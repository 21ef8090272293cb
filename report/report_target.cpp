// The target of a run as the report names it, and the report of a run put together.
#include "report/erasure_report.h"

#include "devices/inventory.h"

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

void ReportRun(RunContext& context, const ReportTarget& target, int methodId, const RunResult& result,
               const std::string& folder) {
  ErasureReport report;
  DescribeSystem(&report);
  report.target = TargetOfRun(target, result);
  report.methodId = methodId;
  report.run = result;
  if (!target.isDisk && result.formatted) report.formattedWith = result.formattedWith;
  report.solidStateNotice = SolidStateNotice(target);
  report.logLines = result.logLines;
  SaveErasureReport(context, report, folder);
}
