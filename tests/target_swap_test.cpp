// A target swapped after it was chosen: read again through the handle the run will write, a
// device that is not the chosen one is let go with one line before anything is written.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/target_lists.h"
#include "app/window_runs.h"
#include "devices/target.h"
#include "tests/wipe_fixture.h"

namespace {

using namespace wipe_test;

const std::string kDiskSwapped =
    "Disk 1 is not the disk that was selected (its serial or size changed); nothing was written. Choose it again.";
std::string DriveSwapped(const std::string& change) {
  return "Drive E: is not the drive that was selected (" + change + "); nothing was written. Choose it again.";
}

// Disk 0: C: (Windows). Disk 1 (serial S1): E: (NTFS, "Données", serial number 5EED0001). Disk 2
// (serial S2): no volume.
sim::Machine SwapMachine() {
  sim::Machine machine;
  machine.disks = {MakeDisk(0, 40 * kMiB), MakeDisk(1, 8 * kMiB), MakeDisk(2, 8 * kMiB)};
  machine.disks[1].model = "FIRST DISK";
  machine.disks[1].serial = "S1";
  machine.disks[2].model = "SECOND DISK";
  machine.disks[2].serial = "S2";
  machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB), MakeVolume('E', 1, kMiB, 4 * kMiB, "NTFS", "Donn\xC3\xA9" "es")};
  machine.volumes[1].volumeSerial = 0x5EED0001;
  return machine;
}

struct SwapCase {
  const char* what;
  bool disk;                                 // the chosen target: disk 1, else E:
  std::function<void(sim::Machine*)> swap;   // what the machine is after the choice
  std::string line;                          // the refusal; empty: the run goes ahead
};

