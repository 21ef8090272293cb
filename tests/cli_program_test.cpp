// The console program on the simulated machine: what a call writes, refuses and answers, with
// the console stood in for by strings.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/console.h"
#include "tests/app_machine.h"

namespace {

using app_test::kMiB;

class CliProgramTest : public app_test::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (int n : {3, 4}) {
      sim::Disk disk = app_test::MakeDisk(n, 2 * kMiB + 4096);
      disk.model = "DUNMERE VIRTUAL DISK";
      disk.serial = "SER" + std::to_string(n);
      machine_.disks.push_back(disk);
    }
    machine_.disks[1].serial = "SER1";
    Load();
    sim::SetDate(2026, 3, 2);
    sim::SetClock(14, 5, 9);
    for (int n : {3, 4}) sim::WriteDisk(n, 0, std::vector<std::uint8_t>(2 * kMiB + 4096, 0xAB));
    sim::ClearCalls();
  }

  int Run(const std::vector<std::string>& args) {
    out_.clear();
    err_.clear();
    cli::Console console;
    console.inputIsConsole = !answers_.empty();
    console.readLine = [this](std::string* line) {
      if (answers_.empty()) return false;
      *line = answers_.front();
      answers_.erase(answers_.begin());
      return true;
    };
    console.out = [this](const std::string& text) { out_ += text; };
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
    const std::vector<std::uint8_t> bytes = sim::ReadDisk(disk, 0, 2 * kMiB + 4096);
    return std::count(bytes.begin(), bytes.end(), 0xAB) == 0;
  }

  std::string out_;
  std::string err_;
  std::vector<std::string> answers_;
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
  EXPECT_NE(text.find("\r\ndisk 3,SER3,DUNMERE VIRTUAL DISK,2101248,Standard overwrite (overwrite with zeros) (1 pass),"
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
  EXPECT_NE(err_.find("  disk3  2 MB  DUNMERE VIRTUAL DISK"), std::string::npos) << err_;
  EXPECT_NE(err_.find("Type all to go on"), std::string::npos) << err_;
  EXPECT_EQ(DeviceWrites(), 0u);

  answers_ = {"DISK3\r\n"};
  EXPECT_EQ(Run({"wipe", "disk3"}), cli::kExitErased) << err_;
  EXPECT_TRUE(Overwritten(3));
  EXPECT_FALSE(Overwritten(4));
}

TEST_F(CliProgramTest, ACancelLeavesRecordsThatResumeFinishes) {
  headless::SetPumpHook([](long pump) {
    if (pump == 3) {
      cli::SignalCancel();
      CancelRequested = true;  // what the console's pump makes of it
    }
  });
  EXPECT_EQ(Run({"wipe", "disk3", "disk4", "--yes"}), cli::kExitCancelled);
  headless::SetPumpHook(nullptr);
  EXPECT_NE(out_.find("disk3: cancelled"), std::string::npos) << out_;
  EXPECT_NE(out_.find("disk4: cancelled"), std::string::npos) << out_;
  EXPECT_FALSE(Overwritten(4));  // never started

  EXPECT_EQ(Run({"resume", "disk3", "--yes"}), cli::kExitErased) << err_;
  EXPECT_TRUE(Overwritten(3));
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
  EXPECT_NE(out_.find("\ndisk3   2 MB"), std::string::npos) << out_;
  EXPECT_NE(out_.find("system (refused)"), std::string::npos) << out_;
  EXPECT_EQ(DeviceWrites(), 0u);
}

}  // namespace
