// "Device sanitize" from the click to the report: the refusals before any question, the run
// on the disk held as for an overwrite, the samples before and after, the progress window
// while the disk erases itself, the outcome lines, and what the next start-up lists after a
// power cut in the middle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "tests/app_machine.h"
#include "wipe/methods.h"

namespace {

using app_test::AppTest;
using app_test::kMiB;

constexpr int kNvme = 3;
const char* const kNvmePath = "\\\\.\\physicaldrive3";

std::vector<std::uint8_t> Pattern(std::size_t bytes) {
  std::vector<std::uint8_t> pattern(bytes);
  for (std::size_t i = 0; i < bytes; ++i) pattern[i] = static_cast<std::uint8_t>(i * 7 + i / 4096 + 3);
  return pattern;
}

bool AllZero(const std::vector<std::uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// What a user saw of the progress window while the disk erased itself.
struct SanitizeSeen {
  std::vector<std::string> captions;
  std::vector<int> bars;         // the bar at each look while sanitizing
  bool marquee = false;          // the bar ran as a marquee at some look
  bool cancelEnabled = false;    // Cancel was enabled at some look while sanitizing
  std::string cancelNote;
  bool cancelClickedInVain = false;
};

class SanitizeMethodTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    // Disk 3 is an NVMe disk with the data volume G: on it, full of a pattern.
    sim::Disk nvme = app_test::MakeDisk(kNvme, 16 * kMiB);
    nvme.bus = "NVMe";
    nvme.model = "DUNMERE NVME";
    nvme.serial = "NV0003";
    nvme.solidState = platform::DeviceAnswer::Yes;
    nvme.sanitize = {"crypto", "block"};
    nvme.sanitizeSeconds = 20;
    machine_.disks.push_back(nvme);
    machine_.volumes.push_back(app_test::MakeVolume('G', kNvme, kMiB, 8 * kMiB, "NTFS"));
  }

  sim::Disk& Nvme() { return machine_.disks.back(); }

  // Started with disk 3's media a pattern under its volume; the disk page or the drive page
  // active, this row checked and "Device sanitize" chosen.
  void Choose(int page, const std::string& caption) {
    Start();
    ASSERT_TRUE(sim::WriteDisk(kNvme, 2 * kMiB, Pattern(14 * kMiB)));
    ui::ShowMainWindow();
    headless::SetActivePage(page);
    Check(page == ui::kPageWipeDrive ? ui::List::Drive : ui::List::Disk, caption);
    headless::SetMethodIndex(kSanitizeMethodId);
    sim::ClearCalls();
  }

  // "Wipe it now", answering yes to both questions, watching the window at every pump.
  SanitizeSeen Run() {
    SanitizeSeen seen;
    headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
    headless::SetPumpHook([&seen](long) {
      const std::string caption = headless::ProgressCaption();
      if (seen.captions.empty() || seen.captions.back() != caption) seen.captions.push_back(caption);
      if (caption.rfind("  Sanitizing ", 0) != 0) return;
      seen.bars.push_back(headless::ProgressBar());
      seen.marquee = seen.marquee || headless::ProgressMarquee();
      seen.cancelEnabled = seen.cancelEnabled || headless::CancelEnabled();
      seen.cancelNote = headless::CancelNote();
      headless::ClickCancel();
      seen.cancelClickedInVain = seen.cancelClickedInVain || !CancelRequested;
    });
    app::WipeItNowClicked();
    headless::SetPumpHook(nullptr);
    return seen;
  }

  static bool Logged(const std::string& text) {
    const std::vector<std::string> lines = headless::LogTexts();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }

  static bool LoggedStarting(const std::string& start) {
    for (const std::string& line : headless::LogTexts()) {
      if (line.rfind(start, 0) == 0) return true;
    }
    return false;
  }

