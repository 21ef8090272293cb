// Inputs the fuzz targets (tests/fuzz/) found or were built to try, kept as plain tests so they
// run in every build: records that pass their checks but do not fit the device, and a size text
// that fills its 50 bytes without a terminator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/handlers.h"
#include "devices/inventory.h"
#include "tests/inventory_fixture.h"
#include "wipe/methods.h"

namespace {

using namespace inventory_test;

constexpr std::uint64_t kTargetBytes = 4 * kMiB;  // four whole blocks, no tail
const char* const kVolumePath = "\\\\.\\E:";
const char* const kDiskPath = "\\\\.\\physicaldrive2";

// C: holds Windows on disk 0; E: is an unformatted volume of four blocks on disk 1, between
// two other volumes; disk 2, also four blocks, carries no volume.
sim::Machine FourBlockMachine() {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(0, 32 * kMiB), MakeDisk(1, 8 * kMiB), MakeDisk(2, kTargetBytes)};
  machine.volumes = {MakeVolume('C', 0, kMiB, 16 * kMiB, "NTFS", "System"),
                     MakeVolume('D', 1, 0, 2 * kMiB, "NTFS", "Before"), MakeVolume('E', 1, 2 * kMiB, kTargetBytes, ""),
                     MakeVolume('G', 1, 6 * kMiB, 2 * kMiB, "NTFS", "After")};
  return machine;
}

class FuzzRegressionTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    Load(FourBlockMachine());
    ui::ShowMainWindow();
  }

  void Plant(bool disk, const BreakpointValues& values) {
    const std::vector<std::uint8_t> unit = RecordBytes(values);
    ASSERT_TRUE(disk ? sim::WriteDisk(2, 0, unit) : sim::WriteVolume('E', 0, unit));
  }

  // Checks the target's row after a fresh scan, on its page; the rows as they were listed.
  std::vector<std::vector<std::string>> Select(bool disk) {
    app::ScanForHardwareChangesClicked();
    const ui::List list = disk ? ui::List::Disk : ui::List::Drive;
    headless::SetActivePage(disk ? ui::kPageWipeDisk : ui::kPageWipeDrive);
    const auto rows = headless::Rows(list);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i][0] == (disk ? "Disk2" : "E:\\")) headless::ClickCheckBox(list, static_cast<int>(i));
    }
    EXPECT_GE(disk ? SelectedDiskRow : SelectedDriveRow, 0);
    sim::ClearCalls();
    return rows;
  }

  static std::string StatusOf(const std::vector<std::vector<std::string>>& rows, bool disk) {
    for (const auto& row : rows) {
      if (row[0] == (disk ? "Disk2" : "E:\\")) return disk ? row[2] : row[3];
    }
    return "(not listed)";
  }

  // The end of the bytes written on the target without a gap from byte `from` on.
  static std::uint64_t WrittenFrom(const std::string& target, std::uint64_t from) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
    for (const sim::Call& call : CallsOf(sim::Op::Write)) {
      if (call.path == target && call.transferred > 0) spans.emplace_back(call.offset, call.offset + call.transferred);
    }
    std::sort(spans.begin(), spans.end());
    std::uint64_t end = from;
    for (const auto& [first, last] : spans) {
      if (first <= end && last > end) end = last;
    }
    return end;
  }

  static int WritesOutside(const std::string& target) {
    int count = 0;
    for (const sim::Call& call : CallsOf(sim::Op::Write)) {
      if (call.path != target || call.offset + call.bytes > kTargetBytes) ++count;
    }
    return count;
  }
};

// The resume fuzz target's first finding: a record whose check bytes agree but whose range
// reaches past the end of the device (a record of a larger device, such as a copied image).
// Resuming it wrote the blocks that exist, skipped the rest with fewer than eleven failures and
// ended with the finish sound, as if the record's range had been wiped. A record whose range
// ends short of the device (a run sized by a file system that ends before its volume) is
// resumed over the device's whole length from its block on, so its last bytes are written too.
struct RangeCase {
  const char* name;
  bool disk;
  std::uint32_t startBlock;
  std::uint32_t blockCount;
  std::uint32_t tailBytes;
  bool fits;
};

class RecordRangeTest : public FuzzRegressionTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RecordRangeTest, OnlyARecordThatFitsTheDeviceIsABreakpoint) {
  const RangeCase& c = GetParam();
  BreakpointValues values = Record(1, 2, c.startBlock, c.blockCount, "4 MB");
  values.TailBytes = c.tailBytes;
  Plant(c.disk, values);

  BreakpointValues found;
  const std::string target = c.disk ? DiskDevicePath(2) : VolumeDevicePath("E:");
  EXPECT_EQ(c.fits, FindBreakpoint(target, &found));
  const auto rows = Select(c.disk);
  EXPECT_EQ(c.fits ? "Incomplete wipe, resumable." : "", StatusOf(rows, c.disk));

