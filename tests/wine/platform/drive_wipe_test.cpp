// The portable core on the real Windows calls: the volume inventory over Wine's drives, and
// drive wipe runs (locking, block writes, tail, breakpoint record, resume) through "\\.\D:",
// a letter setup-drives maps to a 6 GiB sparse image with a folder as its root. What each run
// wrote is read back from the image file itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "app/main_window.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "devices/volume_locking.h"
#include "platform/platform.h"
#include "platform/win32/unique_handle.h"
#include "resume/breakpoint.h"
#include "tests/wine/platform/core_state.h"
#include "tests/wine/platform/support.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"
#include "wipe/methods.h"
#include "wipe/runs.h"

namespace {

constexpr std::uint64_t kMiB = 1ull << 20;

std::string ImageOfD() { return wine_tests::DrivesFolder() + "\\d.img"; }

// Writes `bytes` bytes of `value` into the image file at `offset`, past the drive letter.
bool FillImage(std::uint64_t offset, std::uint64_t bytes, std::uint8_t value) {
  platform::win32::UniqueFile file(CreateFileA(ImageOfD().c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return false;
  const std::vector<std::uint8_t> chunk(kMiB, value);
  while (bytes > 0) {
    const DWORD ask = static_cast<DWORD>(std::min<std::uint64_t>(bytes, kMiB));
    DWORD written = 0;
    if (!WriteFile(file.get(), chunk.data(), ask, &written, nullptr) || written != ask) {
      return false;
    }
    bytes -= ask;
  }
  return true;
}

// True when the image holds only `value` from `offset` for `bytes` bytes.
bool ImageHolds(std::uint64_t offset, std::uint64_t bytes, std::uint8_t value) {
  while (bytes > 0) {
    const std::size_t ask = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, kMiB));
    const std::vector<std::uint8_t> data = wine_tests::ReadHostFile(ImageOfD(), offset, ask);
    if (data.size() != ask) return false;
    if (std::any_of(data.begin(), data.end(), [&](std::uint8_t b) { return b != value; })) {
      return false;
    }
    offset += ask;
    bytes -= ask;
  }
  return true;
}

int RowOf(const char* rootPath) {
  for (int row = 0; row < DriveCount; ++row) {
    if (FieldText(DriveTable[row].RootPath) == rootPath) return row;
  }
  return -1;
}

class CoreOnWine : public testing::Test {
 protected:
  void SetUp() override {
    wine_tests::ResetCoreState();
    ASSERT_TRUE(wine_tests::LetterLeadsToImage("\\\\.\\D:", ImageOfD(), 5 * kMiB + 4096))
        << "D: is not the test's image";
  }
  void TearDown() override { headless::SetPumpHook(nullptr); }

