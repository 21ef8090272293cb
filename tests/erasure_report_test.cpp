// The erasure report of whole commands: a run that completed, was cancelled or failed leaves
// one page in "Reports" next to the executable, read back here as its fields (label and value)
// rather than its layout; texts from devices arrive escaped; a report that cannot be written
// changes nothing of the run. Also the solid-state notice before the first question.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstring>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/handlers.h"
#include "report/erasure_report.h"
#include "tests/app_machine.h"
#include "wipe/methods.h"

namespace {

using app_test::AppTest;
using app_test::kMiB;

const char* const kSolidStateNotice =
    "Disk 1 is a solid-state drive: overwriting may not reach every flash cell; see the user guide.";

std::string Unescaped(std::string text) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities) {
    for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::strlen(entity), plain);
    }
  }
  return text;
}

std::string WithoutTags(const std::string& html) { return std::regex_replace(html, std::regex("<[^>]*>"), " "); }

// One report read back: its fields by label, its log and its raw text.
struct ReadReport {
  std::string html;
  std::map<std::string, std::string> fields;  // "Method" -> the value, tags stripped, unescaped
  std::vector<std::string> logLines;

  explicit ReadReport(std::string text) : html(std::move(text)) {
    const std::regex row("<tr><th>([^<]*)</th><td>(.*?)</td></tr>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), row); it != std::sregex_iterator(); ++it) {
      std::string value = WithoutTags((*it)[2].str());
      value = std::regex_replace(value, std::regex(" +"), " ");
      value = std::regex_replace(value, std::regex("^ | $"), "");
      fields[Unescaped((*it)[1].str())] = Unescaped(value);
    }
    std::smatch log;
    if (std::regex_search(html, log, std::regex("<pre>([^]*?)</pre>"))) {
      std::string lines = log[1].str();
      for (std::size_t start = 0, end = 0; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
        logLines.push_back(Unescaped(lines.substr(start, end - start)));
      }
    }
  }
  std::string Field(const std::string& label) const {
    auto found = fields.find(label);
    return found == fields.end() ? "(no field " + label + ")" : found->second;
  }
  bool Logged(const std::string& ending) const {
    for (const std::string& line : logLines) {
      if (line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0) return true;
    }
    return false;
  }
};

class ErasureReportTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    machine_.formatPolls = 1;
    machine_.disks[1].model = "DUNMERE VIRTUAL DISK 16";
    machine_.disks[1].serial = " DM0016 ";
    machine_.disks[1].bus = "SATA";
    machine_.disks[1].solidState = platform::DeviceAnswer::Yes;
    machine_.volumes[1].label = "Data";
    sim::SetDate(2026, 3, 2);
  }

  void Choose(int page, const std::string& caption) {
    Start();
    sim::SetDate(2026, 3, 2);
    sim::SetClock(14, 5, 9);
    ui::ShowMainWindow();
    headless::SetActivePage(page);
    Check(page == ui::kPageWipeDrive ? ui::List::Drive : ui::List::Disk, caption);
  }

  // The report pages; each has its .json beside it.
  std::vector<std::string> ReportFiles(const std::string& extension = ".html") const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(HostPath("Reports"), ec)) {
      if (entry.path().extension() == extension) names.push_back(entry.path().filename().string());
    }
    return names;
  }

  ReadReport OnlyReport() const {
    const std::vector<std::string> names = ReportFiles();
    EXPECT_EQ(names.size(), 1u);
    if (names.empty()) return ReadReport("");
    std::ifstream in(HostPath("Reports/" + names[0]), std::ios::binary);
    return ReadReport(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }

  nlohmann::json OnlyJson() const {
    const std::vector<std::string> names = ReportFiles(".json");
    EXPECT_EQ(names.size(), 1u);
    if (names.empty()) return nlohmann::json();
    std::ifstream in(HostPath("Reports/" + names[0]), std::ios::binary);
    return nlohmann::json::parse(in, nullptr, false);
  }

  static bool Logged(const std::string& text) {
    for (const std::string& line : headless::LogTexts()) {
      if (line == text) return true;
    }
    return false;
  }
};

