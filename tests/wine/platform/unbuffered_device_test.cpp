// A device opened unbuffered and overlapped ("\\.\E:" over an image, "\\.\L:" over a loop
// device): writes in flight land at the offsets they name, and the synchronous calls the runs
// make on the same handle (records, the tail, sector reads) still move exactly the bytes asked,
// wherever they start, keeping the bytes around them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/wine/platform/support.h"

namespace {

using platform::Access;
using platform::Device;
using platform::Origin;

constexpr std::uint32_t kMiB = 1u << 20;

std::string ImageFileOf(char letter) {
  return wine_tests::DrivesFolder() + "\\" + static_cast<char>(letter - 'A' + 'a') + ".img";
}

// Bytes that differ with their place on the device, so a transfer that lands elsewhere shows.
std::vector<std::uint8_t> Pattern(std::uint64_t at, std::size_t bytes, std::uint8_t salt) {
  std::vector<std::uint8_t> data(bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::uint64_t place = at + i;
    data[i] = static_cast<std::uint8_t>(place * 31 + (place >> 12) + salt);
  }
  return data;
}

// The image behind E: starts with the marker the other tests check: these tests write from
// 1 MiB on.
constexpr std::uint64_t kArea = 1 * kMiB;

class UnbufferedImage : public testing::Test {
 protected:
  void SetUp() override {
    device_ = platform::OpenDevice("\\\\.\\E:", Access::ReadWriteUnbuffered);
    ASSERT_TRUE(device_.valid()) << "E: will not open unbuffered";
  }
  std::vector<std::uint8_t> OnImage(std::uint64_t at, std::size_t bytes) const {
    return wine_tests::ReadHostFile(wine_tests::HostPath(ImageFileOf('E')), at, bytes);
  }
  bool PutOnImage(std::uint64_t at, const std::vector<std::uint8_t>& data) const {
    return wine_tests::WriteHostFile(wine_tests::HostPath(ImageFileOf('E')), at, data);
  }
  Device device_;
};

// Four writes in flight at once, one of them past 4 GiB, finished in another order than they
// were started; the handle's own position is not moved by them.
TEST_F(UnbufferedImage, WritesInFlightLandAtTheirOffsets) {
  const std::uint64_t offsets[] = {kArea, kArea + 3 * kMiB, (5ull << 30) + kMiB, kArea + kMiB};
  std::vector<platform::IoBuffer> buffers;
  std::vector<platform::WriteInFlight> writes;
  ASSERT_TRUE(platform::SetPosition(device_, kArea + 8 * kMiB, Origin::Begin));
  for (std::size_t i = 0; i < 4; ++i) {
    buffers.emplace_back(kMiB);
    ASSERT_TRUE(buffers.back());
    const std::vector<std::uint8_t> data = Pattern(offsets[i], kMiB, 1);
    std::memcpy(buffers.back().data(), data.data(), kMiB);
    writes.push_back(platform::StartWrite(device_, offsets[i], buffers.back().data(), kMiB));
    ASSERT_NE(writes.back(), platform::kNoWrite) << "write " << i << " did not start";
  }
  for (std::size_t i : {2, 0, 3, 1}) EXPECT_EQ(platform::FinishWrite(device_, writes[i]), kMiB) << i;
  ASSERT_TRUE(platform::FlushDevice(device_));
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(OnImage(offsets[i], kMiB), Pattern(offsets[i], kMiB, 1)) << i;

  std::vector<std::uint8_t> there(512);
  ASSERT_EQ(platform::ReadDevice(device_, there.data(), 512), 512u);
  EXPECT_EQ(there, OnImage(kArea + 8 * kMiB, 512)) << "the position moved with the writes in flight";
}

// Synchronous transfers that start or end inside a sector, or come from memory that is not
// aligned: exactly the bytes asked move, and the rest of their sectors stays as it was.
TEST_F(UnbufferedImage, SynchronousTransfersKeepTheBytesAroundThem) {
  struct Case {
    const char* what;
    std::uint64_t at;
    std::uint32_t bytes;
    std::uint32_t bufferShift;  // bytes past an aligned address
  };
  const Case cases[] = {
      {"a record's 512 bytes at a sector's start", kArea, 512, 0},
      {"inside one sector", kArea + 4096 + 100, 300, 0},
      {"across two sectors", kArea + 8192 - 700, 1500, 0},
      {"whole sectors from unaligned memory", kArea + 16384, 8192, 3},
      {"a tail of 1 MiB less a sector, unaligned in both", kArea + 2 * kMiB + 512, kMiB - 4096 + 1, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::uint64_t around = c.at - c.at % 4096;
    const std::size_t span = static_cast<std::size_t>((c.at + c.bytes + 4095) / 4096 * 4096 - around) + 4096;
    const std::vector<std::uint8_t> before = Pattern(around, span, 7);
    ASSERT_TRUE(PutOnImage(around, before));

    std::vector<std::uint8_t> memory(c.bytes + 4096 + c.bufferShift);
    std::uint8_t* buffer = memory.data() + (4096 - reinterpret_cast<std::uintptr_t>(memory.data()) % 4096) % 4096 + c.bufferShift;
    const std::vector<std::uint8_t> data = Pattern(c.at, c.bytes, 99);
    std::memcpy(buffer, data.data(), c.bytes);
    ASSERT_TRUE(platform::SetPosition(device_, static_cast<std::int64_t>(c.at), Origin::Begin));
    EXPECT_EQ(platform::WriteDevice(device_, buffer, c.bytes), c.bytes);
    ASSERT_TRUE(platform::FlushDevice(device_));

    std::vector<std::uint8_t> expected = before;
    std::memcpy(expected.data() + (c.at - around), data.data(), c.bytes);
    EXPECT_EQ(OnImage(around, span), expected);

    std::memset(buffer, 0, c.bytes);
    ASSERT_TRUE(platform::SetPosition(device_, static_cast<std::int64_t>(c.at), Origin::Begin));
    EXPECT_EQ(platform::ReadDevice(device_, buffer, c.bytes), c.bytes);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + c.bytes), data);
    std::vector<std::uint8_t> next(16);
    EXPECT_EQ(platform::ReadDevice(device_, next.data(), 16), 16u) << "the position did not follow the read";
    EXPECT_EQ(next, std::vector<std::uint8_t>(expected.begin() + (c.at - around) + c.bytes,
                                              expected.begin() + (c.at - around) + c.bytes + 16));
  }
}