  // D: as the inventory would list it, with a file-system size Wine cannot report for it,
  // checked on "Wipe drive" with the progress window as "Wipe it now" leaves it.
  void SelectD(std::uint64_t capacity, const char* capacityText) {
    wine_tests::SelectDrive("D:\\", "NTFS", capacity, capacityText);
  }
};

// Wine reports no disk extents, so every volume is listed without disk and size.
TEST_F(CoreOnWine, InventoryListsFixedAndRemovableLetters) {
  RefreshDriveTable();
  const int d = RowOf("D:\\");
  const int f = RowOf("F:\\");
  ASSERT_GE(d, 0);
  ASSERT_GE(f, 0);
  EXPECT_EQ(FieldText(DriveTable[d].FileSystem), "NTFS");
  EXPECT_EQ(DriveTable[d].DiskNumber, kUnknownDisk);
  EXPECT_EQ(DriveTable[d].Capacity, 0u);
  EXPECT_EQ(FieldText(DriveTable[d].CapacityText), "");
  for (const char* skipped : {"A:\\", "B:\\", "G:\\", "H:\\", "K:\\"}) {
    EXPECT_EQ(RowOf(skipped), -1) << skipped;
  }
}

// One pass of zeros from byte 0 over exactly the capacity, the tail included; the format step
// runs the real FORMAT.COM check, which Wine does not have.
TEST_F(CoreOnWine, StandardRunOverwritesExactlyTheCapacity) {
  const std::uint64_t capacity = 3 * kMiB + 1000;
  ASSERT_TRUE(FillImage(0, 5 * kMiB, 0xAB));
  SelectD(capacity, "3 MB");
  EXPECT_TRUE(DriveWipeRun("D:", false, 0));
  EXPECT_TRUE(ImageHolds(0, capacity, 0x00));
  EXPECT_TRUE(ImageHolds(capacity, 5 * kMiB - capacity, 0xAB));
  EXPECT_FALSE(wine_tests::LogHas("Write disk I/O error!"));
  EXPECT_TRUE(wine_tests::LogHas("Format command not found!"));
  EXPECT_TRUE(wine_tests::LogHas("Please format the drive manually."));
  BreakpointValues found;
  EXPECT_FALSE(FindBreakpoint("\\\\.\\D:", &found));
}

// Cancelled part-way, the run leaves its record on the image; the record read back through a
// fresh handle resumes the run at the saved block, and the finished run removes it.
TEST_F(CoreOnWine, CancelledRunResumesFromItsRecord) {
  const std::uint64_t capacity = 12 * kMiB + 512;
  ASSERT_TRUE(FillImage(0, 14 * kMiB, 0xAB));
  SelectD(capacity, "12 MB");
  headless::SetPumpHook([](long pump) {
    if (pump == 12) CancelRequested = true;
  });
  EXPECT_FALSE(DriveWipeRun("D:", false, 0));
  headless::SetPumpHook(nullptr);
  EXPECT_TRUE(wine_tests::LogHas("User canceled."));
  const std::vector<std::uint8_t> head = wine_tests::ReadHostFile(ImageOfD(), 0, 512);
  ASSERT_EQ(head.size(), 512u);
  EXPECT_EQ(std::string(head.begin(), head.begin() + 2), "DM");
  EXPECT_EQ(std::string(head.begin() + 510, head.end()), "DM");

  ASSERT_TRUE(FindBreakpoint("\\\\.\\D:", &ResumePoint));
  EXPECT_EQ(ResumePoint.BlockCount, 12u);
  EXPECT_EQ(ResumePoint.TailBytes, 512u);
  EXPECT_EQ(ResumePoint.MethodId, 0);
  ASSERT_GT(ResumePoint.StartBlock, 0u);
  ASSERT_LT(ResumePoint.StartBlock, 12u);
  // The saved block is the next one to write: it and those after it still hold the old bytes.
  EXPECT_TRUE(ImageHolds(std::uint64_t{ResumePoint.StartBlock} * kMiB, kMiB, 0xAB));
  EXPECT_TRUE(ImageHolds(kMiB, kMiB, 0x00));

  headless::Reset();
  SelectD(0, "");  // the inventory could not size the wiped volume
  EXPECT_TRUE(DriveWipeRun("D:", true, ResumePoint.MethodId));
  EXPECT_TRUE(ImageHolds(0, capacity, 0x00));
  EXPECT_TRUE(ImageHolds(capacity, 14 * kMiB - capacity, 0xAB));
  BreakpointValues found;
  EXPECT_FALSE(FindBreakpoint("\\\\.\\D:", &found));
}

// A run resumed beyond 4 GiB positions the volume at its 64-bit block offset: the blocks land
// there and not at the same offset modulo 4 GiB.
TEST_F(CoreOnWine, ResumedRunWritesBeyondFourGiB) {
  const std::uint64_t start = 6000;
  ASSERT_TRUE(FillImage((start % 4096) * kMiB, kMiB, 0xAB));
  ASSERT_TRUE(FillImage((start - 1) * kMiB, 4 * kMiB, 0xAB));
  SelectD(0, "");
  ResumePoint.StartBlock = static_cast<std::uint32_t>(start);
  ResumePoint.BlockCount = static_cast<std::uint32_t>(start + 2);
  ResumePoint.TailBytes = 1000;
  ResumePoint.MethodId = 0;
  SetField(ResumePoint.CapacityText, "5.86 GB");
  EXPECT_TRUE(DriveWipeRun("D:", true, 0));
  EXPECT_TRUE(ImageHolds(start * kMiB, 2 * kMiB + 1000, 0x00));
  EXPECT_TRUE(ImageHolds((start + 2) * kMiB + 1000, kMiB - 1000, 0xAB));
  EXPECT_TRUE(ImageHolds((start - 1) * kMiB, kMiB, 0xAB));
  EXPECT_TRUE(ImageHolds((start % 4096) * kMiB, kMiB, 0xAB));
}

}  // namespace
