// Where the report goes: "Reports" next to the executable, one file per run. A report that
// cannot be written is said in the log and changes nothing else: the wipe is done either way.
#include <vector>

#include "app/log.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "report/erasure_report.h"

void DescribeSystem(ErasureReport* report) {
  report->toolVersion = kVersionText;
  if (!platform::ComputerName(&report->computerName)) report->computerName.clear();
  if (!platform::WindowsVersion(&report->windowsVersion)) report->windowsVersion.clear();
  if (!platform::UserName(&report->userName)) report->userName.clear();
}

std::string ReportsFolder() { return FileNextToExecutable("Reports"); }

bool SaveErasureReport(const ErasureReport& report) {
  const std::string folder = ReportsFolder();
  if (!platform::CreateFolder(folder)) {
    LogMessage("The erasure report could not be saved: the folder " + folder + " cannot be made.");
    return false;
  }
  const std::string path = folder + "\\" + ReportFileName(report.run.started, report.target);
  const std::string html = ComposeReportHtml(report);
  if (!platform::WriteFileBytes(path, std::vector<std::uint8_t>(html.begin(), html.end()))) {
    LogMessage("The erasure report could not be saved: " + path + " cannot be written.");
    return false;
  }
  LogMessage("Report saved: " + path);
  return true;
}