  static bool LoggedContaining(const std::string& part) {
    for (const std::string& line : headless::LogTexts()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }

  std::string OnlyReport(const std::string& extension) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(HostPath("Reports"), ec)) {
      if (entry.path().extension() == extension) names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names.size(), 1u);
    if (names.size() != 1) return "";
    std::ifstream in(HostPath("Reports/" + names[0]), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Checks the row unless it is checked already.
  static void Checked(ui::List list, const std::string& caption) {
    const int row = RowOf(list, caption);
    ASSERT_GE(row, 0) << caption << " is not listed";
    if (!ui::RowChecked(list, row)) headless::ClickCheckBox(list, row);
  }

  static std::size_t SanitizeCalls() { return sim::CallsOf(sim::Op::Sanitize).size(); }

  // The disk list's "Logical drives on disk" column of a disk.
  static std::string DiskColumn(const std::string& caption) {
    const int row = RowOf(ui::List::Disk, caption);
    if (row < 0) return "(not listed)";
    const std::vector<std::string> cells = headless::Rows(ui::List::Disk)[static_cast<std::size_t>(row)];
    return cells.size() > 2 ? cells[2] : "";
  }
};

TEST_F(SanitizeMethodTest, TheBoxAddsItAfterTheFiveWithoutChangingThem) {
  ASSERT_EQ(kMethodBoxCount, kMethodCount + 1);
  EXPECT_STREQ(MethodBoxText(kSanitizeMethodId), "Device sanitize");
  for (int id = 0; id < kMethodCount; ++id) EXPECT_STREQ(MethodBoxText(id), WipeMethods[id].boxText) << id;
  EXPECT_EQ(MethodBoxText(kMethodBoxCount), nullptr);
  EXPECT_EQ(MethodBoxText(-1), nullptr);
}

TEST_F(SanitizeMethodTest, ErasesTheHeldDiskWithItsBestActionAndProvesItBySamples) {
  struct Case {
    std::vector<std::string> offered;
    const char* action;
  };
  for (const Case& c : {Case{{"crypto", "block"}, "crypto erase"}, Case{{"block"}, "block erase"}}) {
    SCOPED_TRACE(c.action);
    SetUp();
    Nvme().sanitize = c.offered;
    Choose(ui::kPageWipeDisk, "Disk3");
    const SanitizeSeen seen = Run();

    EXPECT_TRUE(Logged(std::string("Disk 3 sanitized by its own ") + c.action + "."));
    EXPECT_TRUE(LoggedStarting("Verification: "));
    EXPECT_TRUE(LoggedContaining("of disk 3) read before and after; none holds its former content"));
    EXPECT_EQ(sim::SoundsPlayed().back(), "finish.wav");
    // The questions of a disk wipe, and nothing else asked.
    ASSERT_EQ(headless::Dialogs().size(), 2u);
    EXPECT_EQ(headless::Dialogs()[0].text, "You have selected to wipe disk3\nAre you sure?");

    // The volume is secured before the command goes, the samples are read on both sides.
    const long lock = FirstCall(sim::Op::Lock, "\\\\.\\G:");
    const long sanitize = FirstCall(sim::Op::Sanitize, kNvmePath);
    ASSERT_GE(lock, 0);
    ASSERT_GT(sanitize, lock);
    std::size_t readsBefore = 0;
    std::size_t readsAfter = 0;
    for (std::size_t i = 0; i < sim::Calls().size(); ++i) {
      const sim::Call& call = sim::Calls()[i];
      if (call.op != sim::Op::Read || call.path != kNvmePath || !call.ok) continue;
      (static_cast<long>(i) < sanitize ? readsBefore : readsAfter) += 1;
    }
    EXPECT_GE(readsBefore, 2002u);
    EXPECT_GE(readsAfter, 2002u);
    EXPECT_EQ(sim::CallsOf(sim::Op::Write, kNvmePath).size(), 0u) << "a sanitize writes nothing itself";
    EXPECT_EQ(sim::CallsOf(sim::Op::Sanitize).size(), 1u);
    EXPECT_EQ(sim::CallsOf(sim::Op::Sanitize)[0].bytes,
              static_cast<std::uint64_t>(std::string(c.action) == "crypto erase" ? platform::SanitizeAction::CryptoErase
                                                                                : platform::SanitizeAction::BlockErase));

    // The window while it ran: its caption, a bar that followed the disk's own count to its
    // end, Cancel disabled with the reason, and enabled again afterwards.
    EXPECT_NE(std::find(seen.captions.begin(), seen.captions.end(),
                        std::string("  Sanitizing disk3 with its own ") + c.action + " . . ."),
              seen.captions.end());
    ASSERT_FALSE(seen.bars.empty());
    EXPECT_TRUE(std::is_sorted(seen.bars.begin(), seen.bars.end()));
    EXPECT_GE(seen.bars.back(), 90);
    EXPECT_LT(seen.bars.front(), 10);
    EXPECT_FALSE(seen.marquee);
    EXPECT_FALSE(seen.cancelEnabled);
    EXPECT_TRUE(seen.cancelClickedInVain);
    EXPECT_EQ(seen.cancelNote, "A sanitize cannot be stopped.");
    EXPECT_TRUE(headless::CancelEnabled());

    // The media: noise or zeros where the pattern was.
    const std::vector<std::uint8_t> media = sim::ReadDisk(kNvme, 2 * kMiB, kMiB);
    EXPECT_NE(media, std::vector<std::uint8_t>(Pattern(kMiB)));
    EXPECT_EQ(AllZero(media), std::string(c.action) == "block erase");

    const std::string report = OnlyReport(".html");
    EXPECT_NE(report.find("<td>Device sanitize</td>"), std::string::npos);
    EXPECT_NE(report.find(c.action), std::string::npos);
    EXPECT_NE(report.find("none holds its former content"), std::string::npos);
    EXPECT_NE(report.find("<td>completed</td>"), std::string::npos);
    EXPECT_EQ(report.find("0000-00-00"), std::string::npos) << "a time the run never set";
    const std::string json = OnlyReport(".json");
    EXPECT_NE(json.find("\"Device sanitize\""), std::string::npos);
    EXPECT_NE(json.find(std::string("\"") + c.action + "\""), std::string::npos);
    TearDown();
  }
}

TEST_F(SanitizeMethodTest, RefusesBeforeAnyQuestionWithOneLine) {
  struct Case {
    const char* name;
    int page;
    const char* row;
    std::function<void(sim::Disk&)> describe;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"a volume", ui::kPageWipeDrive, "G:\\", [](sim::Disk&) {},
       "Device sanitize erases a whole disk: choose the disk on the \"Wipe disk\" page."},
      {"a disk that offers none", ui::kPageWipeDisk, "Disk3", [](sim::Disk& d) { d.sanitize.clear(); },
       "Disk 3 offers no sanitize of its own (neither crypto erase nor block erase). Choose an overwrite method."},
      {"an overwrite action only", ui::kPageWipeDisk, "Disk3", [](sim::Disk& d) { d.sanitize = {"overwrite"}; },
       "Disk 3 offers no sanitize of its own (neither crypto erase nor block erase). Choose an overwrite method."},
      {"a SATA disk", ui::kPageWipeDisk, "Disk3", [](sim::Disk& d) {
         d.bus = "SATA";
         d.sanitize.clear();
       },
       "Disk 3 is not an NVMe disk: Windows passes a disk's own sanitize only to NVMe disks (a SATA disk needs its "
       "maker's tool or WinPE). Choose an overwrite method."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.describe(Nvme());
    Choose(c.page, c.row);
    headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
    const std::size_t linesBefore = headless::LogTexts().size();
    app::WipeItNowClicked();
    EXPECT_TRUE(headless::Dialogs().empty());
    ASSERT_EQ(headless::LogTexts().size(), linesBefore + 1);
    EXPECT_EQ(headless::LogTexts().back(), c.line);
    EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>{"ding.wav"});
    EXPECT_EQ(DeviceWrites(), 0u);
    EXPECT_EQ(SanitizeCalls(), 0u);
    EXPECT_TRUE(headless::MainVisible());
    TearDown();
  }
}

