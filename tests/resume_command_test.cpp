// "Resume" from the click to the closing sound, on a simulated machine with headless windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/commands.h"
#include "app/window_runs.h"
#include "app/handlers.h"
#include "devices/inventory.h"
#include "devices/text_field.h"
#include "tests/app_machine.h"
#include "tests/inventory_fixture.h"
#include "wipe/methods.h"

namespace {

using namespace inventory_test;

class ResumeCommandTest : public app_test::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    machine_ = ResumeMachine();
    ui::ShowMainWindow();
  }

  // C: holds Windows on disk 0. Disk 1 carries E:, an unformatted 16 MiB volume, disk 2 the
  // USB stick F:, and disk 3 no volume at all.
  sim::Machine ResumeMachine() const {
    sim::Machine machine = DefaultMachine();
    machine.disks = {MakeDisk(0, 64 * kMiB), MakeDisk(1, 64 * kMiB), MakeDisk(2, 16 * kMiB), MakeDisk(3, 16 * kMiB)};
    sim::Volume stick = MakeVolume('F', 2, 0, 16 * kMiB, "FAT32", "STICK");
    stick.driveType = platform::kDriveRemovable;
    machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB, "NTFS", "System"), MakeVolume('E', 1, 0, 16 * kMiB, ""),
                       stick};
    return machine;
  }

  // Checks the row of the page's list ("E:\", "Disk3"), as the user would after a fresh scan.
  static void Select(int page, const std::string& caption) {
    app::ScanForHardwareChangesClicked();
    headless::SetActivePage(page);
    Check(page == ui::kPageWipeDisk ? ui::List::Disk : ui::List::Drive, caption);
  }

  // Everything the test looks at starts from here, after the selection.
  void ForgetSetup() {
    sim::ClearCalls();
    pumpsBefore_ = headless::PumpCount();
    logLinesBefore_ = headless::LogTexts().size();
  }

  std::vector<std::string> NewLogTexts() const {
    const std::vector<std::string> all = headless::LogTexts();
    return std::vector<std::string>(all.begin() + static_cast<long>(logLinesBefore_), all.end());
  }
  long NewPumps() const { return headless::PumpCount() - pumpsBefore_; }

  static std::vector<sim::Call> BlockWritesOn(const std::string& path) {
    std::vector<sim::Call> writes;
    for (const sim::Call& call : CallsOf(sim::Op::Write)) {
      if (call.path == path && call.bytes == kBlockSize) writes.push_back(call);
    }
    return writes;
  }

  long pumpsBefore_ = 0;
  std::size_t logLinesBefore_ = 0;
};

