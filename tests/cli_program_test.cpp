// The console program on the simulated machine: what a call writes, refuses and answers, with
// the console stood in for by strings.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/console.h"
#include "tests/app_machine.h"

namespace {

using app_test::kMiB;

// Nine blocks and a tail: long enough for two runs to take turns several times.
constexpr std::uint64_t kDiskBytes = 8 * kMiB + 4096;

// What a console shows after the text and cursor moves it was given.
struct Screen {
  std::vector<std::string> rows{1};
  std::size_t row = 0;
  std::size_t column = 0;

  void Write(const std::string& text) {
    for (char c : text) {
      if (c == '\r') {
        column = 0;
      } else if (c == '\n') {
        ++row;
        column = 0;
      } else {
        if (row >= rows.size()) rows.resize(row + 1);
        std::string& line = rows[row];
        if (line.size() <= column) line.resize(column + 1, ' ');
        line[column++] = c;
      }
    }
    if (row >= rows.size()) rows.resize(row + 1);
  }
  void Up(int lines) {
    row = row > static_cast<std::size_t>(lines) ? row - static_cast<std::size_t>(lines) : 0;
    column = 0;
  }
  // The rows that hold more than blanks, right ends trimmed.
  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    for (const std::string& line : rows) {
      const std::size_t end = line.find_last_not_of(' ');
      if (end != std::string::npos) shown.push_back(line.substr(0, end + 1));
    }
    return shown;
  }
};

class CliProgramTest : public app_test::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (int n : {3, 4}) {
      sim::Disk disk = app_test::MakeDisk(n, kDiskBytes);
      disk.model = "DUNMERE VIRTUAL DISK";
      disk.serial = "SER" + std::to_string(n);
      machine_.disks.push_back(disk);
    }
    machine_.disks[1].serial = "SER1";
    Load();
    sim::SetDate(2026, 3, 2);
    sim::SetClock(14, 5, 9);
    for (int n : {3, 4}) sim::WriteDisk(n, 0, std::vector<std::uint8_t>(kDiskBytes, 0xAB));
    sim::ClearCalls();
  }

  int Run(const std::vector<std::string>& args) {
    out_.clear();
    err_.clear();
    cli::Console console;
    console.inputIsConsole = !answers_.empty();
    if (screen_ != nullptr) {
      console.outputIsConsole = true;
      console.columns = 80;
      if (screenMovesCursor_) console.lineUp = [this](int lines) { screen_->Up(lines); };
    }
    console.readLine = [this](std::string* line) {
      if (answers_.empty()) return false;
      *line = answers_.front();
      answers_.erase(answers_.begin());
      return true;
    };
    console.out = [this](const std::string& text) {
      out_ += text;
      if (screen_ != nullptr) screen_->Write(text);
    };
    console.err = [this](const std::string& text) { err_ += text; };
    return cli::RunConsoleProgram("dunmere-cli", args, console);
  }

  std::vector<std::string> Reports(const std::string& extension) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(HostPath("Reports"), ec)) {
      if (entry.path().extension() == extension) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static bool Overwritten(int disk) {
    const std::vector<std::uint8_t> bytes = sim::ReadDisk(disk, 0, kDiskBytes);
    return std::count(bytes.begin(), bytes.end(), 0xAB) == 0;
  }

  std::string out_;
  std::string err_;
  std::vector<std::string> answers_;
  Screen* screen_ = nullptr;  // output to a console rather than a pipe
  bool screenMovesCursor_ = true;
};

