// The summary of a call over several targets: one page with every target, one CSV line each,
// and the JSON of a report whose texts came from devices.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "report/machine_readable.h"

namespace {

platform::LocalTime At(int hour, int minute, int second) {
  platform::LocalTime t;
  t.year = 2026;
  t.month = 3;
  t.day = 2;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return t;
}

SummaryEntry Entry(bool isDisk, int number, const std::string& serial, RunOutcome outcome, const std::string& file) {
  SummaryEntry entry;
  ErasureReport& report = entry.report;
  report.computerName = "SIMULATED-PC";
  report.userFields = {{"Asset", "A-17"}};
  report.target.isDisk = isDisk;
  report.target.diskNumber = number;
  report.target.volumeName = isDisk ? "" : "E:";
  report.target.identity.product = "DUNMERE VIRTUAL DISK";
  report.target.identity.serial = serial;
  report.target.sizeBytes = 16777216;
  report.target.sizeText = "16 MB";
  report.methodId = 4;
  report.run.started = At(14, 5, 9);
  report.run.ended = At(14, 6, 0);
  report.run.outcome = outcome;
  report.run.verification.method = "read back";
  report.run.verification.result = "16 MB read back as written";
  if (outcome == RunOutcome::Failed) report.run.failureReason = "more than 10 consecutive blocks failed";
  entry.reportFile = file;
  return entry;
}

TEST(RunSummary, NamesItsFilesByTheTimeOfTheCall) {
  EXPECT_EQ(SummaryFileName(At(9, 5, 7)), "Dunmere 2026-03-02 09-05-07 summary.html");
  EXPECT_EQ(SummaryCsvFileName(At(9, 5, 7)), "Dunmere 2026-03-02 09-05-07 summary.csv");
  EXPECT_EQ(ReportJsonFileName("Dunmere 2026-03-02 09-05-07 disk 1.html"), "Dunmere 2026-03-02 09-05-07 disk 1.json");
}

TEST(RunSummary, CsvHasAHeaderAndOneQuotedLinePerTarget) {
  const std::vector<SummaryEntry> entries = {
      Entry(true, 1, "DM0001", RunOutcome::Succeeded, "Dunmere 2026-03-02 14-05-09 disk 1.html"),
      Entry(false, 2, "S,1\"2", RunOutcome::Failed, ""),
      Entry(true, 3, "", RunOutcome::Cancelled, "Dunmere 2026-03-02 14-05-09 disk 3.html"),
  };
  EXPECT_EQ(ComposeSummaryCsv(entries),
            "target,serial,model,size_bytes,method,result,verification,started,ended,report\r\n"
            "disk 1,DM0001,DUNMERE VIRTUAL DISK,16777216,Russian GOST P50739-95 (2 passes),completed,"
            "read back: 16 MB read back as written,2026-03-02T14:05:09,2026-03-02T14:06:00,"
            "Dunmere 2026-03-02 14-05-09 disk 1.html\r\n"
            "drive E,\"S,1\"\"2\",DUNMERE VIRTUAL DISK,16777216,Russian GOST P50739-95 (2 passes),"
            "failed: more than 10 consecutive blocks failed,read back: 16 MB read back as written,"
            "2026-03-02T14:05:09,2026-03-02T14:06:00,\r\n"
            "disk 3,,DUNMERE VIRTUAL DISK,16777216,Russian GOST P50739-95 (2 passes),cancelled,"
            "read back: 16 MB read back as written,2026-03-02T14:05:09,2026-03-02T14:06:00,"
            "Dunmere 2026-03-02 14-05-09 disk 3.html\r\n");
  EXPECT_EQ(ComposeSummaryCsv({}), "target,serial,model,size_bytes,method,result,verification,started,ended,report\r\n");
}

TEST(RunSummary, PageListsEveryTargetEscaped) {
  std::vector<SummaryEntry> entries = {Entry(true, 1, "DM0001", RunOutcome::Succeeded, "a.html"),
                                       Entry(true, 2, "<b>&", RunOutcome::Failed, "")};
  const std::string html = ComposeSummaryHtml(At(14, 5, 9), entries);
  EXPECT_NE(html.find("Computer: SIMULATED-PC"), std::string::npos);
  EXPECT_NE(html.find("2 targets"), std::string::npos);
  EXPECT_NE(html.find("Asset: A-17"), std::string::npos);
  EXPECT_NE(html.find("<td>disk 1</td><td>DUNMERE VIRTUAL DISK</td><td>DM0001</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>&lt;b&gt;&amp;</td>"), std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("failed: more than 10 consecutive blocks failed"), std::string::npos);
}

TEST(RunSummary, JsonOfAReportKeepsUnknownsAsNullAndSurvivesBytesThatAreNotUtf8) {
  SummaryEntry entry = Entry(true, 1, "", RunOutcome::Failed, "");
  entry.report.target.identity.product = "";
  entry.report.logLines = {"label \xFF\xFE", "plain"};
  const nlohmann::json json = nlohmann::json::parse(ComposeReportJson(entry.report), nullptr, false);
  ASSERT_FALSE(json.is_discarded());
  EXPECT_EQ(json["target"]["serial"], nullptr);
  EXPECT_EQ(json["target"]["model"], nullptr);
  EXPECT_EQ(json["target"]["solidState"], nullptr);
  EXPECT_EQ(json["result"]["outcome"], "failed");
  EXPECT_EQ(json["result"]["reason"], "more than 10 consecutive blocks failed");
  EXPECT_EQ(json["fields"][0]["name"], "Asset");
  EXPECT_EQ(json["fields"][0]["value"], "A-17");
  EXPECT_EQ(json["log"][0], "label \xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(json["log"][1], "plain");
}

}  // namespace