std::string CaseName(const ::testing::TestParamInfo<SwapCase>& param) {
  std::string name;
  for (const char* p = param.param.what; *p != '\0'; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

class TargetSwapTest : public EngineTest, public ::testing::WithParamInterface<SwapCase> {
 protected:
  // The chosen row as the command takes it, then the machine changed under it.
  Target ChooseThenSwap(const SwapCase& c) {
    Load(SwapMachine());
    if (c.disk) {
      SelectDisk(1);
    } else {
      SelectDrive("E:\\");
    }
    Target chosen;
    EXPECT_TRUE(c.disk ? CheckedTargetOf(ui::List::Disk, SelectedDiskRow, &chosen)
                       : CheckedTargetOf(ui::List::Drive, SelectedDriveRow, &chosen));
    sim::Machine swapped = SwapMachine();
    c.swap(&swapped);
    std::string error;
    EXPECT_TRUE(sim::Load(swapped, &error)) << error;
    sim::ClearCalls();
    headless::Reset();
    return chosen;
  }
};

TEST_P(TargetSwapTest, NothingIsWrittenToADeviceThatIsNotTheChosenOne) {
  const SwapCase& c = GetParam();
  const Target chosen = ChooseThenSwap(c);
  const bool succeeded = RunInWindows(chosen, false, 0);
  if (c.line.empty()) {
    EXPECT_TRUE(succeeded);
    EXPECT_FALSE(CallsOf(sim::Op::Write).empty());
    return;
  }
  EXPECT_FALSE(succeeded);
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty()) << "the swapped device was written";
  EXPECT_EQ(LinesEqualTo(c.line), 1);
  EXPECT_EQ(sim::OpenHandles(), 0);
  // A device that is gone is refused as it always was.
  if (c.line == "Open disk error!" || c.line == "Unable to dismount the drive!") return;
  // The lists show the machine as it is now, nothing checked.
  EXPECT_EQ(SelectedDiskRow, -1);
  EXPECT_EQ(SelectedDriveRow, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Swaps, TargetSwapTest,
    ::testing::Values(
        SwapCase{"unchanged disk", true, [](sim::Machine*) {}, ""},
        SwapCase{"another disk under the same number", true,
                 [](sim::Machine* m) {
                   m->disks[1].model = "OTHER DISK";
                   m->disks[1].serial = "X9";
                 },
                 kDiskSwapped},
        SwapCase{"another disk of the same model and size under the same number", true,
                 [](sim::Machine* m) { m->disks[1].serial = "S1B"; }, kDiskSwapped},
        SwapCase{"the same disk resized", true, [](sim::Machine* m) { m->disks[1].size = 12 * kMiB; }, kDiskSwapped},
        SwapCase{"a disk without identity of another size", true,
                 [](sim::Machine* m) {
                   m->disks[1].model.clear();
                   m->disks[1].serial.clear();
                   m->disks[1].size = 6 * kMiB;
                 },
                 kDiskSwapped},
        SwapCase{"the disk gone", true, [](sim::Machine* m) { m->disks[1].openable = false; }, "Open disk error!"},
        SwapCase{"unchanged volume", false, [](sim::Machine*) {}, ""},
        SwapCase{"another volume under the same letter", false,
                 [](sim::Machine* m) { m->volumes[1] = MakeVolume('E', 2, kMiB, 4 * kMiB, "NTFS", "Backup"); },
                 DriveSwapped("its disk changed")},
        SwapCase{"another volume of the same size under the same letter on the same disk", false,
                 [](sim::Machine* m) { m->volumes[1] = MakeVolume('E', 1, 3 * kMiB, 4 * kMiB, "NTFS", "Backup"); },
                 DriveSwapped("its place on its disk changed")},
        SwapCase{"an unformatted volume of the same size under the same letter on the same disk", false,
                 [](sim::Machine* m) { m->volumes[1] = MakeVolume('E', 1, 3 * kMiB, 4 * kMiB, ""); },
                 DriveSwapped("its place on its disk changed")},
        SwapCase{"the volume formatted again", false, [](sim::Machine* m) { m->volumes[1].volumeSerial = 0x5EED0002; },
                 DriveSwapped("its serial number changed")},
        SwapCase{"the volume resized", false, [](sim::Machine* m) { m->volumes[1].length = 5 * kMiB; },
                 DriveSwapped("its size changed")},
        SwapCase{"another file system with the same serial number", false,
                 [](sim::Machine* m) { m->volumes[1].fileSystem = "FAT32"; },
                 DriveSwapped("its file system changed")},
        SwapCase{"another label with the same serial number", false,
                 [](sim::Machine* m) { m->volumes[1].label = "Photos"; },
                 DriveSwapped("its label changed")},
        SwapCase{"the volume gone", false, [](sim::Machine* m) { m->volumes.pop_back(); },
                 "Unable to dismount the drive!"}),
    CaseName);

// Through the whole command: the target is swapped after the second confirmation, at the pump
// that hands the screen to the progress window, before the run secures it.
class SwapDuringCommandTest : public TargetSwapTest {};

TEST_P(SwapDuringCommandTest, ASwapAfterTheSecondConfirmationIsRefusedByTheRun) {
  const SwapCase& c = GetParam();
  Load(SwapMachine());
  if (c.disk) {
    SelectDisk(1);
  } else {
    SelectDrive("E:\\");
  }
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
  headless::SetPumpHook([&c](long pump) {
    if (pump != 1) return;
    sim::Machine swapped = SwapMachine();
    c.swap(&swapped);
    std::string error;
    ASSERT_TRUE(sim::Load(swapped, &error)) << error;
    sim::ClearCalls();
  });
  WipeCommand();
  headless::SetPumpHook(nullptr);
  EXPECT_EQ(headless::Dialogs().size(), 2u);
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty()) << "the swapped target was written";
  EXPECT_EQ(LinesEqualTo(c.line), 1);
  EXPECT_EQ(SelectedDiskRow, -1);
  EXPECT_EQ(SelectedDriveRow, -1);
  EXPECT_TRUE(headless::MainVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Swaps, SwapDuringCommandTest,
    ::testing::Values(SwapCase{"another disk", true, [](sim::Machine* m) { m->disks[1].serial = "X9"; }, kDiskSwapped},
                      SwapCase{"another volume", false,
                               [](sim::Machine* m) { m->volumes[1] = MakeVolume('E', 2, kMiB, 4 * kMiB); },
                               DriveSwapped("its disk changed")},
                      SwapCase{"the volume relabelled", false,
                               [](sim::Machine* m) { m->volumes[1].label = "Photos"; },
                               DriveSwapped("its label changed")}),
    CaseName);

// The target is kept when the row is checked: a volume formatted again between the check and
// the command (another program, another user) is not the one chosen, though its letter, size,
// file system and label are the same.
TEST_F(TargetSwapTest, AVolumeFormattedAgainAfterItWasCheckedIsNotWiped) {
  Load(SwapMachine());
  SelectDrive("E:\\");
  ASSERT_TRUE(sim::FormatVolume('E', "NTFS", "Donn\xC3\xA9" "es", 0));
  sim::ClearCalls();
  headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
  WipeCommand();
  EXPECT_EQ(headless::Dialogs().size(), 2u);
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty()) << "the volume formatted again was written";
  EXPECT_EQ(LinesEqualTo(DriveSwapped("its serial number changed")), 1);
  EXPECT_EQ(SelectedDriveRow, -1);
  EXPECT_TRUE(headless::MainVisible());
}

}  // namespace