TEST_F(ResumeCommandTest, EachRefusalWithItsLineAndSound) {
  const std::vector<std::uint8_t> validRecord = RecordBytes(Record(1, 1, 4, 16, "16 MB"));
  const std::vector<std::uint8_t> passPastMethod = RecordBytes(Record(1, 3, 4, 16, "16 MB"));
  const std::vector<std::uint8_t> blockPastEnd = RecordBytes(Record(4, 0, 17, 16, "16 MB"));
  const std::vector<std::string> ding = {"ding.wav"};
  const struct {
    const char* name;
    int page;
    const char* select;  // a drive root path, a disk name, or "" for none
    char recordOnVolume;  // 0: none
    int recordOnDisk;     // -1: none
    std::vector<std::uint8_t> record;
    bool soundOff;
    const char* line;
    std::vector<std::string> sounds;
  } cases[] = {
      {"no drive checked", ui::kPageWipeDrive, "", 0, -1, {}, false, "Please choose the drive first.", {}},
      {"no disk checked", ui::kPageWipeDisk, "", 0, -1, {}, false, "Please choose the disk first.", {}},
      {"drive checked, disk page active", ui::kPageWipeDisk, "E:\\", 'E', -1, validRecord, false,
       "Please choose the disk first.", {}},
      {"the Windows volume, record or not", ui::kPageWipeDrive, "C:\\", 'C', -1, validRecord, false,
       "It is current Windows drive, can not wipe.", ding},
      {"volume without record", ui::kPageWipeDrive, "E:\\", 0, -1, {}, false, "Break point not found, can not resume.",
       ding},
      {"volume record past its method's passes", ui::kPageWipeDrive, "E:\\", 'E', -1, passPastMethod, false,
       "Break point not found, can not resume.", ding},
      {"the Windows disk", ui::kPageWipeDisk, "Disk0", 0, -1, {}, false,
       "Current Windows drive on the disk, can not wipe.", ding},
      {"removable disk with a record", ui::kPageWipeDisk, "Disk2", 0, 2, validRecord, false,
       "It is removable drive, please wipe it in drive mode.", ding},
      {"disk without record", ui::kPageWipeDisk, "Disk3", 0, -1, {}, false, "Break point not found, can not resume.",
       ding},
      {"disk record past its block count", ui::kPageWipeDisk, "Disk3", 0, 3, blockPastEnd, false,
       "Break point not found, can not resume.", ding},
      {"sound disabled", ui::kPageWipeDisk, "Disk3", 0, -1, {}, true, "Break point not found, can not resume.", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MachineTest::SetUp();  // a fresh program on the same host folder
    ui::ShowMainWindow();
    Load();
    if (c.recordOnVolume != 0) {
      ASSERT_TRUE(sim::WriteVolume(c.recordOnVolume, 0, c.record));
    }
    if (c.recordOnDisk >= 0) {
      ASSERT_TRUE(sim::WriteDisk(c.recordOnDisk, 0, c.record));
    }
    const std::string select = c.select;
    if (select.empty()) {
      app::ScanForHardwareChangesClicked();
    } else {
      Select(select.find(":\\") != std::string::npos ? ui::kPageWipeDrive : ui::kPageWipeDisk, select);
    }
    headless::SetActivePage(c.page);
    ui::SetOptionChecked(ui::Option::DisableSound, c.soundOff);
    ForgetSetup();

    ResumeCommand();

    EXPECT_EQ(NewLogTexts(), std::vector<std::string>{c.line});
    EXPECT_EQ(sim::SoundsPlayed(), c.sounds);
    EXPECT_TRUE(headless::Dialogs().empty());
    EXPECT_EQ(NewPumps(), 0);
    EXPECT_TRUE(headless::MainVisible());
    EXPECT_FALSE(headless::ProgressVisible());
    EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
    EXPECT_EQ(ResumePoint.StartBlock, 0u);
    if (select == "C:\\") {
      // Refused before the record is looked for: the volume is never opened for it.
      for (const sim::Call& call : CallsOf(sim::Op::Open)) {
        EXPECT_NE(call.bytes, static_cast<std::uint64_t>(platform::Access::ReadWrite)) << call.path;
      }
    }
  }
}

TEST_F(ResumeCommandTest, NoLeavesTheWindowsAsTheyWereButResumePointLoaded) {
  Load();
  ASSERT_TRUE(sim::WriteVolume('E', 0, RecordBytes(Record(3, 1, 5, 16, "16 MB"))));
  Select(ui::kPageWipeDrive, "E:\\");
  ForgetSetup();
  headless::QueueAnswers({ui::kDialogNo});

  ResumeCommand();

  ASSERT_EQ(headless::Dialogs().size(), 1u);
  const headless::Dialog& dialog = headless::Dialogs()[0];
  EXPECT_EQ(dialog.kind, "confirm");
  EXPECT_EQ(dialog.caption, "Confirm");
  EXPECT_EQ(dialog.icon, ui::Icon::Stop);
  EXPECT_EQ(dialog.text, "You have selected to continue wiping drive E:\nAre you sure?");
  EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>{"warning.wav"});
  EXPECT_TRUE(headless::MainVisible());
  EXPECT_FALSE(headless::ProgressVisible());
  EXPECT_EQ(NewPumps(), 0);
  EXPECT_TRUE(NewLogTexts().empty());
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
  EXPECT_EQ(ResumePoint.MethodId, 3);
  EXPECT_EQ(ResumePoint.PassIndex, 1);
  EXPECT_EQ(ResumePoint.StartBlock, 5u);
  EXPECT_EQ(ResumePoint.BlockCount, 16u);
  EXPECT_EQ(FieldText(ResumePoint.CapacityText), "16 MB");
}

TEST_F(ResumeCommandTest, DiskQuestionNamesTheDiskNumberWithoutABlank) {
  // Windows on disk 1 this time, so that disk 0 may be resumed.
  machine_.volumes[0].disk = 1;
  machine_.volumes[0].offset = 32 * kMiB;
  Load();
  ASSERT_TRUE(sim::WriteDisk(0, 0, RecordBytes(Record(0, 0, 7, 64, "64 MB"))));
  Select(ui::kPageWipeDisk, "Disk0");
  ForgetSetup();

  ResumeCommand();  // no answer queued: the dialog is closed

  ASSERT_EQ(headless::Dialogs().size(), 1u);
  EXPECT_EQ(headless::Dialogs()[0].text, "You have selected to continue wiping disk0\nAre you sure?");
  EXPECT_EQ(headless::Dialogs()[0].caption, "Confirm");
  EXPECT_EQ(ResumePoint.StartBlock, 7u);
  EXPECT_TRUE(headless::MainVisible());
  EXPECT_FALSE(headless::ProgressVisible());
}

