// "Wipe it now" from the click to the closing sound: the refusals, the questions, the format
// offer, the progress window handed over to the run, and what the run's end brings.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "tests/app_machine.h"
#include "wipe/methods.h"

namespace {

using app_test::AppTest;
using app_test::kMiB;

const char* const kDriveQuestion2 =
    "Every byte on the drive will be permanently erased and no chance to recover the data."
    "\nAre you sure you want to process?";
const char* const kDiskQuestion2 =
    "Every byte on the disk will be permanently erased and no chance to recover the data."
    "\nAre you sure you want to process?";

const int kYes = ui::kDialogYes;
const int kNo = ui::kDialogNo;

class WipeCommandTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    // FORMAT.COM gives a wiped volume its file system back at the first poll.
    machine_.formatPolls = 1;
  }

  // A started program with the main window up, this page active and this row checked.
  void Choose(int page, const std::string& caption) {
    Start();
    ui::ShowMainWindow();
    headless::SetActivePage(page);
    Check(page == ui::kPageWipeDrive ? ui::List::Drive : ui::List::Disk, caption);
  }

  static void ExpectIdleScreen() {
    EXPECT_TRUE(headless::MainVisible());
    EXPECT_FALSE(headless::ProgressVisible());
  }

  static std::vector<std::string> DialogCaptions() {
    std::vector<std::string> captions;
    for (const headless::Dialog& dialog : headless::Dialogs()) captions.push_back(dialog.caption);
    return captions;
  }

  static bool Logged(const std::string& text) {
    for (const std::string& line : headless::LogTexts()) {
      if (line == text) return true;
    }
    return false;
  }
};

// ---- Nothing checked ------------------------------------------------------------------------

struct ChooseCase {
  const char* name;
  int page;
  const char* driveRow;  // checked before the click; nullptr: none
  const char* line;
};

TEST_F(WipeCommandTest, WithoutACheckedRowOfTheActivePageItAsksToChooseFirstSilently) {
  const ChooseCase cases[] = {
      {"drive page, nothing checked", ui::kPageWipeDrive, nullptr, "Please choose the drive first."},
      {"disk page, nothing checked", ui::kPageWipeDisk, nullptr, "Please choose the disk first."},
      {"disk page, a drive checked", ui::kPageWipeDisk, "E:\\", "Please choose the disk first."},
  };
  for (const ChooseCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    Start();
    ui::ShowMainWindow();
    if (c.driveRow) Check(ui::List::Drive, c.driveRow);
    headless::SetActivePage(c.page);

    app::WipeItNowClicked();

    EXPECT_EQ(headless::LogTexts(), std::vector<std::string>{c.line});
    EXPECT_TRUE(sim::SoundsPlayed().empty());
    EXPECT_TRUE(headless::Dialogs().empty());
    EXPECT_EQ(DeviceWrites(), 0u);
    ExpectIdleScreen();
  }
}

// ---- Refusals -------------------------------------------------------------------------------

struct RefusalCase {
  const char* name;
  std::function<void(sim::Machine&)> change;
  int page;
  const char* target;
  const char* line;  // nullptr: not refused, the first question comes
};

