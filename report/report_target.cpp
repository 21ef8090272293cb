// The target of a run as the report names it: what the tables held before the run changed
// them, and what the disk says of itself.
#include "devices/disk_identity.h"
#include "devices/text_field.h"
#include "devices/inventory.h"
#include "report/erasure_report.h"

#include <utility>

ReportTarget DriveReportTarget(const DriveRecord& record) {
  ReportTarget target;
  target.volumeName = VolumeName(FieldText(record.RootPath));
  target.diskNumber = record.DiskNumber;
  target.identity = DiskIdentity(record.DiskNumber);
  target.sizeBytes = record.Capacity;
  target.sizeText = FieldText(record.CapacityText);
  target.fileSystem = FieldText(record.FileSystem);
  target.label = FieldText(record.Label);
  return target;
}

ReportTarget DiskReportTarget(const DiskRecord& record) {
  ReportTarget target;
  target.isDisk = true;
  target.diskNumber = record.DiskNumber;
  target.identity = DiskIdentity(record.DiskNumber);
  target.sizeBytes = record.Capacity;
  target.sizeText = FieldText(record.CapacityText);
  return target;
}

std::string SolidStateNotice(const ReportTarget& target) {
  if (target.identity.solidState != platform::DeviceAnswer::Yes) return std::string();
  return "Disk " + std::to_string(target.diskNumber) +
         " is a solid-state drive: overwriting may not reach every flash cell; see the user guide.";
}

std::string ReportTargetName(const ReportTarget& target) {
  if (target.isDisk) return "disk " + std::to_string(target.diskNumber);
  return "drive " + target.volumeName.substr(0, 1);
}

void AnnounceSolidState(const ReportTarget& target) {
  const std::string notice = SolidStateNotice(target);
  if (!notice.empty()) LogMessage(notice);
}

namespace {

// The run refreshed the tables; a volume that was formatted shows its new file system there.
std::string FileSystemNow(const std::string& volumeName) {
  for (int i = 0; i < DriveCount; ++i) {
    if (VolumeName(FieldText(DriveTable[i].RootPath)) == volumeName) return FieldText(DriveTable[i].FileSystem);
  }
  return std::string();
}

}  // namespace

void ReportRun(const ReportTarget& target, int methodId, const RunFacts& facts,
               std::vector<std::string> logLines) {
  ErasureReport report;
  DescribeSystem(&report);
  report.target = target;
  report.methodId = methodId;
  report.run = facts;
  if (!target.isDisk && facts.formatted) report.formattedWith = FileSystemNow(target.volumeName);
  report.solidStateNotice = SolidStateNotice(target);
  report.logLines = std::move(logLines);
  SaveErasureReport(report);
}