// What the progress window showed while the run worked, seen from its event pumps.
struct DuringRun {
  std::vector<std::string> captions;
  bool formatChecked = false;
  bool formatEnabled = false;
  bool shutdownChecked = true;
  bool mainVisible = true;
  bool seen = false;
};

void WatchRun(DuringRun* seen) {
  headless::SetPumpHook([seen](long) {
    // Only a run sets a pass caption; the hand-over pumps before the window is reset.
    if (headless::ProgressCaption().rfind("  Wiping ", 0) != 0) return;
    if (!seen->seen) {
      seen->formatChecked = ui::FormatBoxChecked();
      seen->formatEnabled = headless::FormatBoxEnabled();
      seen->shutdownChecked = ui::ShutdownBoxChecked();
      seen->mainVisible = headless::MainVisible();
      seen->seen = true;
    }
    if (seen->captions.empty() || seen->captions.back() != headless::ProgressCaption()) {
      seen->captions.push_back(headless::ProgressCaption());
    }
  });
}

TEST_F(ResumeCommandTest, DriveRunUsesTheRecordsMethodPassAndBlock) {
  Load();
  ASSERT_TRUE(sim::WriteVolume('E', 0, RecordBytes(Record(3, 1, 5, 16, "16 MB"))));
  Select(ui::kPageWipeDrive, "E:\\");
  headless::SetMethodIndex(0);     // the method box shows another method
  ui::SetFormatBox(false, false);  // as an earlier run may have left it
  ui::SetShutdownBox(true);
  ForgetSetup();
  DuringRun seen;
  WatchRun(&seen);
  headless::QueueAnswers({ui::kDialogYes});

  ResumeCommand();

  headless::SetPumpHook(nullptr);
  ASSERT_TRUE(seen.seen) << "no run was started";
  EXPECT_TRUE(seen.formatChecked);
  EXPECT_TRUE(seen.formatEnabled);
  EXPECT_FALSE(seen.shutdownChecked);
  EXPECT_FALSE(seen.mainVisible);
  const std::vector<std::string> expectedCaptions = {"  Wiping drive E:" + PassCaptionSuffix(3, 1),
                                                     "  Wiping drive E:" + PassCaptionSuffix(3, 2)};
  EXPECT_EQ(seen.captions, expectedCaptions);
  const std::vector<sim::Call> writes = BlockWritesOn("\\\\.\\E:");
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.front().offset, 5 * kMiB);
  EXPECT_EQ(writes.size(), (16u - 5) + 16);
  EXPECT_EQ(sim::SoundsPlayed(), (std::vector<std::string>{"warning.wav", "finish.wav"}));
  EXPECT_TRUE(headless::MainVisible());
  EXPECT_FALSE(headless::ProgressVisible());
}

TEST_F(ResumeCommandTest, DiskRunStartsWithTheFormatBoxClearedAndDisabled) {
  Load();
  ASSERT_TRUE(sim::WriteDisk(3, 0, RecordBytes(Record(1, 2, 9, 16, "16 MB"))));
  Select(ui::kPageWipeDisk, "Disk3");
  headless::SetMethodIndex(4);
  ui::SetFormatBox(true, true);
  ForgetSetup();
  DuringRun seen;
  WatchRun(&seen);
  headless::QueueAnswers({ui::kDialogYes});

  ResumeCommand();

  headless::SetPumpHook(nullptr);
  ASSERT_EQ(headless::Dialogs().size(), 1u);
  EXPECT_EQ(headless::Dialogs()[0].text, "You have selected to continue wiping disk3\nAre you sure?");
  ASSERT_TRUE(seen.seen) << "no run was started";
  EXPECT_FALSE(seen.formatChecked);
  EXPECT_FALSE(seen.formatEnabled);
  const std::vector<sim::Call> writes = BlockWritesOn("\\\\.\\physicaldrive3");
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.front().offset, 9 * kMiB);
  EXPECT_EQ(writes.size(), 16u - 9);  // the last pass of method 1 only
  EXPECT_EQ(sim::SoundsPlayed(), (std::vector<std::string>{"warning.wav", "finish.wav"}));
  EXPECT_TRUE(headless::MainVisible());
}