// A record is saved by asking where the device stands, writing at its start and moving back:
// the answer is where the last synchronous transfer ended, and the next block goes there.
TEST_F(UnbufferedImage, CurrentPositionFollowsSynchronousTransfers) {
  platform::IoBuffer memory(kMiB);
  ASSERT_TRUE(memory);
  const std::vector<std::uint8_t> first = Pattern(kArea, kMiB, 11);
  std::memcpy(memory.data(), first.data(), kMiB);
  ASSERT_TRUE(platform::SetPosition(device_, kArea, Origin::Begin));
  ASSERT_EQ(platform::WriteDevice(device_, memory.data(), kMiB), kMiB);
  ASSERT_EQ(platform::ReadDevice(device_, memory.data(), 4096), 4096u);

  std::uint64_t position = 0;
  ASSERT_TRUE(platform::SetPosition(device_, 0, Origin::Current, &position));
  EXPECT_EQ(position, kArea + kMiB + 4096);
  ASSERT_TRUE(platform::SetPosition(device_, -4096, Origin::Current, &position));
  EXPECT_EQ(position, kArea + kMiB);

  const std::vector<std::uint8_t> next = Pattern(kArea + kMiB, 4096, 12);
  std::memcpy(memory.data(), next.data(), 4096);
  ASSERT_EQ(platform::WriteDevice(device_, memory.data(), 4096), 4096u);
  ASSERT_TRUE(platform::FlushDevice(device_));
  EXPECT_EQ(OnImage(kArea, kMiB), first) << "the next write landed inside the earlier block";
  EXPECT_EQ(OnImage(kArea + kMiB, 4096), next);
}

// The controls the runs send go through the handle too: a loop device locks, dismounts and
// unlocks through it, and at its end a write stops where the device does.
TEST(UnbufferedLoop, ControlsAndTheEndOfTheDevice) {
  Device device = platform::OpenDevice("\\\\.\\L:", Access::ReadWriteUnbuffered);
  if (wine_tests::LoopDeviceOf('L').empty()) GTEST_SKIP() << "no loop device on this machine";
  ASSERT_TRUE(device.valid());
  EXPECT_TRUE(platform::ControlLockVolume(device));
  EXPECT_TRUE(platform::ControlDismountVolume(device));
  EXPECT_TRUE(platform::FlushDevice(device));
  std::vector<std::uint8_t> data(8192, 0x6B);
  ASSERT_TRUE(platform::SetPosition(device, wine_tests::kLoopDriveBytes - 4096 + 100, Origin::Begin));
  EXPECT_EQ(platform::WriteDevice(device, data.data(), 8192), 4096u - 100);
  platform::IoBuffer block(kMiB);
  ASSERT_TRUE(block);
  const platform::WriteInFlight over =
      platform::StartWrite(device, wine_tests::kLoopDriveBytes - kMiB / 2, block.data(), kMiB);
  const std::uint32_t put = over == platform::kNoWrite ? 0 : platform::FinishWrite(device, over);
  EXPECT_EQ(put, kMiB / 2) << "a write in flight over the end stops at the end";
  EXPECT_TRUE(platform::ControlUnlockVolume(device));
}

}  // namespace