TEST_F(SanitizeMethodTest, ADiskThatRefusesTheCommandEndsAFailedRunWithNothingErased) {
  Nvme().sanitizeError = 50;
  Choose(ui::kPageWipeDisk, "Disk3");
  Run();
  EXPECT_TRUE(Logged("Disk 3 refused the sanitize command (error 50); nothing was erased."));
  EXPECT_FALSE(LoggedContaining("sanitized by"));
  EXPECT_FALSE(LoggedContaining("successfully"));
  EXPECT_EQ(sim::ReadDisk(kNvme, 2 * kMiB, 14 * kMiB), Pattern(14 * kMiB));
  EXPECT_EQ(sim::SoundsPlayed().back(), "ding.wav");
  EXPECT_TRUE(headless::CancelEnabled());
  const std::string report = OnlyReport(".html");
  EXPECT_NE(report.find("failed: the disk refused the sanitize command (error 50)"), std::string::npos);
  EXPECT_EQ(report.find("<td>completed</td>"), std::string::npos);
}

TEST_F(SanitizeMethodTest, AFailureInTheMiddleLeavesOnlyANewSanitizeOffered) {
  Choose(ui::kPageWipeDisk, "Disk3");
  sim::FailSanitizeMidway(kNvme);
  Run();
  EXPECT_TRUE(Logged("Disk 3 reports that its sanitize failed; part of it may be erased. Only a new Device sanitize "
                     "can erase it now."));
  EXPECT_FALSE(LoggedContaining("sanitized by"));
  EXPECT_NE(OnlyReport(".html").find("failed: the disk reported that its sanitize failed"), std::string::npos);
  // The run's end listed the disks again: disk 3 with its state, its volume gone.
  EXPECT_EQ(DiskColumn("Disk3"), "Last sanitize failed; only Device sanitize can erase it.");

  // An overwrite, and a resume, are refused before any question; a new sanitize is taken.
  for (auto command : {&app::WipeItNowClicked, &app::ResumeClicked}) {
    headless::SetMethodIndex(0);
    Checked(ui::List::Disk, "Disk3");
    const std::size_t dialogs = headless::Dialogs().size();
    command();
    EXPECT_EQ(headless::Dialogs().size(), dialogs);
    EXPECT_EQ(headless::LogTexts().back(), "Disk 3's last sanitize failed; only a new Device sanitize can erase it.");
  }
  EXPECT_EQ(DeviceWrites(), 0u);
  Checked(ui::List::Disk, "Disk3");
  headless::SetMethodIndex(kSanitizeMethodId);
  sim::ClearCalls();
  Run();
  EXPECT_TRUE(Logged("Disk 3 sanitized by its own crypto erase.")) << ::testing::PrintToString(headless::LogTexts());
  EXPECT_EQ(DiskColumn("Disk3"), "");
}