TEST_F(ErasureReportTest, CompletedDriveWipeNamesToolTargetMethodTimesAndResult) {
  Choose(ui::kPageWipeDrive, "E:\\");
  headless::SetMethodIndex(1);
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

  app::WipeItNowClicked();

  EXPECT_EQ(ReportFiles(), std::vector<std::string>{"Dunmere 2026-03-02 14-05-09 drive E.html"});
  EXPECT_TRUE(Logged("Report saved: C:\\Program Files\\Dunmere\\Reports\\Dunmere 2026-03-02 14-05-09 drive E.html"));
  EXPECT_EQ(sim::SoundsPlayed().back(), "finish.wav");

  const ReadReport report = OnlyReport();
  EXPECT_EQ(report.Field("Tool"), "Dunmere 1.0.0");
  EXPECT_EQ(report.Field("Computer"), "SIMULATED-PC");
  EXPECT_EQ(report.Field("Windows"), "Windows 10.0 (build 19045)");
  EXPECT_EQ(report.Field("User"), "Operator");
  EXPECT_EQ(report.Field("Target"), "drive E:");
  EXPECT_EQ(report.Field("On disk"), "1");
  EXPECT_EQ(report.Field("Model"), "DUNMERE VIRTUAL DISK 16");
  EXPECT_EQ(report.Field("Serial number"), "DM0016");
  EXPECT_EQ(report.Field("Bus"), "SATA");
  EXPECT_EQ(report.Field("Solid-state"), "yes");
  EXPECT_EQ(report.Field("Former file system"), "NTFS");
  EXPECT_EQ(report.Field("Former label"), "Data");
  EXPECT_EQ(report.Field("Method"), WipeMethods[1].boxText);
  EXPECT_EQ(report.Field("Passes"), "zeros (0x00) ones (0xFF) random data");
  EXPECT_EQ(report.Field("Resumed"), "no");
  EXPECT_EQ(report.Field("Bytes per pass"), "3,149,824");  // 3 MiB and a tail of 4 KiB
  EXPECT_EQ(report.Field("Started").rfind("2026-03-02 14:05:", 0), 0u) << report.Field("Started");
  EXPECT_EQ(report.Field("Ended").rfind("2026-03-02 14:05:", 0), 0u) << report.Field("Ended");
  for (const char* pass : {"Pass 1", "Pass 2", "Pass 3"}) EXPECT_NE(report.Field(pass).find("3.0 MB"), std::string::npos) << pass;
  EXPECT_EQ(report.Field("Result"), "completed");
  EXPECT_EQ(report.Field("Not overwritten"), "none");
  // Its last pass is random data (AR380-19): read back against the data regenerated from its
  // seeds, 3 MiB and the tail.
  EXPECT_EQ(report.Field("Verification"),
            "read back, compared with the random data regenerated from its seeds: 4 MB read back as written");
  EXPECT_EQ(report.Field("Formatted"), "yes, NTFS");
  EXPECT_EQ(report.Field("Notice"), kSolidStateNotice);
  EXPECT_TRUE(report.Logged("Drive E: wiped successfully."));
  EXPECT_TRUE(report.Logged("Successfully formatted the drive."));
  for (const char* line : {"Erased by", "Verified by", "Signature", "Date"}) {
    EXPECT_NE(report.html.find(std::string("<th>") + line + "</th><td></td>"), std::string::npos) << line;
  }
  // Self-contained: nothing to run and nothing fetched.
  EXPECT_EQ(report.html.find("<script"), std::string::npos);
  EXPECT_EQ(report.html.find("http"), std::string::npos);
  EXPECT_EQ(report.html.find("src="), std::string::npos);
}