TEST_F(WipeCommandTest, RefusesTheSystemVolumeTheSystemDiskAndARemovableDisk) {
  auto same = [](sim::Machine&) {};
  auto lowerCaseWindows = [](sim::Machine& m) { m.windowsDirectory = "c:\\windows"; };
  auto systemExtentsFail = [](sim::Machine& m) { m.volumes[0].extentsFail = true; };
  auto noWindowsDirectory = [](sim::Machine& m) { m.windowsDirectory = ""; };
  auto windowsOnRamDisk = [](sim::Machine& m) {  // WinPE
    m.windowsDirectory = "X:\\Windows";
    sim::Volume ramDisk = sim::VolumeOn('X', -1, 0, 32 * 1048576, "NTFS", "Boot");
    ramDisk.driveType = platform::kDriveRamDisk;
    m.volumes.push_back(ramDisk);
  };
  const RefusalCase cases[] = {
      {"the Windows volume", same, ui::kPageWipeDrive, "C:\\", "It is current Windows drive, can not wipe."},
      {"the Windows volume named in lower case", lowerCaseWindows, ui::kPageWipeDrive, "C:\\",
       "It is current Windows drive, can not wipe."},
      {"the Windows volume whose disk is unknown", systemExtentsFail, ui::kPageWipeDrive, "C:\\",
       "It is current Windows drive, can not wipe."},
      {"the Windows disk", same, ui::kPageWipeDisk, "Disk0", "Current Windows drive on the disk, can not wipe."},
      {"the Windows disk named in lower case", lowerCaseWindows, ui::kPageWipeDisk, "Disk0",
       "Current Windows drive on the disk, can not wipe."},
      {"a removable disk", same, ui::kPageWipeDisk, "Disk2", "It is removable drive, please wipe it in drive mode."},
      {"a data volume", same, ui::kPageWipeDrive, "E:\\", nullptr},
      {"a removable volume", same, ui::kPageWipeDrive, "F:\\", nullptr},
      {"a data disk", same, ui::kPageWipeDisk, "Disk1", nullptr},
      {"C: when the Windows directory cannot be read", noWindowsDirectory, ui::kPageWipeDrive, "C:\\", nullptr},
      // Without the system volume's disk number (a system volume over two disks names none)
      // any disk may hold Windows.
      {"disk 0 when the system volume's disk is unknown", systemExtentsFail, ui::kPageWipeDisk, "Disk0",
       "The disk of the current Windows drive is unknown, can not wipe a disk."},
      {"a data disk when the system volume's disk is unknown", systemExtentsFail, ui::kPageWipeDisk, "Disk1",
       "The disk of the current Windows drive is unknown, can not wipe a disk."},
      {"a data disk when the Windows directory cannot be read", noWindowsDirectory, ui::kPageWipeDisk, "Disk1",
       "The disk of the current Windows drive is unknown, can not wipe a disk."},
      // WinPE runs Windows from a RAM disk that no disk holds: every disk may be wiped.
      {"disk 0 when Windows runs from a RAM disk", windowsOnRamDisk, ui::kPageWipeDisk, "Disk0", nullptr},
      {"a data disk when Windows runs from a RAM disk", windowsOnRamDisk, ui::kPageWipeDisk, "Disk1", nullptr},
      {"C: when Windows runs from a RAM disk", windowsOnRamDisk, ui::kPageWipeDrive, "C:\\", nullptr},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    machine_ = DefaultMachine();
    c.change(machine_);
    Choose(c.page, c.target);

    app::WipeItNowClicked();  // no answers queued: a question is answered No

    if (c.line) {
      EXPECT_EQ(headless::LogTexts(), std::vector<std::string>{c.line});
      EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>{"ding.wav"});
      EXPECT_TRUE(headless::Dialogs().empty());
    } else {
      EXPECT_TRUE(headless::LogTexts().empty());
      EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>{"warning.wav"});
      EXPECT_EQ(DialogCaptions(), std::vector<std::string>{"Confirm 1 of 2"});
    }
    EXPECT_EQ(DeviceWrites(), 0u);
    ExpectIdleScreen();
  }
}

// ---- The two questions ------------------------------------------------------------------------

struct QuestionCase {
  const char* name;
  int page;
  const char* target;
  std::vector<int> answers;
  std::vector<std::string> texts;
};

TEST_F(WipeCommandTest, NoToEitherQuestionEndsTheCommandWithoutAWord) {
  const std::string driveQuestion1 = "You have selected to wipe drive E:\nAre you sure?";
  const std::string diskQuestion1 = "You have selected to wipe disk1\nAre you sure?";
  const QuestionCase cases[] = {
      {"drive, No at the first", ui::kPageWipeDrive, "E:\\", {kNo}, {driveQuestion1}},
      {"drive, No at the second", ui::kPageWipeDrive, "E:\\", {kYes, kNo}, {driveQuestion1, kDriveQuestion2}},
      {"disk, No at the first", ui::kPageWipeDisk, "Disk1", {kNo}, {diskQuestion1}},
      {"disk, No at the second", ui::kPageWipeDisk, "Disk1", {kYes, kNo}, {diskQuestion1, kDiskQuestion2}},
  };
  for (const QuestionCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    Choose(c.page, c.target);
    // Left over from an earlier run; a command that stops before the run changes nothing.
    ui::SetShutdownBox(true);
    ui::SetFormatBox(false, true);
    headless::QueueAnswers(c.answers);
    NoteDialogsAtEachSound();

    app::WipeItNowClicked();

    EXPECT_EQ(dialogsAtSound_, EachBeforeItsDialog(c.texts.size()));
    ASSERT_EQ(headless::Dialogs().size(), c.texts.size());
    for (std::size_t i = 0; i < c.texts.size(); ++i) {
      const headless::Dialog& dialog = headless::Dialogs()[i];
      EXPECT_EQ(dialog.kind, "confirm");
      EXPECT_EQ(dialog.caption, i == 0 ? "Confirm 1 of 2" : "Confirm 2 of 2");
      EXPECT_EQ(dialog.icon, ui::Icon::Stop);
      EXPECT_EQ(dialog.text, c.texts[i]);
    }
    EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>(c.texts.size(), "warning.wav"));
    EXPECT_TRUE(headless::LogTexts().empty());
    EXPECT_EQ(DeviceWrites(), 0u);
    EXPECT_EQ(headless::PumpCount(), 0);
    EXPECT_TRUE(ui::ShutdownBoxChecked());
    EXPECT_FALSE(ui::FormatBoxChecked());
    ExpectIdleScreen();
  }
}

