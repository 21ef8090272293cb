// The target of a run as the report names it, and the report of a run put together.
#include "report/erasure_report.h"

std::string SolidStateNotice(const ReportTarget& target) {
  if (target.identity.solidState != platform::DeviceAnswer::Yes) return std::string();
  return "Disk " + std::to_string(target.diskNumber) +
         " is a solid-state drive: overwriting may not reach every flash cell; see the user guide.";
}

std::string ReportTargetName(const ReportTarget& target) {
  if (target.isDisk) return "disk " + std::to_string(target.diskNumber);
  return "drive " + target.volumeName.substr(0, 1);
}

void ReportRun(RunContext& context, const ReportTarget& target, int methodId, const RunResult& result,
               const std::string& folder) {
  ErasureReport report;
  DescribeSystem(&report);
  report.target = target;
  report.methodId = methodId;
  report.run = result;
  if (!target.isDisk && result.formatted) report.formattedWith = result.formattedWith;
  report.solidStateNotice = SolidStateNotice(target);
  report.logLines = result.logLines;
  SaveErasureReport(context, report, folder);
}