TEST_F(ErasureReportTest, CancelledDiskWipeSaysSoAndWhereAResumeWouldGoOn) {
  machine_.disks[1].solidState = platform::DeviceAnswer::No;
  Choose(ui::kPageWipeDisk, "Disk1");
  headless::SetMethodIndex(2);
  headless::SetPumpHook([](long pump) {
    if (pump == 20) CancelRequested = true;
  });
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

  app::WipeItNowClicked();

  EXPECT_EQ(ReportFiles(), std::vector<std::string>{"Dunmere 2026-03-02 14-05-09 disk 1.html"});
  const ReadReport report = OnlyReport();
  EXPECT_EQ(report.Field("Target"), "disk 1 (whole disk)");
  EXPECT_EQ(report.Field("Size"), "16,777,216 bytes (16 MB)");
  EXPECT_EQ(report.Field("Solid-state"), "no");
  EXPECT_EQ(report.fields.count("Notice"), 0u);
  EXPECT_EQ(report.Field("Result"), "cancelled by the user");
  EXPECT_EQ(report.Field("Formatted"), "not applicable (whole disk)");
  EXPECT_NE(report.Field("Pass 1 (not finished)").find(" MB"), std::string::npos);
  EXPECT_EQ(report.fields.count("Pass 2"), 0u);
  EXPECT_TRUE(report.Logged("User canceled."));
  for (const std::string& line : headless::LogTexts()) EXPECT_EQ(line.find("solid-state"), std::string::npos) << line;

  // Resumed from the record it left: the second report says where the run went on.
  headless::SetPumpHook(nullptr);
  std::filesystem::remove_all(HostPath("Reports"));
  sim::SetClock(15, 0, 0);
  Check(ui::List::Disk, "Disk1");
  headless::QueueAnswers({ui::kDialogYes});
  app::ResumeClicked();

  const ReadReport resumed = OnlyReport();
  EXPECT_EQ(resumed.Field("Resumed").rfind("yes, from pass 1 at block ", 0), 0u) << resumed.Field("Resumed");
  EXPECT_EQ(resumed.Field("Result"), "completed");
  EXPECT_NE(resumed.Field("Pass 7").find(" MB"), std::string::npos);
  // The resumed pass is listed from the block it went on at.
  const std::string resumedFrom = resumed.Field("Resumed").substr(std::string("yes, from pass 1 at ").size());
  EXPECT_NE(resumed.Field("Pass 1 from " + resumedFrom).find(" MB"), std::string::npos) << resumedFrom;
}

TEST_F(ErasureReportTest, FailedRunGivesTheReasonAndTheBlocksNotOverwritten) {
  Choose(ui::kPageWipeDrive, "E:\\");
  headless::SetMethodIndex(2);  // seven passes of three blocks: the 11th failure comes in pass 4
  sim::FailWrites("\\\\.\\E:", 0, 3);
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

  app::WipeItNowClicked();

  EXPECT_EQ(sim::SoundsPlayed().back(), "ding.wav");
  const ReadReport report = OnlyReport();
  EXPECT_EQ(report.Field("Result"), "failed: more than 10 consecutive blocks could not be written");
  EXPECT_EQ(report.Field("Not overwritten"), "3,145,728 bytes; blocks of 1 MB: 0, 1, 2");
  EXPECT_EQ(report.Field("Formatted"), "no");
  for (const char* pass : {"Pass 1", "Pass 2", "Pass 3"}) EXPECT_NE(report.fields.count(pass), 0u) << pass;
  EXPECT_NE(report.Field("Pass 4 (not finished)").find(" MB"), std::string::npos);
  EXPECT_EQ(report.fields.count("Pass 5"), 0u);
  EXPECT_TRUE(report.Logged("Wipe aborted!"));
}