TEST_F(CliProgramTest, TwoDisksErasedWithTheirReportsASummaryAndACsv) {
  EXPECT_EQ(Run({"wipe", "disk3", "serial=ser4", "--yes", "--field", "Asset=A-17"}), cli::kExitErased) << err_;
  EXPECT_TRUE(Overwritten(3));
  EXPECT_TRUE(Overwritten(4));
  EXPECT_EQ(Reports(".html"), (std::vector<std::string>{"Dunmere 2026-03-02 14-05-09 disk 3.html",
                                                        "Dunmere 2026-03-02 14-05-09 disk 4.html",
                                                        "Dunmere 2026-03-02 14-05-09 summary.html"}));
  EXPECT_EQ(Reports(".json").size(), 2u);
  ASSERT_EQ(Reports(".csv"), std::vector<std::string>{"Dunmere 2026-03-02 14-05-09 summary.csv"});
  const std::vector<std::uint8_t> csv = ReadHostFile("Reports/Dunmere 2026-03-02 14-05-09 summary.csv");
  const std::string text(csv.begin(), csv.end());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
  EXPECT_NE(text.find("\r\ndisk 3,SER3,DUNMERE VIRTUAL DISK,8392704,Standard overwrite (overwrite with zeros) (1 pass),"
                      "completed,"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(",Dunmere 2026-03-02 14-05-09 disk 4.html\r\n"), std::string::npos) << text;
  const std::vector<std::uint8_t> json = ReadHostFile("Reports/Dunmere 2026-03-02 14-05-09 disk 3.json");
  EXPECT_EQ(nlohmann::json::parse(json.begin(), json.end())["fields"][0]["value"], "A-17");
  EXPECT_NE(out_.find("disk3: completed"), std::string::npos) << out_;
  EXPECT_NE(out_.find("disk4: completed"), std::string::npos) << out_;
}

TEST_F(CliProgramTest, JsonLinesEndWithOneSummaryAndReportsGoWhereAsked) {
  EXPECT_EQ(Run({"wipe", "disk3", "disk4", "--yes", "--json", "--report-dir", "C:\\Program Files\\Dunmere\\Proof\\2026"}),
            cli::kExitErased)
      << err_;
  std::vector<nlohmann::json> events;
  std::istringstream lines(out_);
  for (std::string line; std::getline(lines, line);) events.push_back(nlohmann::json::parse(line));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front()["event"], "start");
  const nlohmann::json& summary = events.back();
  EXPECT_EQ(summary["event"], "summary");
  EXPECT_EQ(summary["exitCode"], 0);
  ASSERT_EQ(summary["targets"].size(), 2u);
  EXPECT_EQ(summary["targets"][1]["serial"], "SER4");
  EXPECT_EQ(summary["targets"][1]["outcome"], "completed");
  EXPECT_EQ(summary["csv"], "C:\\Program Files\\Dunmere\\Proof\\2026\\Dunmere 2026-03-02 14-05-09 summary.csv");
  EXPECT_TRUE(Reports(".html").empty());  // not in the default folder
  EXPECT_TRUE(HostFileExists("Proof/2026/Dunmere 2026-03-02 14-05-09 disk 4.json"));
}

TEST_F(CliProgramTest, EveryRefusalComesBeforeAnyWrite) {
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* err;  // a part of standard error
  } cases[] = {
      {{"wipe", "C:", "disk3", "--yes"}, cli::kExitRefused, "Nothing was written."},
      {{"wipe", "disk3", "disk0", "--yes"}, cli::kExitRefused, "Nothing was written."},
      {{"wipe", "disk2", "--yes"}, cli::kExitRefused, "Nothing was written."},
      {{"wipe", "disk3", "disk9", "--yes"}, cli::kExitRefused, "There is no disk 9 (list shows them)."},
      {{"wipe", "Q:", "--yes"}, cli::kExitRefused, "There is no volume Q: to wipe (list shows them)."},
      {{"wipe", "serial=NOPE", "--yes"}, cli::kExitRefused, "No disk reports the serial \"NOPE\""},
      {{"wipe", "disk1", "E:", "--yes"}, cli::kExitRefused, "\"E:\" lies on a disk already named"},
      {{"wipe", "E:", "disk1", "--yes"}, cli::kExitRefused, "\"disk1\" is the disk of a volume already named"},
      {{"wipe", "disk3", "serial=SER3", "--yes"}, cli::kExitRefused, "names a device already named"},
      {{"resume", "disk3", "--yes"}, cli::kExitRefused, "Nothing was written."},
      {{"wipe", "disk3", "--speed", "9"}, cli::kExitUsage, "Unknown option \"--speed\""},
      {{"wipe", "disk3"}, cli::kExitUsage, "Without --yes the targets must be confirmed at a console"},
      {{"wipe", "disk3", "--yes", "--report-dir", "Q:\\Nowhere"}, cli::kExitUsage,
       "The report folder \"Q:\\Nowhere\" cannot be written; nothing was written."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + c.args.back());
    sim::ClearCalls();
    EXPECT_EQ(Run(c.args), c.exitCode);
    EXPECT_NE(err_.find(c.err), std::string::npos) << err_;
    EXPECT_EQ(DeviceWrites(), 0u);
    EXPECT_FALSE(Overwritten(3));
  }
}

