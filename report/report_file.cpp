// Where the report goes: "Reports" next to the executable, one file per run. A report that
// cannot be written is said in the log and changes nothing else: the wipe is done either way.
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/system_text.h"
#include "platform/time_zone.h"
#include "report/erasure_report.h"
#include "report/machine_readable.h"
#include "report/tool_version.h"

namespace {

// The console program may name another folder; the windows never do.
std::mutex folderMutex;
std::string chosenFolder;
std::vector<std::pair<std::string, std::string>> chosenFields;
ReportCollector collector;

bool WriteText(const std::string& path, const std::string& text) {
  return platform::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// "UTC+01:00 (W. Europe Standard Time)".
std::string TimeZoneText() {
  int minutes = 0;
  std::string name;
  if (!platform::LocalTimeZone(&minutes, &name)) return std::string();
  char offset[16];
  const int magnitude = minutes < 0 ? -minutes : minutes;
  std::snprintf(offset, sizeof offset, "UTC%c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  return name.empty() ? offset : std::string(offset) + " (" + name + ")";
}

}  // namespace

void ChooseReportsFolder(const std::string& folder) {
  const std::lock_guard<std::mutex> lock(folderMutex);
  chosenFolder = folder;
}

void ChooseReportFields(const std::vector<std::pair<std::string, std::string>>& fields) {
  const std::lock_guard<std::mutex> lock(folderMutex);
  chosenFields = fields;
}

void CollectReports(ReportCollector newCollector) {
  const std::lock_guard<std::mutex> lock(folderMutex);
  collector = std::move(newCollector);
}

void DescribeSystem(ErasureReport* report) {
  report->toolVersion = kVersionText;
  // The ANSI calls answer in the system code page; the report is UTF-8.
  if (!platform::ComputerName(&report->computerName)) report->computerName.clear();
  report->computerName = platform::Utf8FromSystemText(report->computerName);
  if (!platform::WindowsVersion(&report->windowsVersion)) report->windowsVersion.clear();
  if (!platform::UserName(&report->userName)) report->userName.clear();
  report->userName = platform::Utf8FromSystemText(report->userName);
  report->timeZone = TimeZoneText();
  const std::lock_guard<std::mutex> lock(folderMutex);
  report->userFields.clear();
  for (const auto& field : chosenFields) {
    report->userFields.emplace_back(platform::Utf8FromSystemText(field.first), platform::Utf8FromSystemText(field.second));
  }
}

std::string ReportsFolder() {
  {
    const std::lock_guard<std::mutex> lock(folderMutex);
    if (!chosenFolder.empty()) return chosenFolder;
  }
  return platform::FileNextToExecutable("Reports");
}

bool SaveErasureReport(RunContext& context, const ErasureReport& report, const std::string& folder) {
  if (!platform::CreateFolder(folder)) {
    context.Log("The erasure report could not be saved: the folder " + folder + " cannot be made.");
    return false;
  }
  const std::string fileName = ReportFileName(report.run.started, report.target);
  const std::string path = folder + "\\" + fileName;
  ReportCollector collect;
  {
    const std::lock_guard<std::mutex> lock(folderMutex);
    collect = collector;
  }
  if (!WriteText(path, ComposeReportHtml(report))) {
    context.Log("The erasure report could not be saved: " + path + " cannot be written.");
    if (collect) collect(report, std::string());
    return false;
  }
  context.Log("Report saved: " + path);
  const std::string jsonPath = folder + "\\" + ReportJsonFileName(fileName);
  const bool jsonSaved = WriteText(jsonPath, ComposeReportJson(report));
  if (!jsonSaved) context.Log("The erasure report could not be saved: " + jsonPath + " cannot be written.");
  if (collect) collect(report, fileName);
  return jsonSaved;
}