// Whatever ended the run, the report names every block that still holds former data: checked
// against the media, where every block the report does not name was overwritten.
TEST_F(ErasureReportTest, NotOverwrittenNamesWhatACancelAnAbortOrTheReadBackLeft) {
  struct Case {
    const char* name;
    bool disk;                     // disk 1 (16 blocks), else E: (3 blocks and a tail of 4 KiB)
    long cancelAfterBlock;         // the user cancels once this block's write is carried out; -1 never
    std::uint64_t failFrom;        // writes from this block on fail; 0: none fail
    std::uint64_t lieFirst;        // blocks that read back wrong even after a second write
    std::uint64_t lieCount;
    const char* notOverwritten;
    std::vector<std::uint32_t> formerBlocks;  // blocks of the target still holding former data
    bool formerTail;
  };
  const Case cases[] = {
      {"cancelled in the first pass", true, 13, 0, 0, 0, "2,097,152 bytes the run never reached: blocks 14 to 15",
       {14, 15}, false},
      {"cancelled in the first pass, with a tail", false, 1, 0, 0, 0,
       "1,052,672 bytes the run never reached: block 2 and the tail", {2}, true},
      {"aborted after failed writes", true, -1, 4, 0, 0,
       "11,534,336 bytes; blocks of 1 MB: 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14; 1,048,576 bytes the run never "
       "reached: block 15",
       {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, false},
      {"read back wrong on a lying disk", true, -1, 0, 5, 2,
       "2,097,152 bytes read back wrong after a second write; blocks of 1 MB: 5, 6", {5, 6}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    std::filesystem::remove_all(HostPath("Reports"));
    machine_ = DefaultMachine();
    machine_.disks[1].lieFirst = c.lieFirst;
    machine_.disks[1].lieCount = c.lieCount;
    machine_.disks[1].lieStoresOther = false;
    Choose(c.disk ? ui::kPageWipeDisk : ui::kPageWipeDrive, c.disk ? "Disk1" : "E:\\");
    const std::uint64_t base = c.disk ? 0 : kMiB;  // E: begins 1 MiB into disk 1
    const std::uint64_t length = c.disk ? 16 * kMiB : 3 * kMiB + 4096;
    // Former data everywhere but the partition table.
    ASSERT_TRUE(sim::WriteDisk(1, base + 512, std::vector<std::uint8_t>(length - 512, 0xA5)));
    if (c.failFrom != 0) sim::FailWrites(c.disk ? DiskDevicePath(1) : "\\\\.\\E:", c.failFrom, 100);
    const long cancelAfter = c.cancelAfterBlock;
    sim::SetWriteHook([cancelAfter](const sim::Call& call) {
      if (cancelAfter >= 0 && call.bytes == kMiB && call.offset == static_cast<std::uint64_t>(cancelAfter) * kMiB) {
        CancelRequested = true;
      }
    });
    headless::SetMethodIndex(0);
    headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

    app::WipeItNowClicked();
    sim::ClearFaults();

    EXPECT_EQ(OnlyReport().Field("Not overwritten"), c.notOverwritten);
    EXPECT_EQ(OnlyJson()["result"]["notOverwritten"], c.notOverwritten);
    const std::uint32_t blocks = static_cast<std::uint32_t>(length / kMiB);
    for (std::uint32_t block = 0; block <= blocks; ++block) {
      const std::uint64_t bytes = block < blocks ? kMiB : length % kMiB;
      if (bytes == 0) continue;
      const std::vector<std::uint8_t> now = sim::ReadDisk(1, base + block * kMiB + (block == 0 ? 512 : 0),
                                                          bytes - (block == 0 ? 512 : 0));
      const bool former = std::all_of(now.begin(), now.end(), [](std::uint8_t b) { return b == 0xA5; });
      const bool named = block < blocks ? std::count(c.formerBlocks.begin(), c.formerBlocks.end(), block) != 0
                                        : c.formerTail;
      EXPECT_EQ(former, named) << "block " << block;
    }
  }
}

// A resumed run's list row showed the interrupted wipe: its report names the volume from the
// device and the record, and says who wrote the blocks below the resume point and what vouches
// for them; where nothing does, the success line says so too.
TEST_F(ErasureReportTest, AResumedRunNamesItsTargetAndWhatItCannotVouchFor) {
  struct Case {
    const char* name;
    int method;
    int cancelAfterWrites;  // 1 MiB writes carried out before the user cancels the first run
    bool verify;            // of the resumed run
    const char* resumed;
    const char* writtenEarlier;
    bool earlierLine;  // the line after the success line
  };
  const Case cases[] = {
      {"one pass, read back", 0, 2, true, "yes, from pass 1 at block 2",
       "blocks 0 to 1 of pass 1 were written by the interrupted run this one resumed; this run's verification "
       "read them back, and what it found wrong is listed under Not overwritten",
       false},
      {"one pass, not read back", 0, 2, false, "yes, from pass 1 at block 2",
       "blocks 0 to 1 of pass 1 were written by the interrupted run this one resumed, and nothing read them back "
       "since: what that run could not overwrite is listed in its own report, not here",
       true},
      {"random last pass, which cannot be read back", 1, 3 + 3 + 2, true, "yes, from pass 3 at block 2",
       "blocks 0 to 1 of pass 3 were written by the interrupted run this one resumed, and nothing read them back "
       "since: what that run could not overwrite is listed in its own report, not here",
       true},
      {"later passes overwrite them", 1, 2, false, "yes, from pass 1 at block 2",
       "blocks 0 to 1 of pass 1 were written by the interrupted run this one resumed; the later passes of this run "
       "overwrote them again",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    std::filesystem::remove_all(HostPath("Reports"));
    machine_ = DefaultMachine();
    machine_.volumes[1].label = "Data";
    Choose(ui::kPageWipeDrive, "E:\\");
    auto writes = std::make_shared<int>(0);
    const int cancelAfter = c.cancelAfterWrites;
    sim::SetWriteHook([writes, cancelAfter](const sim::Call& call) {
      if (call.bytes == kMiB && ++*writes == cancelAfter) CancelRequested = true;
    });
    headless::SetMethodIndex(c.method);
    headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
    app::WipeItNowClicked();
    sim::ClearFaults();
    ASSERT_EQ(OnlyReport().Field("Result"), "cancelled by the user");

    std::filesystem::remove_all(HostPath("Reports"));
    if (!c.verify) app::VerifyAfterWipeClicked();
    Check(ui::List::Drive, "E:\\");
    headless::QueueAnswers({ui::kDialogYes});
    app::ResumeClicked();

    const ReadReport report = OnlyReport();
    EXPECT_EQ(report.Field("Result"), "completed");
    EXPECT_EQ(report.Field("Resumed"), c.resumed);
    EXPECT_EQ(report.Field("Size"), "3,149,824 bytes (3 MB)");
    EXPECT_EQ(report.Field("Former file system"), "NTFS");
    EXPECT_EQ(report.Field("Former label"), "unknown: the interrupted run this one resumed had overwritten it");
    EXPECT_EQ(report.Field("Written earlier"), c.writtenEarlier);
    const nlohmann::json json = OnlyJson();
    EXPECT_EQ(json["target"]["formerFileSystem"], "NTFS");
    EXPECT_EQ(json["target"]["formerLabelKnown"], false);
    EXPECT_EQ(json["target"]["sizeBytes"], 3149824u);
    EXPECT_EQ(json["result"]["writtenEarlier"], c.writtenEarlier);
    const std::vector<std::string> lines = headless::LogTexts();
    const auto success = std::find(lines.begin(), lines.end(), "Drive E: wiped successfully.");
    ASSERT_NE(success, lines.end());
    const bool toldAfter = success + 1 != lines.end() &&
                           *(success + 1) == "Blocks 0 to 1 were written by the interrupted run this one resumed, "
                                             "and not read back since: what that run could not overwrite is listed "
                                             "in its own report.";
    EXPECT_EQ(toldAfter, c.earlierLine);
    if (!c.verify) app::VerifyAfterWipeClicked();
  }
}

// The page's facts agree with each other: the result first and plainly, the times covering
// what they say, the ID and the zone, why nothing was read back, what a disk held, and the
// notice logged before the questions in the page's log.
TEST_F(ErasureReportTest, TheResultComesFirstAndTheFactsAgree) {
  struct Case {
    const char* name;
    bool disk;
    bool verify;
    int cancelAtPump;       // 0: never
    bool failWrites;
    const char* headline;
    const char* verification;
  };
  const Case cases[] = {
      {"completed, not verified", false, false, 0, false, "Result: completed.",
       "none: not performed: \"Verify after wipe\" was off"},
      {"cancelled", true, true, 20, false, "Result: CANCELLED by the user; the wipe is not complete. Not overwritten: ",
       "none: not performed: the run was cancelled before it"},
      {"failed", false, true, 0, true,
       "Result: FAILED: more than 10 consecutive blocks could not be written; the wipe is not complete. Not "
       "overwritten: ",
       "none: not performed: the run failed before it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    std::filesystem::remove_all(HostPath("Reports"));
    machine_ = DefaultMachine();
    machine_.disks[1].solidState = platform::DeviceAnswer::Yes;
    machine_.formatPolls = 3;  // the format takes seconds after the passes
    Choose(c.disk ? ui::kPageWipeDisk : ui::kPageWipeDrive, c.disk ? "Disk1" : "E:\\");
    if (!c.verify) app::VerifyAfterWipeClicked();
    const long cancelAt = c.cancelAtPump;
    headless::SetPumpHook([cancelAt](long pump) {
      if (pump == cancelAt) CancelRequested = true;
    });
    if (c.failWrites) sim::FailWrites("\\\\.\\E:", 0, 100);
    headless::SetMethodIndex(2);
    headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

    app::WipeItNowClicked();
    headless::SetPumpHook(nullptr);
    sim::ClearFaults();

    const ReadReport report = OnlyReport();
    const std::string marker = "<p class=\"headline\">";
    const std::size_t headline = report.html.find(marker);
    ASSERT_NE(headline, std::string::npos);
    EXPECT_LT(headline, report.html.find("<h2>")) << "the result is not at the top";
    EXPECT_EQ(Unescaped(report.html.substr(headline + marker.size(), std::strlen(c.headline))), c.headline);
    EXPECT_EQ(report.Field("Verification"), c.verification);
    EXPECT_TRUE(std::regex_match(report.Field("Report ID"), std::regex("DM-20260302-1405[0-9]{2}-[0-9A-F]{8}")))
        << report.Field("Report ID");
    EXPECT_EQ(report.Field("Time zone"), "UTC+00:00 (Coordinated Universal Time)");
    // Ended covers what followed the passes: the format's seconds for the completed run.
    const std::string ended = report.Field("Ended").substr(0, 19);
    const std::string passesEnded = report.Field("Passes ended");
    if (c.cancelAtPump == 0 && !c.failWrites) {
      EXPECT_GT(ended, passesEnded);
    } else {
      EXPECT_GE(ended, passesEnded);
    }
    EXPECT_EQ(report.Field("Size written").rfind(c.disk ? "16,777,216 bytes in every pass" : "3,149,824 bytes in every pass", 0), 0u)
        << report.Field("Size written");
    if (c.disk) {
      EXPECT_EQ(report.Field("Volumes on it"), "E:");
    }
    ASSERT_FALSE(report.logLines.empty());
    EXPECT_NE(report.logLines.front().find(kSolidStateNotice), std::string::npos) << report.logLines.front();
    const nlohmann::json json = OnlyJson();
    EXPECT_EQ(json["reportId"], report.Field("Report ID"));
    EXPECT_EQ(json["timeZone"], report.Field("Time zone"));
    EXPECT_EQ(json["headline"].get<std::string>().rfind(c.headline, 0), 0u);
    EXPECT_EQ(json["result"]["verification"]["result"].get<std::string>(),
              std::string(c.verification).substr(std::strlen("none: ")));
    if (!c.verify) app::VerifyAfterWipeClicked();
  }
}

TEST_F(ErasureReportTest, TextsFromDevicesAndFileSystemsAreEscaped) {
  machine_.volumes[1].label = "<b>&\"x\"'";
  machine_.disks[1].model = "A<B & C>";
  Choose(ui::kPageWipeDrive, "E:\\");
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

  app::WipeItNowClicked();

  const ReadReport report = OnlyReport();
  EXPECT_EQ(report.Field("Former label"), "<b>&\"x\"'");
  EXPECT_EQ(report.Field("Model"), "A<B & C>");
  EXPECT_NE(report.html.find("&lt;b&gt;&amp;&quot;x&quot;&#39;"), std::string::npos);
  EXPECT_EQ(report.html.find("<b>"), std::string::npos);
  EXPECT_EQ(report.html.find("A<B"), std::string::npos);
}

bool ValidUtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5                ? 4
                                                                            : 0;
    if (length == 0 || at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
      if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
    }
    at += length;
  }
  return true;
}

// The ANSI calls answer in the system code page (Windows-1252 on the simulated machine): the
// list holds "Donn\xE9es", and the page and the JSON, which are UTF-8, say "Données".
TEST_F(ErasureReportTest, NamesFromTheSystemCodePageReachTheReportAsUtf8) {
  machine_.volumes[1].label = "Donn\xC3\xA9" "es";
  machine_.computerName = "B\xC3\x9CRO-PC";
  machine_.userName = "Jos\xC3\xA9 \xE2\x80\x9C" "Ops\xE2\x80\x9D";
  Choose(ui::kPageWipeDrive, "E:\\");
  const auto row = headless::Rows(ui::List::Drive)[static_cast<std::size_t>(RowOf(ui::List::Drive, "E:\\"))];
  EXPECT_NE(std::find(row.begin(), row.end(), "Donn\xE9" "es"), row.end()) << "the list shows the label as Windows gives it";
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

  app::WipeItNowClicked();

  const ReadReport report = OnlyReport();
  EXPECT_TRUE(ValidUtf8(report.html));
  EXPECT_EQ(report.Field("Former label"), "Donn\xC3\xA9" "es");
  EXPECT_EQ(report.Field("Computer"), "B\xC3\x9CRO-PC");
  EXPECT_EQ(report.Field("User"), "Jos\xC3\xA9 \xE2\x80\x9C" "Ops\xE2\x80\x9D");
  std::ifstream in(HostPath("Reports/" + ReportFiles(".json").at(0)), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_TRUE(ValidUtf8(text));
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  ASSERT_FALSE(json.is_discarded());
  EXPECT_EQ(json["target"]["formerLabel"], "Donn\xC3\xA9" "es");
  EXPECT_EQ(json["computer"]["name"], "B\xC3\x9CRO-PC");
  EXPECT_EQ(json["computer"]["user"], "Jos\xC3\xA9 \xE2\x80\x9C" "Ops\xE2\x80\x9D");
}

// Beside the page, a .json of the same name holds the same facts for a program to read.
TEST_F(ErasureReportTest, TheSameFactsAsJsonBesideThePage) {
  Choose(ui::kPageWipeDrive, "E:\\");
  headless::SetMethodIndex(1);
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

  app::WipeItNowClicked();

  ASSERT_EQ(ReportFiles(".json"), std::vector<std::string>{"Dunmere 2026-03-02 14-05-09 drive E.json"});
  std::ifstream in(HostPath("Reports/Dunmere 2026-03-02 14-05-09 drive E.json"), std::ios::binary);
  const nlohmann::json json = nlohmann::json::parse(in, nullptr, false);
  ASSERT_FALSE(json.is_discarded());
  const ReadReport page = OnlyReport();
  EXPECT_EQ(json["tool"]["version"], "1.0.0");
  EXPECT_EQ(json["computer"]["name"], page.Field("Computer"));
  EXPECT_EQ(json["computer"]["user"], page.Field("User"));
  EXPECT_EQ(json["target"]["kind"], "volume");
  EXPECT_EQ(json["target"]["volume"], "E:");
  EXPECT_EQ(json["target"]["diskNumber"], 1);
  EXPECT_EQ(json["target"]["model"], page.Field("Model"));
  EXPECT_EQ(json["target"]["serial"], page.Field("Serial number"));
  EXPECT_EQ(json["target"]["solidState"], true);
  EXPECT_EQ(json["target"]["sizeBytes"], 3149824u);
  EXPECT_EQ(json["target"]["formerLabel"], "Data");
  EXPECT_EQ(json["method"]["id"], 1);
  EXPECT_EQ(json["method"]["name"], page.Field("Method"));
  ASSERT_EQ(json["method"]["passes"].size(), 3u);
  EXPECT_EQ(json["method"]["passes"][1]["byte"], 0xFF);
  EXPECT_EQ(json["resumed"], nullptr);
  EXPECT_EQ(json["started"].get<std::string>().rfind("2026-03-02T14:05:", 0), 0u);
  ASSERT_EQ(json["passes"].size(), 3u);
  EXPECT_EQ(json["passes"][2]["bytesWritten"], 3149824u);
  EXPECT_EQ(json["passes"][2]["completed"], true);
  EXPECT_EQ(json["result"]["outcome"], "completed");
  EXPECT_EQ(json["result"]["reason"], nullptr);
  EXPECT_EQ(json["result"]["notOverwrittenBytes"], 0u);
  EXPECT_EQ(json["result"]["verification"]["method"].get<std::string>() + ": " +
                json["result"]["verification"]["result"].get<std::string>(),
            page.Field("Verification"));
  EXPECT_EQ(json["result"]["format"]["fileSystem"], "NTFS");
  EXPECT_EQ(json["log"].get<std::vector<std::string>>(), page.logLines);
}

TEST_F(ErasureReportTest, AReportThatCannotBeWrittenIsLoggedAndTheRunStillSucceeds) {
  struct Case {
    sim::Op failing;
    const char* line;
  };
  const Case cases[] = {
      {sim::Op::CreateFolder,
       "The erasure report could not be saved: the folder C:\\Program Files\\Dunmere\\Reports cannot be made."},
      {sim::Op::WriteFile,
       "The erasure report could not be saved: C:\\Program Files\\Dunmere\\Reports\\Dunmere 2026-03-02 "
       "14-05-09 drive E.html cannot be written."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    headless::Reset();
    std::filesystem::remove_all(HostPath("Reports"));
    Choose(ui::kPageWipeDrive, "E:\\");
    sim::SetFaultHook([&c](const sim::Call& call) { return call.op == c.failing && call.path.find("Reports") != std::string::npos; });
    headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});

    app::WipeItNowClicked();
    sim::ClearFaults();

    EXPECT_TRUE(Logged(c.line));
    EXPECT_TRUE(Logged("Drive E: wiped successfully."));
    EXPECT_EQ(sim::SoundsPlayed().back(), "finish.wav");
    EXPECT_TRUE(ReportFiles().empty());
    EXPECT_TRUE(ReportFiles(".json").empty());
  }
}

TEST_F(ErasureReportTest, SolidStateNoticeComesBeforeTheFirstQuestionAndNoReportWithoutARun) {
  Choose(ui::kPageWipeDisk, "Disk1");
  std::size_t dialogsAtNotice = 99;
  sim::SetFaultHook([&dialogsAtNotice](const sim::Call&) {
    for (const std::string& line : headless::LogTexts()) {
      if (line == kSolidStateNotice && dialogsAtNotice == 99) dialogsAtNotice = headless::Dialogs().size();
    }
    return false;
  });
  headless::QueueAnswers({ui::kDialogNo});

  app::WipeItNowClicked();

  // A SATA disk: the notice is followed by the way to a purge, which Windows cannot send it.
  EXPECT_EQ(headless::LogTexts(),
            (std::vector<std::string>{kSolidStateNotice,
                                      "A purge of disk 1 needs the disk maker's tool or WinPE: Windows passes no erase "
                                      "command to a SATA disk. This run will be an overwrite."}));
  EXPECT_EQ(dialogsAtNotice, 0u);
  EXPECT_EQ(headless::Dialogs().size(), 1u);
  EXPECT_TRUE(ReportFiles().empty());
}

TEST_F(ErasureReportTest, OpenReportsFolderMakesTheFolderAndHandsItToTheShell) {
  Start();
  app::OpenReportsFolderClicked();
  EXPECT_TRUE(std::filesystem::is_directory(HostPath("Reports")));
  const std::vector<sim::Call> opened = CallsOf(sim::Op::ShellOpen);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].path, "C:\\Program Files\\Dunmere\\Reports");
  EXPECT_TRUE(opened[0].ok);
  EXPECT_TRUE(headless::LogTexts().empty());
}

TEST_F(ErasureReportTest, AReportsFolderThatCannotBeOpenedIsToldInTheLog) {
  struct Case {
    const char* name;
    sim::Op failing;
    std::size_t shellCalls;
  };
  const Case cases[] = {
      {"the folder cannot be made", sim::Op::CreateFolder, 0},
      {"the shell cannot open it", sim::Op::ShellOpen, 1},
  };
  for (const Case& c : cases) {
    headless::Reset();
    Start();
    sim::SetFaultHook([&c](const sim::Call& call) { return call.op == c.failing; });

    app::OpenReportsFolderClicked();

    EXPECT_EQ(headless::LogTexts(),
              std::vector<std::string>{"The reports folder C:\\Program Files\\Dunmere\\Reports cannot be opened."})
        << c.name;
    EXPECT_EQ(CallsOf(sim::Op::ShellOpen).size(), c.shellCalls) << c.name;
    EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>{"ding.wav"}) << c.name;
    sim::ClearFaults();
  }
}

}  // namespace
