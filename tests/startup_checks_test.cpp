// What creating and closing the main window does: caption, settings, quiet critical errors,
// the platform and disk checks, and the first filling of both lists.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/handlers.h"
#include "app/settings.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;

const char* const kWin9xMessage = "Dunmere does not support Win9x system (Win95 Win98 WinMe). ";
const char* const kNoDiskMessage =
    "Did not find any disk drive in your machine. Please be sure that you are logged on as "
    "administrator and close any other disk management software.";

class StartupTest : public AppTest {
 protected:
  // Only the disks named stay readable; the others exist but cannot be opened.
  void KeepReadable(const std::set<int>& readable) {
    for (sim::Disk& disk : machine_.disks) disk.openable = readable.count(disk.number) != 0;
  }

  static std::vector<std::string> WarningTexts() {
    std::vector<std::string> texts;
    for (const headless::Dialog& dialog : headless::Dialogs()) {
      EXPECT_EQ(dialog.kind, "warning");
      EXPECT_EQ(dialog.caption, "Warning");
      texts.push_back(dialog.text);
    }
    return texts;
  }
};

TEST_F(StartupTest, ANormalStartSetsTheCaptionQuietsErrorsAndFillsBothLists) {
  Load();
  platform::ChangeErrorMode(0x8000);

  app::FormCreate();

  EXPECT_EQ(headless::MainCaption(), "  Dunmere v1.0.0");
  EXPECT_TRUE(headless::Dialogs().empty());
  EXPECT_FALSE(ui::TerminationRequested());
  EXPECT_TRUE(sim::SoundsPlayed().empty());
  EXPECT_EQ(sim::ErrorMode(), platform::kSemFailCriticalErrors);
  EXPECT_EQ(ui::RowCount(ui::List::Drive), 3);
  EXPECT_EQ(ui::RowCount(ui::List::Disk), 3);
  EXPECT_EQ(SelectedDriveRow, -1);
  EXPECT_EQ(SelectedDiskRow, -1);

  app::FormClose();
  EXPECT_EQ(sim::ErrorMode(), 0x8000u);
}

TEST_F(StartupTest, TheDriveListIsFilledBeforeTheDiskList) {
  Load();
  app::FormCreate();
  // The disk list names each disk's volumes, so it must be built from a fresh drive table.
  const auto disks = headless::Rows(ui::List::Disk);
  ASSERT_EQ(disks.size(), 3u);
  EXPECT_EQ(disks[1][0], "Disk1");
  EXPECT_NE(disks[1][2].find("E:\\"), std::string::npos) << disks[1][2];
}

struct StartCase {
  const char* name;
  std::uint32_t platformId;
  std::set<int> readable;
  bool sectorLibrary;
  std::vector<std::string> messages;
};

TEST_F(StartupTest, RefusesUnsupportedPlatformsAndMachinesWithoutAReadableDisk) {
  const StartCase cases[] = {
      {"NT with disk 0", platform::kPlatformNt, {0, 1, 2}, false, {}},
      {"NT with only disk 3", platform::kPlatformNt, {3}, false, {}},
      {"NT with only disk 4", platform::kPlatformNt, {4}, false, {}},
      {"NT with only disk 5, beyond the probe", platform::kPlatformNt, {5}, false, {kNoDiskMessage}},
      {"NT without a readable disk", platform::kPlatformNt, {}, false, {kNoDiskMessage}},
      {"9x with the sector library", platform::kPlatformWindows9x, {0, 1, 2}, true, {kWin9xMessage}},
      {"9x without the sector library", platform::kPlatformWindows9x, {0, 1, 2}, false,
       {kWin9xMessage, kNoDiskMessage}},
      {"Win32s without a disk", platform::kPlatformWin32s, {}, false, {kWin9xMessage, kNoDiskMessage}},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    machine_ = DefaultMachine();
    for (int extra = 3; extra <= 5; ++extra) machine_.disks.push_back(app_test::MakeDisk(extra, 8 * app_test::kMiB));
    machine_.platformId = c.platformId;
    machine_.sectorLibrary = c.sectorLibrary;
    KeepReadable(c.readable);
    Load();
    NoteDialogsAtEachSound();

    app::FormCreate();

    EXPECT_EQ(WarningTexts(), c.messages);
    EXPECT_EQ(sim::SoundsPlayed(), std::vector<std::string>(c.messages.size(), "ding.wav"));
    EXPECT_EQ(dialogsAtSound_, EachBeforeItsDialog(c.messages.size()));
    EXPECT_EQ(ui::TerminationRequested(), !c.messages.empty());
    // A refusal only asks for termination: the lists are filled all the same.
    EXPECT_EQ(ui::RowCount(ui::List::Drive), 3);
  }
}