  headless::QueueAnswers({ui::kDialogYes});
  ResumeCommand();

  const std::vector<std::string> log = headless::LogTexts();
  const bool refused = !log.empty() && log.back() == "Break point not found, can not resume.";
  EXPECT_EQ(!c.fits, refused);
  EXPECT_EQ(c.fits ? "finish.wav" : "ding.wav", sim::SoundsPlayed().empty() ? "" : sim::SoundsPlayed().back());
  EXPECT_EQ(0, WritesOutside(c.disk ? kDiskPath : kVolumePath));
  if (!c.fits) {
    EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
  } else {
    EXPECT_EQ(kTargetBytes, WrittenFrom(c.disk ? kDiskPath : kVolumePath, c.startBlock * kMiB))
        << "the resumed pass left bytes before the end of the device unwritten";
  }
  EXPECT_EQ(0, sim::OpenHandles());
}

INSTANTIATE_TEST_SUITE_P(
    FuzzFinding, RecordRangeTest,
    ::testing::Values(RangeCase{"VolumeWholeDevice", false, 1, 4, 0, true},
                      RangeCase{"DiskWholeDevice", true, 1, 4, 0, true},
                      RangeCase{"VolumeFourBlocksTooMany", false, 2, 8, 0, false},
                      RangeCase{"DiskFourBlocksTooMany", true, 2, 8, 0, false},
                      RangeCase{"VolumeTailPastTheEnd", false, 1, 4, 512, false},
                      RangeCase{"VolumeOneSectorShort", false, 1, 3, 1048576 - 512, true},
                      RangeCase{"DiskOneSectorShort", true, 1, 3, 1048576 - 512, true},
                      RangeCase{"VolumeTailOf3000Bytes", false, 1, 3, 3000, true},
                      RangeCase{"DiskTailOf3000Bytes", true, 2, 3, 3000, true},
                      RangeCase{"VolumeOneBlockShort", false, 1, 3, 0, true},
                      RangeCase{"DiskOneBlockShort", true, 3, 3, 0, true},
                      RangeCase{"DiskOneByteShort", true, 1, 3, 1048575, true},
                      RangeCase{"DiskTailOfALargerBlockCount", true, 1, 3, 1048576, true}),
    [](const ::testing::TestParamInfo<RangeCase>& caseInfo) { return std::string(caseInfo.param.name); });

// A size text that fills all 50 bytes of the record without a terminator is shown as its first
// 49 characters wherever it is text, and carried on whole into the next record.
class UnterminatedCapacityTextTest : public FuzzRegressionTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UnterminatedCapacityTextTest, IsShownAs49CharactersAndSavedWhole) {
  const bool disk = GetParam();
  BreakpointValues values = Record(0, 0, 1, 4, "");
  for (int i = 0; i < 50; ++i) values.CapacityText[i] = static_cast<char>('A' + i % 26);
  Plant(disk, values);
  Select(disk);
  // Cancel once the resumed run has written its first block, so its record stays behind.
  headless::SetPumpHook([](long) {
    for (const sim::Call& call : CallsOf(sim::Op::Write)) {
      if (call.bytes == kBlockSize) app::CancelClicked();
    }
  });
  headless::QueueAnswers({ui::kDialogYes});
  ResumeCommand();

  const std::string shown = std::string(values.CapacityText, 49);
  EXPECT_EQ("1 MB/" + shown, headless::ProgressValue(ui::ProgressValue::Amount));
  // The run's last line; the erasure report's line may follow it.
  const std::vector<std::string> log = headless::LogTexts();
  const auto canceled = std::find(log.begin(), log.end(), "User canceled.");
  ASSERT_NE(canceled, log.end());
  for (auto later = canceled + 1; later != log.end(); ++later) EXPECT_EQ(later->rfind("The erasure report", 0), 0u) << *later;
  BreakpointValues saved;
  ASSERT_TRUE(FindBreakpoint(disk ? DiskDevicePath(2) : VolumeDevicePath("E:"), &saved));
  EXPECT_EQ(0, std::memcmp(saved.CapacityText, values.CapacityText, 50));
  for (const auto& row : headless::Rows(disk ? ui::List::Disk : ui::List::Drive)) {
    for (const std::string& cell : row) EXPECT_EQ(std::string::npos, cell.find(shown)) << cell;
  }
}

INSTANTIATE_TEST_SUITE_P(FuzzSeed, UnterminatedCapacityTextTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& caseInfo) {
                           return std::string(caseInfo.param ? "Disk" : "Volume");
                         });

}  // namespace