TEST_F(SanitizeMethodTest, ADiskWithoutAStatusLogShowsAMarqueeAndEndsWhenItAnswersAgain) {
  Nvme().sanitizeLog = false;
  Choose(ui::kPageWipeDisk, "Disk3");
  const SanitizeSeen seen = Run();
  EXPECT_TRUE(seen.marquee);
  EXPECT_TRUE(Logged("Disk 3 keeps no sanitize status; it answers reads again, so its sanitize has ended."));
  EXPECT_TRUE(Logged("Disk 3 sanitized by its own crypto erase."));
  EXPECT_TRUE(LoggedContaining("none holds its former content"));
  EXPECT_NE(sim::ReadDisk(kNvme, 2 * kMiB, kMiB), Pattern(kMiB));
}

TEST_F(SanitizeMethodTest, ALyingDiskWhoseSamplesKeepTheirContentFailsTheRun) {
  Nvme().lieFirst = 5;
  Nvme().lieCount = 2;
  Choose(ui::kPageWipeDisk, "Disk3");
  Run();
  EXPECT_FALSE(LoggedContaining("sanitized by"));
  EXPECT_TRUE(LoggedContaining("hold their former content"));
  EXPECT_TRUE(Logged("Disk 3 reported its sanitize done, but the samples show that it did not erase everything."));
  EXPECT_EQ(sim::SoundsPlayed().back(), "ding.wav");
  EXPECT_NE(OnlyReport(".html").find("failed: samples read after the sanitize"), std::string::npos);
}

