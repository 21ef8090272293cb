// A whole three-pass drive wipe (DoD 5220.22-M (E): 0x00, 0xFF, random data) through "\\.\W:",
// a letter setup-drives maps to an image of 5 MiB and 777 bytes: a fresh run, one cancelled in
// its third pass, its record read back from the image file, and its resumption to the end.
// Five blocks are fewer than the ten after which a random pass draws its buffer again, so
// every block of the third pass holds the same drawn megabyte and can be compared exactly.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "app/handlers.h"
#include "app/main_window.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/platform.h"
#include "resume/breakpoint.h"
#include "tests/wine/platform/core_state.h"
#include "tests/wine/platform/support.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"
#include "wipe/runs.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBlock = 1u << 20;
constexpr std::uint32_t kBlocks = 5;
constexpr std::uint32_t kTail = 777;
constexpr std::size_t kImageBytes = kBlocks * kBlock + kTail;  // as setup-drives makes w.img
constexpr int kDoD = 1;
constexpr std::uint8_t kOldByte = 0xAB;
const char* const kThirdPass =
    "  Wiping drive W: with DoD 5220.22-M(E), performing overwrite 3 of 3";

std::string ImageOfW() { return wine_tests::DrivesFolder() + "\\w.img"; }

// The whole image as a plain file; more than its size is asked for, so a run that wrote past
// the capacity (an image file grows silently) shows as a longer answer.
Bytes ReadImage() { return wine_tests::ReadHostFile(ImageOfW(), 0, kImageBytes + kBlock); }

Bytes Block(const Bytes& image, std::uint32_t block) {
  const auto begin = image.begin() + static_cast<std::ptrdiff_t>(block * kBlock);
  return Bytes(begin, begin + kBlock);
}

Bytes Tail(const Bytes& image) { return Bytes(image.end() - kTail, image.end()); }

bool AllEqual(const Bytes& bytes, std::uint8_t value) {
  return std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == value; });
}

// True when the bytes are successive draws of the program's random source, a 32-bit linear
// congruential generator yielding the top byte of each new state, from some seed: the first
// byte fixes the top of the state, and each of the 2^24 lower parts is followed until it
// disagrees.
bool FollowsRandomSource(const Bytes& bytes) {
  for (std::uint32_t low = 0; low < (1u << 24); ++low) {
    std::uint32_t state = (std::uint32_t{bytes[0]} << 24) | low;
    std::size_t i = 1;
    for (; i < bytes.size(); ++i) {
      state = state * 134775813u + 1u;
      if ((state >> 24) != bytes[i]) break;
    }
    if (i == bytes.size()) return true;
  }
  return false;
}

// The offset of the first byte where the two differ over the length of `expected`, or -1;
// says where a megabyte went wrong without printing it.
long FirstDifference(const Bytes& actual, const Bytes& expected) {
  if (actual.size() < expected.size()) return static_cast<long>(actual.size());
  const auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin());
  if (mismatch.first == expected.end()) return -1;
  return static_cast<long>(mismatch.first - expected.begin());
}

Bytes Head(const Bytes& bytes, std::size_t count) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

