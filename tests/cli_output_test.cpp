// The console program's lines, as pure functions of what a run shows.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "cli/output.h"

namespace {

TEST(CliOutput, ProgressLineForEachPhaseOfARun) {
  const struct {
    const char* caption;
    const char* line;
  } cases[] = {
      {"  Wiping drive E: with US Army AR380-19, performing overwrite 2 of 3",
       "E:      pass 2 of 3   45%  12.5 MB/S  0h1m2s left"},
      {" Wiping disk1 with Standard overwrite, performing overwrite 1 of 1",
       "E:      pass 1 of 1   45%  12.5 MB/S  0h1m2s left"},
      {"  Verifying drive E: . . .", "E:      verifying      45%"},
      {"  Formatting drive . . .", "E:      formatting"},
      {" Wiping .  .  .", "E:      Wiping .  .  ."},
      {"performing overwrite 3 of 2", "E:      performing overwrite 3 of 2"},  // no such pass
  };
  for (const auto& c : cases) {
    cli::ProgressState state;
    state.target = "E:";
    state.caption = c.caption;
    state.percent = 45;
    state.speed = "12.5 MB/S";
    state.timeLeft = "0h1m2s";
    EXPECT_EQ(cli::ProgressLine(state), c.line) << c.caption;
  }
  cli::ProgressState state;
  state.target = "disk1";
  state.percent = 7;
  const struct {
    const char* caption;
    const char* part;
  } parts[] = {{" Wiping disk1 with X, performing overwrite 2 of 3", "disk1 2/3 7%"},
               {"  Verifying disk1 . . .", "disk1 verify 7%"},
               {"  Formatting drive . . .", "disk1 format"},
               {"", "disk1"}};
  for (const auto& c : parts) {
    state.caption = c.caption;
    EXPECT_EQ(cli::ShortProgress(state), c.part) << c.caption;
  }
}

TEST(CliOutput, EventsAreOneJsonObjectPerLine) {
  cli::ProgressState state;
  state.target = "disk1";
  state.caption = " Wiping disk1 with X, performing overwrite 2 of 7";
  state.percent = 9;
  const nlohmann::json progress = nlohmann::json::parse(cli::ProgressEvent(state));
  EXPECT_EQ(progress["event"], "progress");
  EXPECT_EQ(progress["pass"], 2);
  EXPECT_EQ(progress["passes"], 7);
  EXPECT_EQ(progress["percent"], 9);
  const std::string log = cli::LogEvent("disk1", "line with \"quotes\"\nand a line end \xFF");
  EXPECT_EQ(log.find('\n'), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(log)["line"], "line with \"quotes\"\nand a line end \xEF\xBF\xBD");
}

TEST(CliOutput, ResultLineSaysWhyAndWhereTheReportIs) {
  SummaryEntry entry;
  entry.report.run.outcome = RunOutcome::Failed;
  entry.report.run.failureReason = "the disk could not be opened";
  EXPECT_EQ(cli::ResultLine("disk1", entry), "disk1: failed (the disk could not be opened)");
  entry.report.run.outcome = RunOutcome::Succeeded;
  entry.report.run.startedWriting = true;
  entry.report.run.verification.method = "read back";
  entry.report.run.verification.result = "4 MB read back as written";
  entry.reportFile = "r.html";
  EXPECT_EQ(cli::ResultLine("E:", entry), "E: completed; verification read back: 4 MB read back as written; report r.html");
}

TEST(CliOutput, ListMarksTheSystemAndWhatCanBeResumed) {
  cli::ListRow c;
  c.name = "C:";
  c.sizeText = "255 MB";
  c.fileSystem = "NTFS";
  c.label = "System";
  c.diskNumber = 0;
  c.system = true;
  cli::ListRow disk;
  disk.isDisk = true;
  disk.name = "disk1";
  disk.sizeText = "192 MB";
  disk.label = "Incomplete wipe, resumable.";
  disk.serial = "S1";
  disk.solidState = "no";
  disk.resumable = true;
  const std::string text = cli::ListText({c, disk});
  EXPECT_NE(text.find("\nC:      255 MB      NTFS         System"), std::string::npos) << text;
  EXPECT_NE(text.find("system (refused)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("S1              "), std::string::npos) << text;
  EXPECT_NE(text.find("no   resumable\n"), std::string::npos) << text;
  const nlohmann::json json = nlohmann::json::parse(cli::ListJson({c, disk}));
  EXPECT_EQ(json["volumes"][0]["system"], true);
  EXPECT_EQ(json["volumes"][0]["solidState"], nullptr);
  EXPECT_EQ(json["disks"][0]["resumable"], true);
  EXPECT_EQ(json["disks"][0]["solidState"], false);
}

}  // namespace