TEST_F(CliProgramTest, AtAConsoleOnlyTheNamedWordGoesOn) {
  answers_ = {"yes"};
  EXPECT_EQ(Run({"wipe", "disk3", "disk4"}), cli::kExitRefused);
  EXPECT_NE(err_.find("  disk3  8 MB  DUNMERE VIRTUAL DISK"), std::string::npos) << err_;
  EXPECT_NE(err_.find("Type all to go on"), std::string::npos) << err_;
  EXPECT_EQ(DeviceWrites(), 0u);

  answers_ = {"DISK3\r\n"};
  EXPECT_EQ(Run({"wipe", "disk3"}), cli::kExitErased) << err_;
  EXPECT_TRUE(Overwritten(3));
  EXPECT_FALSE(Overwritten(4));
}

// Both runs go on side by side, taking turns block by block; a Ctrl+C at the fifth write
// cancels both, each leaving its record, and one resume finishes both.
TEST_F(CliProgramTest, TwoRunsAtOnceCancelledTogetherAndResumedTogether) {
  int writes = 0;
  sim::SetWriteHook([&](const sim::Call&) {
    if (++writes == 5) cli::SignalCancel();
  });
  EXPECT_EQ(Run({"wipe", "disk3", "disk4", "--yes"}), cli::kExitCancelled);
  sim::SetWriteHook(nullptr);
  EXPECT_NE(out_.find("disk3: cancelled"), std::string::npos) << out_;
  EXPECT_NE(out_.find("disk4: cancelled"), std::string::npos) << out_;
  EXPECT_FALSE(Overwritten(3));
  EXPECT_FALSE(Overwritten(4));

  EXPECT_EQ(Run({"resume", "disk3", "disk4", "--yes"}), cli::kExitErased) << err_;
  EXPECT_TRUE(Overwritten(3));
  EXPECT_TRUE(Overwritten(4));
}

// The log lines of a text, in order: "disk3  [date time] : text", whatever came before them on
// their line.
std::vector<std::string> LogLines(const std::vector<std::string>& lines) {
  std::vector<std::string> logged;
  for (const std::string& line : lines) {
    const std::size_t start = line.find_last_of('\r');
    const std::string text = start == std::string::npos ? line : line.substr(start + 1);
    if (text.rfind("disk", 0) == 0 && text.find("  [") == 5) logged.push_back(text);
  }
  return logged;
}

// On a console two running disks keep a progress line each under the log, or share one where
// the cursor cannot move; either way no log line is overwritten and no progress is left behind.
TEST_F(CliProgramTest, AConsoleShowsEveryLogLineAndTheRunningTargetsUnderThem) {
  for (const bool movesCursor : {true, false}) {
    SCOPED_TRACE(movesCursor ? "a line per target" : "one shared line");
    for (int n : {3, 4}) sim::WriteDisk(n, 0, std::vector<std::uint8_t>(kDiskBytes, 0xAB));
    Screen screen;
    const std::string prompt = "C:\\>dunmere-cli wipe disk3 disk4 --yes --no-verify";
    screen.Write(prompt + "\n");
    screen_ = &screen;
    screenMovesCursor_ = movesCursor;
    std::vector<std::string> midRun;
    int writes = 0;
    sim::SetWriteHook([&](const sim::Call& call) {
      if (call.bytes != kMiB) return;
      // A block every 300 ms: the progress is redrawn between the log lines, not only with them.
      sim::AdvanceClock(300);
      if (++writes == 8) midRun = screen.rows;
    });
    EXPECT_EQ(Run({"wipe", "disk3", "disk4", "--yes", "--no-verify"}), cli::kExitErased) << err_;
    sim::SetWriteHook(nullptr);
    screen_ = nullptr;

    if (movesCursor) {
      // The cursor stands on the empty row after the two progress lines.
      ASSERT_GE(midRun.size(), 3u) << out_;
      const std::string& disk3 = midRun[midRun.size() - 3];
      const std::string& disk4 = midRun[midRun.size() - 2];
      EXPECT_EQ(disk3.rfind("disk3   pass 1 of 1", 0), 0u) << disk3;
      EXPECT_EQ(disk4.rfind("disk4   pass 1 of 1", 0), 0u) << disk4;
    } else {
      // The cursor stands on the shared line.
      const std::string& shared = midRun.back();
      EXPECT_NE(shared.find("disk3 1/1"), std::string::npos) << shared;
      EXPECT_NE(shared.find(" | disk4 1/1"), std::string::npos) << shared;
    }

    std::istringstream text(out_);
    std::vector<std::string> written;
    for (std::string line; std::getline(text, line);) written.push_back(line);
    const std::vector<std::string> logged = LogLines(written);
    ASSERT_GT(logged.size(), 4u) << out_;
    const std::vector<std::string> shown = screen.Shown();
    EXPECT_EQ(shown.front(), prompt);
    EXPECT_EQ(LogLines(shown), logged);
    for (const std::string& line : shown) {
      EXPECT_EQ(line.find(" of 1 "), std::string::npos) << "progress left on the screen: " << line;
    }
    for (const char* result : {"disk3: completed", "disk4: completed"}) {
      EXPECT_EQ(std::count_if(shown.begin(), shown.end(),
                              [&](const std::string& line) { return line.rfind(result, 0) == 0; }),
                1)
          << result;
    }
  }
}

