// What a whole multi-pass drive run puts on a real block device: "\\.\V:" is a loop device
// over a 32 MiB image that setup-drives attaches (as root, where losetup works). Writes through
// Wine land in Linux's page cache first, where a later pass would overwrite an earlier one
// before it ever reached the device; the loop device's own count of written sectors
// (/sys/block/loopN/stat) shows what did reach it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "devices/inventory.h"
#include "platform/platform.h"
#include "tests/wine/platform/core_state.h"
#include "tests/wine/platform/loop_counters.h"
#include "tests/wine/platform/support.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"
#include "wipe/runs.h"

namespace {

constexpr std::uint64_t kRangeBytes = 32ull << 20;  // as setup-drives makes v.img
constexpr std::uint64_t kRangeSectors = kRangeBytes / 512;
constexpr int kDoD = 1;  // 0x00, 0xFF, random data

std::string ImageOfV() { return wine_tests::DrivesFolder() + "\\v.img"; }

class PassesOnDevice : public testing::Test {
 protected:
  void SetUp() override {
    wine_tests::ResetCoreState();
    loop_ = wine_tests::LoopDeviceOf('V');
    if (loop_.empty()) {
      GTEST_SKIP() << "V: has no loop device: setup-drives attaches one only as root with losetup";
    }
    ASSERT_EQ(wine_tests::LoopBackingFile(loop_), wine_tests::HostPath(ImageOfV()))
        << loop_ << " is not the loop device over the test's image";
    ASSERT_TRUE(wine_tests::LetterLeadsToImage("\\\\.\\V:", ImageOfV(), kRangeBytes - 4096))
        << "V: is not the test's loop device";
  }

  // Sectors written to the device so far, once everything written through V: before this
  // moment has been pushed out of the page cache: the count then tells what a run wrote, not
  // when the kernel chose to write it.
  std::uint64_t SectorsOnDevice() {
    platform::Device device = platform::OpenDevice("\\\\.\\V:", platform::Access::ReadWrite);
    EXPECT_TRUE(device.valid() && platform::FlushDevice(device));
    std::uint64_t sectors = 0;
    EXPECT_TRUE(wine_tests::SectorsWritten(loop_, &sectors)) << "no counters for " << loop_;
    return sectors;
  }

  std::string loop_;
};

// Each of the three passes reaches the device before the next one overwrites it; without
// that only the last pass's data (one range) would ever be written. Wine refuses the
// extended-DASD control; the run says so once and goes on to the end.
TEST_F(PassesOnDevice, ThreePassRunWritesEveryPassToTheDevice) {
  wine_tests::SelectDrive("V:\\", "NTFS", kRangeBytes, FormatSizeText(kRangeBytes));
  ui::SetFormatBox(false, true);
  ui::SetOptionChecked(ui::Option::WipeResumable, true);
  const std::uint64_t before = SectorsOnDevice();
  EXPECT_TRUE(DriveWipeRun("V:", false, kDoD));
  const std::uint64_t written = SectorsOnDevice() - before;
  EXPECT_GE(written, 3 * kRangeSectors)
      << "the device received " << static_cast<double>(written) / kRangeSectors
      << " times the range";
  EXPECT_TRUE(wine_tests::LogHas("Drive V: wiped successfully."));
  const std::vector<std::string> log = headless::LogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(),
                       "Drive V: refused access past its file system; its last sectors may not "
                       "be overwritten."),
            1);
  EXPECT_FALSE(wine_tests::LogHas("Failed to flush the drive's write cache."));
  EXPECT_FALSE(wine_tests::LogHas("Write disk I/O error!"));
  EXPECT_FALSE(wine_tests::LogHas("Write disk I/O error !"));
}

}  // namespace