TEST_F(SanitizeMethodTest, VerificationOffReadsNoSamples) {
  Choose(ui::kPageWipeDisk, "Disk3");
  ui::SetOptionChecked(ui::Option::VerifyAfterWipe, false);
  Run();
  EXPECT_TRUE(Logged("Disk 3 sanitized by its own crypto erase."));
  EXPECT_FALSE(LoggedStarting("Verification: "));
  // Only the probe of the disk's first sector and the inventory read it; no sample.
  for (const sim::Call& call : sim::CallsOf(sim::Op::Read, kNvmePath)) EXPECT_EQ(call.offset, 0u);
}

TEST_F(SanitizeMethodTest, APowerCutInTheMiddleListsTheDiskAsSanitizingAndRefusesEveryCommandUntilItEnds) {
  Choose(ui::kPageWipeDisk, "Disk3");
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
  headless::SetPumpHook([](long) {
    if (headless::ProgressCaption().rfind("  Sanitizing ", 0) == 0 && headless::ProgressBar() >= 40 &&
        !sim::PoweredOff()) {
      sim::CutPower();
    }
  });
  app::WipeItNowClicked();
  headless::SetPumpHook(nullptr);
  EXPECT_TRUE(sim::PoweredOff());
  EXPECT_FALSE(LoggedContaining("sanitized by"));

  // The next start: the disk carries the sanitize on and says how far it is.
  std::string error;
  ASSERT_TRUE(sim::Restart(machine_, &error)) << error;
  FreshProcess();
  sim::AdvanceClock(5000);
  app::FormCreate();
  ui::ShowMainWindow();
  // Its volume keeps its letter but no longer its file system.
  EXPECT_EQ(DiskColumn("Disk3"), "G:\\ [] Sanitize in progress, 25% done.");

  struct Attempt {
    int page;
    int method;
    void (*command)();
  };
  for (const Attempt& attempt : {Attempt{ui::kPageWipeDrive, 0, &app::WipeItNowClicked},
                                 Attempt{ui::kPageWipeDisk, 0, &app::WipeItNowClicked},
                                 Attempt{ui::kPageWipeDisk, kSanitizeMethodId, &app::WipeItNowClicked},
                                 Attempt{ui::kPageWipeDisk, 0, &app::ResumeClicked}}) {
    headless::SetActivePage(attempt.page);
    if (attempt.page == ui::kPageWipeDrive) {
      Checked(ui::List::Drive, "G:\\");
    } else {
      Checked(ui::List::Disk, "Disk3");
    }
    headless::SetMethodIndex(attempt.method);
    attempt.command();
    EXPECT_TRUE(headless::Dialogs().empty());
    EXPECT_TRUE(LoggedStarting("Disk 3 is sanitizing itself ("));
    EXPECT_TRUE(LoggedContaining("% done); nothing can be done to it until it has finished."));
  }
  EXPECT_EQ(DeviceWrites(), 0u);
  EXPECT_EQ(SanitizeCalls(), 0u);

  // Once it has finished the disk is listed as any other, erased.
  sim::AdvanceClock(20000);
  app::ScanForHardwareChangesClicked();
  EXPECT_EQ(DiskColumn("Disk3"), "G:\\ [] ");
  EXPECT_NE(sim::ReadDisk(kNvme, 2 * kMiB, kMiB), Pattern(kMiB));
}

}  // namespace