// The disk of each whole block written, in order, by one call over both disks.
TEST_F(CliProgramTest, TogetherBlockByBlockOrOneAfterTheOtherWithParallelOne) {
  for (const char* parallel : {"2", "1"}) {
    SCOPED_TRACE(parallel);
    std::vector<std::string> order;
    sim::SetWriteHook([&](const sim::Call& call) {
      if (call.bytes == kMiB) order.push_back(call.path);
    });
    EXPECT_EQ(Run({"wipe", "disk3", "disk4", "--yes", "--parallel", parallel}), cli::kExitErased) << err_;
    sim::SetWriteHook(nullptr);
    ASSERT_EQ(order.size(), 16u);  // eight whole blocks each
    const bool oneAfterTheOther = std::is_partitioned(
        order.begin(), order.end(), [&](const std::string& path) { return path == order.front(); });
    EXPECT_EQ(oneAfterTheOther, std::string(parallel) == "1") << ::testing::PrintToString(order) << out_;
  }
}

// What a call showed of each target with --json: its log lines without their time, its
// verification and its result.
struct TargetEnd {
  std::vector<std::string> lines;
  std::string verification;
  std::string outcome;
  std::string reason;
  bool operator==(const TargetEnd& other) const {
    return lines == other.lines && verification == other.verification && outcome == other.outcome &&
           reason == other.reason;
  }
};

std::map<std::string, TargetEnd> TargetEnds(const std::string& out) {
  std::map<std::string, TargetEnd> ends;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json event = nlohmann::json::parse(line);
    // The summary names no single target.
    if (!event.contains("target") || !event["target"].is_string()) continue;
    TargetEnd& end = ends[event["target"].get<std::string>()];
    if (event["event"] == "log") {
      const std::string text = event["line"];
      const std::size_t stamp = text.find("] : ");
      // The report's path names the time the run started, which the order of the runs moves.
      if (text.find("Report saved: ") == std::string::npos) end.lines.push_back(text.substr(stamp + 4));
    } else if (event["event"] == "verification") {
      end.verification = event["method"].get<std::string>() + ": " + event["result"].get<std::string>();
    } else if (event["event"] == "result") {
      end.outcome = event["outcome"];
      end.reason = event["reason"].is_string() ? event["reason"].get<std::string>() : "";
    }
  }
  return ends;
}

// Disk 3 fails every write from its third on, while disk 4 is written beside it: disk 4 is
// still erased and verified, the call ends with exit code 1, and each target logs, verifies and
// ends the same whether the two run at once or one after the other.
TEST_F(CliProgramTest, AFailingDiskStopsNotTheOtherAtOnceOrOneAfterTheOther) {
  std::map<std::string, std::map<std::string, TargetEnd>> endsBy;
  for (const char* parallel : {"2", "1"}) {
    SCOPED_TRACE(parallel);
    for (int n : {3, 4}) sim::WriteDisk(n, 0, std::vector<std::uint8_t>(kDiskBytes, 0xAB));
    int disk3Writes = 0;
    int disk4Writes = 0;
    int disk4WritesAtFirstFailure = -1;
    sim::SetFaultHook([&](const sim::Call& call) {
      if (call.op != sim::Op::Write) return false;
      if (call.path == "\\\\.\\physicaldrive4") ++disk4Writes;
      if (call.path != "\\\\.\\physicaldrive3" || ++disk3Writes <= 2) return false;
      if (disk4WritesAtFirstFailure < 0) disk4WritesAtFirstFailure = disk4Writes;
      return true;
    });
    EXPECT_EQ(Run({"wipe", "disk3", "disk4", "--yes", "--json", "--parallel", parallel}), cli::kExitFailed) << err_;
    sim::SetFaultHook(nullptr);
    // Disk 4 had begun before disk 3 failed, and went on after it; with one at a time, disk 3
    // (named first) failed before disk 4 began.
    EXPECT_EQ(disk4WritesAtFirstFailure > 0, std::string(parallel) == "2") << disk4WritesAtFirstFailure;
    EXPECT_GT(disk4Writes, disk4WritesAtFirstFailure);
    EXPECT_TRUE(Overwritten(4));
    endsBy[parallel] = TargetEnds(out_);
    const std::map<std::string, TargetEnd>& ends = endsBy[parallel];
    ASSERT_EQ(ends.count("disk3"), 1u) << out_;
    ASSERT_EQ(ends.count("disk4"), 1u) << out_;
    EXPECT_EQ(ends.at("disk3").outcome, "failed") << out_;
    EXPECT_EQ(ends.at("disk4").outcome, "completed") << out_;
    EXPECT_NE(ends.at("disk4").verification.find("MB read back as written"), std::string::npos) << ends.at("disk4").verification;
  }
  EXPECT_TRUE(endsBy["1"] == endsBy["2"]) << out_;
}