TEST_F(StartupTest, TheProbeStopsAtTheFirstReadableDisk) {
  machine_.disks.push_back(app_test::MakeDisk(3, 8 * app_test::kMiB));
  machine_.disks.push_back(app_test::MakeDisk(4, 8 * app_test::kMiB));
  KeepReadable({3, 4});
  Load();

  StartupChecks();

  std::vector<std::string> opened;
  for (const sim::Call& call : CallsOf(sim::Op::Open)) opened.push_back(call.path);
  EXPECT_EQ(opened, (std::vector<std::string>{"\\\\.\\physicaldrive0", "\\\\.\\physicaldrive1",
                                              "\\\\.\\physicaldrive2", "\\\\.\\physicaldrive3"}));
  EXPECT_TRUE(headless::Dialogs().empty());
  EXPECT_FALSE(ui::TerminationRequested());
}

TEST_F(StartupTest, TheNineXMessageFollowsTheDiskProbe) {
  machine_.platformId = platform::kPlatformWindows9x;
  machine_.sectorLibrary = true;
  Load();

  StartupChecks();

  const long probe = FirstCall(sim::Op::SectorLibrary);
  const long sound = FirstCall(sim::Op::PlaySound);
  ASSERT_GE(probe, 0);
  ASSERT_GE(sound, 0);
  EXPECT_LT(probe, sound);
}

TEST_F(StartupTest, IsNtPlatformAsksTheSystemAtEveryCall) {
  Load();
  const std::uint32_t ids[] = {platform::kPlatformNt, platform::kPlatformWindows9x, platform::kPlatformWin32s,
                               platform::kPlatformNt};
  const bool expected[] = {true, false, false, true};
  for (int i = 0; i < 4; ++i) {
    sim::SetPlatformId(ids[i]);
    EXPECT_EQ(IsNtPlatform(), expected[i]) << ids[i];
  }
}

TEST_F(StartupTest, AFailedStartLeavesSettingBinUntouched) {
  std::vector<std::uint8_t> saved(50, 0x5A);
  saved[0] = 0xFF;
  WriteHostFile("setting.bin", saved);
  machine_.platformId = platform::kPlatformWindows9x;
  Load();

  EXPECT_EQ(app::RunProgram(), 0);

  EXPECT_TRUE(ui::TerminationRequested());
  EXPECT_FALSE(headless::MainVisible());
  EXPECT_TRUE(CallsOf(sim::Op::WriteFile).empty());
  EXPECT_EQ(ReadHostFile("setting.bin"), saved);
  // The settings were still read: the refusal played no sound.
  EXPECT_TRUE(sim::SoundsPlayed().empty());
}

TEST_F(StartupTest, ANormalCloseWritesTheSettings) {
  Load();
  EXPECT_EQ(app::RunProgram(), 0);
  EXPECT_TRUE(headless::MainVisible());
  EXPECT_FALSE(HostFileExists("setting.bin"));

  app::DisableSoundClicked();
  app::FormClose();

  std::vector<std::uint8_t> expected(50, 0);
  expected[0] = 0xFF;
  EXPECT_EQ(ReadHostFile("setting.bin"), expected);
}

TEST_F(StartupTest, ASecondCopyListsTheDevicesThenSaysSoAndEndsWithoutSaving) {
  Load();
  sim::HoldMutex("Dunmere designed by Korvane");

  EXPECT_EQ(app::RunProgram(), 0);

  ASSERT_EQ(headless::Dialogs().size(), 1u);
  EXPECT_EQ(headless::Dialogs()[0].kind, "already-running");
  EXPECT_EQ(headless::Dialogs()[0].text, "Dunmere is already running!");
  EXPECT_EQ(ui::RowCount(ui::List::Disk), 3);
  EXPECT_TRUE(ui::TerminationRequested());
  EXPECT_FALSE(headless::MainVisible());
  EXPECT_TRUE(CallsOf(sim::Op::WriteFile).empty());
}

}  // namespace