// ---- The format offer ------------------------------------------------------------------------

class FormatOfferTest : public WipeCommandTest {
 protected:
  void SetUp() override {
    WipeCommandTest::SetUp();
    machine_.volumes[1].fileSystem = "";  // E: has no file system, so no size
  }
};

TEST_F(FormatOfferTest, AnUnformattedVolumeIsOfferedForFormattingWithTheDing) {
  Choose(ui::kPageWipeDrive, "E:\\");
  ASSERT_EQ(DriveTable[SelectedDriveRow].Capacity, 0u);
  const int row = SelectedDriveRow;
  NoteDialogsAtEachSound();

  app::WipeItNowClicked();  // answered No

  EXPECT_EQ(dialogsAtSound_, EachBeforeItsDialog(1));
  ASSERT_EQ(headless::Dialogs().size(), 1u);
  const headless::Dialog& offer = headless::Dialogs()[0];
  EXPECT_EQ(offer.caption, "Format the drive");
  EXPECT_EQ(offer.icon, ui::Icon::Information);
  EXPECT_EQ(offer.text, "The drive E: is not formatted, you should format it before wiping.");
  EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>{"ding.wav"});
  EXPECT_TRUE(CallsOf(sim::Op::ShellFormat).empty());
  EXPECT_TRUE(headless::LogTexts().empty());
  EXPECT_EQ(SelectedDriveRow, row);  // nothing was refilled
  ExpectIdleScreen();
}

struct OfferCase {
  int dialogResult;
  const char* line;  // nullptr: none
};

TEST_F(FormatOfferTest, AcceptingFormatsThroughTheDialogRefillsBothListsAndWipesNothing) {
  const OfferCase cases[] = {
      {0, "Successfully formatted the drive."},
      {-2, "The format was canceled."},
      {-1, nullptr},
  };
  for (const OfferCase& c : cases) {
    SCOPED_TRACE(c.dialogResult);
    headless::Reset();
    machine_.formatDialogResult = c.dialogResult;
    Choose(ui::kPageWipeDrive, "E:\\");
    Check(ui::List::Disk, "Disk1");
    headless::QueueAnswers({kYes, kYes, kYes});

    app::WipeItNowClicked();

    EXPECT_EQ(DialogCaptions(), std::vector<std::string>{"Format the drive"});
    EXPECT_EQ(CallsOf(sim::Op::ShellFormat).size(), 1u);
    EXPECT_EQ(headless::LogTexts(), c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>{"ding.wav"});
    EXPECT_EQ(SelectedDriveRow, -1);
    EXPECT_EQ(SelectedDiskRow, -1);
    for (int i = 0; i < ui::RowCount(ui::List::Drive); ++i) EXPECT_FALSE(ui::RowChecked(ui::List::Drive, i));
    EXPECT_EQ(DeviceWrites(), 0u);
    ExpectIdleScreen();
  }
}

// ---- The progress window handed over to the run -----------------------------------------------

struct Snapshot {
  bool progressVisible = false;
  bool mainVisible = true;
  bool shutdownChecked = true;
  bool formatChecked = false;
  bool formatEnabled = false;
  int bar = -1;
  std::vector<std::string> values;
};

Snapshot TakeSnapshot() {
  Snapshot s;
  s.progressVisible = headless::ProgressVisible();
  s.mainVisible = headless::MainVisible();
  s.shutdownChecked = ui::ShutdownBoxChecked();
  s.formatChecked = ui::FormatBoxChecked();
  s.formatEnabled = headless::FormatBoxEnabled();
  s.bar = headless::ProgressBar();
  for (ui::ProgressValue v : {ui::ProgressValue::Speed, ui::ProgressValue::Amount, ui::ProgressValue::Elapsed,
                              ui::ProgressValue::TimeLeft}) {
    s.values.push_back(headless::ProgressValue(v));
  }
  return s;
}