TEST_F(CliProgramTest, ListNamesEveryVolumeAndDiskAndWhatIsRefused) {
  EXPECT_EQ(Run({"list", "--json"}), cli::kExitErased);
  const nlohmann::json list = nlohmann::json::parse(out_);
  ASSERT_EQ(list["volumes"].size(), 3u);
  EXPECT_EQ(list["volumes"][0]["target"], "C:");
  EXPECT_EQ(list["volumes"][0]["system"], true);
  EXPECT_EQ(list["volumes"][1]["target"], "E:");
  EXPECT_EQ(list["volumes"][1]["disk"], 1);
  EXPECT_EQ(list["volumes"][1]["serial"], "SER1");
  ASSERT_EQ(list["disks"].size(), 5u);
  EXPECT_EQ(list["disks"][0]["system"], true);
  EXPECT_EQ(list["disks"][3]["target"], "disk3");
  EXPECT_EQ(list["disks"][3]["serial"], "SER3");
  EXPECT_EQ(list["disks"][3]["system"], false);

  EXPECT_EQ(Run({"list"}), cli::kExitErased);
  EXPECT_NE(out_.find("\ndisk3   8 MB"), std::string::npos) << out_;
  EXPECT_NE(out_.find("system (refused)"), std::string::npos) << out_;
  EXPECT_EQ(DeviceWrites(), 0u);
}

// The disk's own sanitize by number or by name, through the same refusals and run as the windows.
TEST_F(CliProgramTest, MethodFiveSanitizesAnNvmeDiskAndIsRefusedElsewhere) {
  machine_.disks.back().bus = "NVMe";
  machine_.disks.back().sanitize = {"crypto"};
  machine_.disks.back().sanitizeSeconds = 4;
  Load();
  std::vector<std::uint8_t> pattern(2 * kMiB + 4096);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i % 251);
  sim::WriteDisk(4, 0, pattern);
  sim::ClearCalls();
  const struct {
    std::vector<std::string> args;
    const char* line;
  } refusals[] = {
      {{"wipe", "E:", "--method", "5", "--yes"},
       "Device sanitize erases a whole disk: choose the disk on the \"Wipe disk\" page."},
      {{"wipe", "disk3", "--method", "sanitize", "--yes"},
       "Disk 3 is not an NVMe disk: Windows passes a disk's own sanitize only to NVMe disks (a SATA disk needs its "
       "maker's tool or WinPE). Choose an overwrite method."},
  };
  for (const auto& refusal : refusals) {
    EXPECT_EQ(Run(refusal.args), cli::kExitRefused) << refusal.args[1];
    EXPECT_EQ(headless::LogTexts().back(), refusal.line);
  }
  EXPECT_EQ(DeviceWrites(), 0u);
  EXPECT_TRUE(sim::CallsOf(sim::Op::Sanitize).empty());

  EXPECT_EQ(Run({"wipe", "disk4", "--method=Device sanitize", "--yes"}), cli::kExitErased) << err_;
  EXPECT_NE(out_.find("Disk 4 sanitized by its own crypto erase."), std::string::npos) << out_;
  EXPECT_NE(out_.find("disk4: completed; verification samples read before and after"), std::string::npos) << out_;
  EXPECT_NE(out_.find("none holds its former content"), std::string::npos) << out_;
  EXPECT_NE(sim::ReadDisk(4, 0, kMiB), std::vector<std::uint8_t>(pattern.begin(), pattern.begin() + kMiB));
  EXPECT_EQ(sim::CallsOf(sim::Op::Sanitize).size(), 1u);
  EXPECT_TRUE(sim::CallsOf(sim::Op::Write, "\\\\.\\physicaldrive4").empty());
}

}  // namespace