void PutLe32(Bytes* bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    (*bytes)[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// After a run completes its record is gone: the first sector took the content of the second,
// and the rest of block 0 is the pass's pattern like every other block.
void ExpectRecordRemoved(const Bytes& block0, const Bytes& pattern) {
  Bytes expected = pattern;
  std::copy(pattern.begin() + 512, pattern.begin() + 1024, expected.begin());
  EXPECT_EQ(FirstDifference(block0, expected), -1);
}

class ThreePassWipe : public testing::Test {
 protected:
  void SetUp() override {
    wine_tests::ResetCoreState();
    ASSERT_TRUE(wine_tests::LetterLeadsToImage("\\\\.\\W:", ImageOfW(), 2 * kBlock + 4096))
        << "W: is not the test's image";
    ASSERT_TRUE(wine_tests::WriteHostFile(ImageOfW(), 0, Bytes(kImageBytes, kOldByte)));
    ASSERT_EQ(ReadImage().size(), kImageBytes) << "w.img is not the size setup-drives gives it";
  }
  void TearDown() override { headless::SetPumpHook(nullptr); }

  // The format step after a run is left out: the standard run's test covers it.
  static void SelectW(std::uint64_t capacity, const std::string& capacityText,
                      const char* fileSystem) {
    wine_tests::SelectDrive("W:\\", fileSystem, capacity, capacityText);
    ui::SetFormatBox(false, true);
  }

  // Every caption the progress window shows during the run, in order, once each.
  void RecordCaptions() {
    headless::SetPumpHook([this](long) {
      const std::string caption = headless::ProgressCaption();
      if (captions_.empty() || captions_.back() != caption) captions_.push_back(caption);
    });
  }

  std::vector<std::string> captions_;
};

// All three passes run in order; what stays is the third pass's random data, one drawn
// megabyte in every block and its start in the tail, and nothing past the capacity.
TEST_F(ThreePassWipe, FreshRunLeavesTheThirdPassRandomData) {
  SelectW(kImageBytes, FormatSizeText(kImageBytes), "NTFS");
  RecordCaptions();
  EXPECT_TRUE(DriveWipeRun("W:", false, kDoD));
  EXPECT_EQ(captions_, (std::vector<std::string>{
                           "  Wiping drive W: with DoD 5220.22-M(E), performing overwrite 1 of 3",
                           "  Wiping drive W: with DoD 5220.22-M(E), performing overwrite 2 of 3",
                           kThirdPass}));
  EXPECT_FALSE(wine_tests::LogHas("User canceled."));
  EXPECT_FALSE(wine_tests::LogHas("Write disk I/O error!"));
  EXPECT_FALSE(wine_tests::LogHas("Write disk I/O error !"));

  const Bytes image = ReadImage();
  ASSERT_EQ(image.size(), kImageBytes);
  const Bytes drawn = Block(image, 1);
  EXPECT_TRUE(FollowsRandomSource(drawn));
  for (std::uint32_t block = 2; block < kBlocks; ++block) {
    EXPECT_EQ(FirstDifference(Block(image, block), drawn), -1) << "block " << block;
  }
  EXPECT_EQ(FirstDifference(Tail(image), Head(drawn, kTail)), -1);
  ExpectRecordRemoved(Block(image, 0), drawn);
  BreakpointValues found;
  EXPECT_FALSE(FindBreakpoint(VolumeDevicePath("W:"), &found));
}

// Cancelled after block 2 of the third pass: blocks 0 to 2 hold its random data, blocks 3 and
// 4 and the tail still the 0xFF of the second pass, and block 0 carries the record. Resumed
// from the record, the run writes only the rest of the third pass, with data of a new draw,
// and removes the record.
TEST_F(ThreePassWipe, CancelledInTheThirdPassResumesFromItsRecordToTheEnd) {
  constexpr std::uint32_t kCancelBlock = 3;
  const std::string capacityText = FormatSizeText(kImageBytes);
  SelectW(kImageBytes, capacityText, "NTFS");
  char capacityField[50];
  std::memcpy(capacityField, DriveTable[0].CapacityText, sizeof capacityField);

  // Two pumps per block: the one after block 2's write is the sixth of the third pass.
  long thirdPassPumps = 0;
  headless::SetPumpHook([&](long) {
    if (headless::ProgressCaption() != kThirdPass) return;
    if (++thirdPassPumps == 2 * kCancelBlock) app::CancelClicked();
  });
  EXPECT_FALSE(DriveWipeRun("W:", false, kDoD));
  headless::SetPumpHook(nullptr);
  // The window is drawn a few times a second, and always at the block a cancelled pass reached.
  EXPECT_EQ(headless::ProgressValue(ui::ProgressValue::Amount), "2 MB/" + capacityText);
  EXPECT_TRUE(wine_tests::LogHas("User canceled."));

  const Bytes cancelled = ReadImage();
  ASSERT_EQ(cancelled.size(), kImageBytes);
  const Bytes drawn = Block(cancelled, 1);
  EXPECT_TRUE(FollowsRandomSource(drawn));
  EXPECT_EQ(FirstDifference(Block(cancelled, 2), drawn), -1);
  for (std::uint32_t block = kCancelBlock; block < kBlocks; ++block) {
    EXPECT_TRUE(AllEqual(Block(cancelled, block), 0xFF)) << "block " << block;
  }
  EXPECT_TRUE(AllEqual(Tail(cancelled), 0xFF));

  // The record as the image file holds it: its fields over the third pass's data, which the
  // bytes between them keep.
  Bytes record = Head(drawn, 4096);
  record[0] = record[510] = 'D';
  record[1] = record[511] = 'M';
  PutLe32(&record, 20, kCancelBlock);
  PutLe32(&record, 24, kBlocks);
  PutLe32(&record, 28, kTail);
  record[32] = 2;  // the third pass, counted from 0
  record[33] = kDoD;
  std::memcpy(&record[34], capacityField, sizeof capacityField);
  record[84] = drawn[0];
  for (std::size_t k = 20; k <= 84; ++k) record[k + 65] = record[k] ^ 0x53;
  std::memcpy(&record[200], "NTFS\0\0\0\0", 8);
  std::uint8_t check = 0x35;
  for (std::size_t k = 200; k < 208; ++k) check ^= record[k];
  record[220] = check;
  Bytes block0 = drawn;
  std::copy(record.begin(), record.end(), block0.begin());
  EXPECT_EQ(FirstDifference(Block(cancelled, 0), block0), -1);

  ASSERT_TRUE(FindBreakpoint(VolumeDevicePath("W:"), &ResumePoint));
  EXPECT_EQ(ResumePoint.StartBlock, kCancelBlock);
  EXPECT_EQ(ResumePoint.BlockCount, kBlocks);
  EXPECT_EQ(ResumePoint.TailBytes, kTail);
  EXPECT_EQ(ResumePoint.PassIndex, 2);
  EXPECT_EQ(ResumePoint.MethodId, kDoD);
  EXPECT_EQ(ResumePoint.FillByte, drawn[0]);
  EXPECT_EQ(std::memcmp(ResumePoint.CapacityText, capacityField, sizeof capacityField), 0);

  // After a restart the inventory can neither size the wiped volume nor read its file system;
  // the run takes its total back from the record and shows it. (The file-system name the record
  // carries to the format after the run is followed by the native crash tests.)
  headless::Reset();
  ui::SetOptionChecked(ui::Option::VerifyAfterWipe, false);  // as the first run had it
  SelectW(0, "", "");
  std::string amountDuringRun;
  headless::SetPumpHook([&](long) {
    const std::string caption = headless::ProgressCaption();
    if (captions_.empty() || captions_.back() != caption) captions_.push_back(caption);
    const std::string amount = headless::ProgressValue(ui::ProgressValue::Amount);
    if (!amount.empty()) amountDuringRun = amount;
  });
  EXPECT_TRUE(DriveWipeRun("W:", true, ResumePoint.MethodId));
  EXPECT_EQ(captions_, std::vector<std::string>{kThirdPass});
  ASSERT_NE(amountDuringRun.find('/'), std::string::npos) << amountDuringRun;
  EXPECT_EQ(amountDuringRun.substr(amountDuringRun.find('/') + 1), capacityText);
  EXPECT_FALSE(wine_tests::LogHas("User canceled."));

  const Bytes resumed = ReadImage();
  ASSERT_EQ(resumed.size(), kImageBytes);
  for (std::uint32_t block = 0; block < kBlocks; ++block) {
    EXPECT_FALSE(AllEqual(Block(resumed, block), 0xFF)) << "block " << block;
  }
  const Bytes redrawn = Block(resumed, kCancelBlock);
  EXPECT_TRUE(FollowsRandomSource(redrawn));
  EXPECT_NE(FirstDifference(redrawn, drawn), -1);
  EXPECT_EQ(FirstDifference(Block(resumed, kCancelBlock + 1), redrawn), -1);
  EXPECT_EQ(FirstDifference(Tail(resumed), Head(redrawn, kTail)), -1);
  EXPECT_EQ(FirstDifference(Block(resumed, 1), drawn), -1);
  EXPECT_EQ(FirstDifference(Block(resumed, 2), drawn), -1);
  ExpectRecordRemoved(Block(resumed, 0), drawn);
  BreakpointValues found;
  EXPECT_FALSE(FindBreakpoint(VolumeDevicePath("W:"), &found));
}

}  // namespace