// Whatever an earlier run left in the progress window.
void DirtyProgressWindow(bool formatBox) {
  ui::SetProgressBar(73);
  ui::SetFormatBox(formatBox, formatBox);
  ui::SetShutdownBox(true);
  ui::SetProgressValue(ui::ProgressValue::Speed, "31 MB/S");
  ui::SetProgressValue(ui::ProgressValue::Amount, "9 MB/12 MB");
  ui::SetProgressValue(ui::ProgressValue::Elapsed, "0h1m2s");
  ui::SetProgressValue(ui::ProgressValue::TimeLeft, "0h0m9s");
}

struct StartStateCase {
  const char* name;
  int page;
  const char* target;
  bool formatBox;  // checked and enabled when the run starts
};

TEST_F(WipeCommandTest, TheRunStartsWithAFreshProgressWindowAndTheMainWindowHidden) {
  const StartStateCase cases[] = {
      {"drive", ui::kPageWipeDrive, "E:\\", true},
      {"disk", ui::kPageWipeDisk, "Disk1", false},
  };
  for (const StartStateCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    Choose(c.page, c.target);
    DirtyProgressWindow(!c.formatBox);
    std::vector<Snapshot> seen;
    headless::SetPumpHook([&](long pump) {
      if (pump <= 2) seen.push_back(TakeSnapshot());
    });
    headless::QueueAnswers({kYes, kYes});

    app::WipeItNowClicked();

    ASSERT_EQ(seen.size(), 2u);
    // The hand-over is drawn first: progress up, main window gone, no shutdown asked for.
    EXPECT_TRUE(seen[0].progressVisible);
    EXPECT_FALSE(seen[0].mainVisible);
    EXPECT_FALSE(seen[0].shutdownChecked);
    // The run's first event pump comes before it shows anything of its own.
    const Snapshot& start = seen[1];
    EXPECT_TRUE(start.progressVisible);
    EXPECT_FALSE(start.mainVisible);
    EXPECT_FALSE(start.shutdownChecked);
    EXPECT_EQ(start.formatChecked, c.formatBox);
    EXPECT_EQ(start.formatEnabled, c.formatBox);
    EXPECT_EQ(start.bar, 0);
    EXPECT_EQ(start.values, (std::vector<std::string>{"0 MB/S", "0 MB/0 MB", "0h0m0s", "0h0m0s"}));
  }
}

// ---- The end of the run -----------------------------------------------------------------------

struct EndCase {
  const char* name;
  int page;
  const char* target;
  std::vector<int> answers;
  bool cancel;
  bool failWrites;
  const char* lastSound;
  const char* line;  // a line the run leaves in the log
};

TEST_F(WipeCommandTest, TheMainWindowReturnsWithFinishAfterSuccessAndDingOtherwise) {
  const EndCase cases[] = {
      {"drive wiped", ui::kPageWipeDrive, "E:\\", {kYes, kYes}, false, false, "finish.wav",
       "Successfully formatted the drive."},
      {"any answer but No goes on", ui::kPageWipeDrive, "E:\\", {6, 7}, false, false, "finish.wav",
       "Successfully formatted the drive."},
      {"disk wiped", ui::kPageWipeDisk, "Disk1", {kYes, kYes}, false, false, "finish.wav",
       "Administrator's tool->Computer management->Disk management."},
      {"drive cancelled", ui::kPageWipeDrive, "E:\\", {kYes, kYes}, true, false, "ding.wav", "User canceled."},
      {"disk cancelled", ui::kPageWipeDisk, "Disk1", {kYes, kYes}, true, false, "ding.wav", "User canceled."},
      {"drive aborted", ui::kPageWipeDrive, "E:\\", {kYes, kYes}, false, true, "ding.wav", "Wipe aborted!"},
  };
  for (const EndCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    machine_ = DefaultMachine();
    machine_.formatPolls = 1;
    machine_.volumes[1].length = 12 * kMiB;  // room for eleven failed blocks in a row
    Choose(c.page, c.target);
    if (c.failWrites) sim::FailWrites("\\\\.\\E:", 0, 12);
    if (c.cancel) {
      headless::SetPumpHook([](long pump) {
        if (pump == 3) app::CancelClicked();
      });
    }
    headless::QueueAnswers(c.answers);

    app::WipeItNowClicked();
    sim::ClearFaults();

    const std::vector<std::string> sounds = sim::SoundsPlayed();
    EXPECT_EQ(sounds, (std::vector<std::string>{"warning.wav", "warning.wav", c.lastSound}));
    EXPECT_TRUE(Logged(c.line));
    ExpectIdleScreen();
    // The run refilled the lists: the wiped target is no longer checked.
    EXPECT_EQ(SelectedDriveRow, -1);
    EXPECT_EQ(SelectedDiskRow, -1);
  }
}