TEST_F(ResumeCommandTest, UnknownMethodSwitchesTheWindowsAndStartsNothing) {
  Load();
  ASSERT_TRUE(sim::WriteVolume('E', 0, RecordBytes(Record(5, 0, 3, 16, "16 MB"))));
  Select(ui::kPageWipeDrive, "E:\\");
  ui::SetProgressBar(37);  // left from an earlier run: not reset without a run
  ForgetSetup();
  bool switched = false;
  headless::SetPumpHook([&](long) {
    switched = switched || (headless::ProgressVisible() && !headless::MainVisible() && !ui::ShutdownBoxChecked());
  });
  headless::QueueAnswers({ui::kDialogYes});

  ResumeCommand();

  headless::SetPumpHook(nullptr);
  EXPECT_TRUE(switched);
  EXPECT_EQ(NewPumps(), 2);
  EXPECT_EQ(headless::ProgressBar(), 37);
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
  EXPECT_TRUE(CallsOf(sim::Op::Lock).empty());
  EXPECT_EQ(sim::SoundsPlayed(), (std::vector<std::string>{"warning.wav", "ding.wav"}));
  EXPECT_TRUE(headless::MainVisible());
  EXPECT_FALSE(headless::ProgressVisible());
  EXPECT_EQ(ResumePoint.MethodId, 5);
}

// A record whose range ends short of the device (its run was sized by a file system that ends
// before its volume) is resumed, and the resumed run's checkpoints save the device's whole
// length: a second interruption leaves a record that still reaches the end, under the size
// text of that length.
TEST_F(ResumeCommandTest, ARecordEndingShortOfTheDeviceIsResumedOverTheWholeDevice) {
  struct Case {
    const char* name;
    bool disk;
    std::uint32_t blockCount;
    std::uint32_t tailBytes;
  };
  const Case cases[] = {
      {"volume, one sector short", false, 15, static_cast<std::uint32_t>(kMiB - 512)},
      {"volume, a tail of 3000 bytes", false, 15, 3000},
      {"volume, a block short", false, 15, 0},
      {"disk, one sector short", true, 15, static_cast<std::uint32_t>(kMiB - 512)},
      {"disk, a tail of 3000 bytes", true, 15, 3000},
      {"disk, a block short", true, 15, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Load();
    BreakpointValues record = Record(0, 0, 4, c.blockCount, "15 MB");
    record.TailBytes = c.tailBytes;
    ASSERT_TRUE(c.disk ? sim::WriteDisk(3, 0, RecordBytes(record)) : sim::WriteVolume('E', 0, RecordBytes(record)));
    Select(c.disk ? ui::kPageWipeDisk : ui::kPageWipeDrive, c.disk ? "Disk3" : "E:\\");
    ForgetSetup();
    const std::string path = c.disk ? "\\\\.\\physicaldrive3" : "\\\\.\\E:";
    // Cancelled once block 14, inside the record's range, has been written.
    headless::SetPumpHook([path](long) {
      for (const sim::Call& call : CallsOf(sim::Op::Write)) {
        if (call.path == path && call.offset == 14 * kMiB && call.bytes == kBlockSize) app::CancelClicked();
      }
    });
    headless::QueueAnswers({ui::kDialogYes});
    ResumeCommand();
    headless::SetPumpHook(nullptr);

    BreakpointValues saved;
    ASSERT_TRUE(FindBreakpoint(c.disk ? DiskDevicePath(3) : VolumeDevicePath("E:"), &saved)) << "the cancelled run left no record";
    EXPECT_EQ(saved.StartBlock, 15u);
    EXPECT_EQ(saved.BlockCount, 16u);
    EXPECT_EQ(saved.TailBytes, 0u);
    EXPECT_EQ(FieldText(saved.CapacityText), FormatSizeText(16 * kMiB));

    // Resumed again, the run ends at the device's end and succeeds.
    Select(c.disk ? ui::kPageWipeDisk : ui::kPageWipeDrive, c.disk ? "Disk3" : "E:\\");
    ForgetSetup();
    headless::QueueAnswers({ui::kDialogYes});
    ResumeCommand();
    const std::vector<sim::Call> writes = BlockWritesOn(path);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes.front().offset, 15 * kMiB);
    EXPECT_EQ(sim::SoundsPlayed().back(), "finish.wav");
  }
}

}  // namespace