TEST_F(WipeCommandTest, TheMethodBoxIndexChoosesTheMethodOfTheRun) {
  for (int method = 0; method < kMethodCount; ++method) {
    SCOPED_TRACE(method);
    headless::Reset();
    Choose(ui::kPageWipeDisk, "Disk1");
    headless::SetMethodIndex(method);
    headless::QueueAnswers({kYes, kYes});
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, false);

    app::WipeItNowClicked();

    // Without verification a disk run leaves the caption of its last pass.
    const int lastPass = WipeMethods[method].passCount - 1;
    EXPECT_EQ(headless::ProgressCaption(), "  Wiping disk1" + PassCaptionSuffix(method, lastPass));
    EXPECT_EQ(sim::SoundsPlayed().back(), "finish.wav");
  }
}

// ---- Shutdown after the run --------------------------------------------------------------------

struct ShutdownCase {
  const char* name;
  int page;
  const char* target;
  bool tickedBefore;  // left ticked by an earlier run
  long tickAt;        // pump at which the user ticks the box; 0: never
  long untickAt;      // pump at which the user unticks it again; 0: never
  long cancelAt;      // pump at which the user presses Cancel; 0: never
  bool failWrites;
  std::size_t powerOffs;
};

TEST_F(WipeCommandTest, ShutsDownOnceAfterASuccessfulRunOnlyWhenTheBoxIsTickedAtTheEnd) {
  const ShutdownCase cases[] = {
      {"drive, ticked during the run", ui::kPageWipeDrive, "E:\\", false, 2, 0, 0, false, 1},
      {"disk, ticked during the run", ui::kPageWipeDisk, "Disk1", false, 2, 0, 0, false, 1},
      {"ticked before the command only", ui::kPageWipeDrive, "E:\\", true, 0, 0, 0, false, 0},
      {"ticked, then unticked", ui::kPageWipeDrive, "E:\\", false, 2, 5, 0, false, 0},
      {"ticked, then cancelled", ui::kPageWipeDrive, "E:\\", false, 2, 0, 6, false, 0},
      {"disk ticked, then cancelled", ui::kPageWipeDisk, "Disk1", false, 2, 0, 6, false, 0},
      {"ticked, then aborted", ui::kPageWipeDrive, "E:\\", false, 2, 0, 0, true, 0},
  };
  for (const ShutdownCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    machine_ = DefaultMachine();
    machine_.formatPolls = 1;
    machine_.volumes[1].length = 12 * kMiB;
    Choose(c.page, c.target);
    ui::SetShutdownBox(c.tickedBefore);
    if (c.failWrites) sim::FailWrites("\\\\.\\E:", 0, 12);
    headless::SetPumpHook([&c](long pump) {
      if (pump == c.tickAt) ui::SetShutdownBox(true);
      if (pump == c.untickAt) ui::SetShutdownBox(false);
      if (pump == c.cancelAt) app::CancelClicked();
    });
    headless::QueueAnswers({kYes, kYes});

    app::WipeItNowClicked();
    sim::ClearFaults();

    EXPECT_EQ(CallsOf(sim::Op::PowerOff).size(), c.powerOffs);
    ExpectIdleScreen();
  }
}

TEST_F(WipeCommandTest, ThePowerOffComesAfterTheFormatStep) {
  Choose(ui::kPageWipeDrive, "E:\\");
  headless::SetPumpHook([](long pump) {
    if (pump == 2) ui::SetShutdownBox(true);
  });
  headless::QueueAnswers({kYes, kYes});

  app::WipeItNowClicked();

  const long batch = FirstCall(sim::Op::RunHidden, "\"C:\\Program Files\\Dunmere\\format.bat\"");
  const long powerOff = FirstCall(sim::Op::PowerOff);
  ASSERT_GE(batch, 0);
  ASSERT_GE(powerOff, 0);
  EXPECT_LT(batch, powerOff);
  EXPECT_EQ(CallsOf(sim::Op::PowerOff).size(), 1u);
  EXPECT_EQ(sim::SoundsPlayed().back(), "finish.wav");
}

}  // namespace
