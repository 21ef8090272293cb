// The simulated machine as a real disk: a volatile write cache that only a flush or an
// eviction empties onto the media, a power cut that loses the rest, a restart on the media,
// and volume handles bounded by their file system until the extended-DASD control.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "tests/sim_fixture.h"

namespace {

using namespace sim_test;

class WriteCacheTest : public SimTest {
 protected:
  // SmallMachine with a cache of `cache` bytes on disk 0.
  static sim::Machine CachedMachine(std::uint64_t cache, std::uint32_t seed = 1) {
    sim::Machine machine = SmallMachine();
    machine.disks[0].writeCache = cache;
    machine.disks[0].cacheSeed = seed;
    return machine;
  }

  static platform::Device OpenDisk0() {
    platform::Device disk = platform::OpenDevice("\\\\.\\physicaldrive0", platform::Access::ReadWrite);
    EXPECT_TRUE(disk.valid());
    return disk;
  }

  static bool WriteAt(const platform::Device& device, std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
    return platform::SetPosition(device, static_cast<std::int64_t>(offset), platform::Origin::Begin) &&
           platform::WriteDevice(device, bytes.data(), static_cast<std::uint32_t>(bytes.size())) == bytes.size();
  }
};

// Readable at once; on the media only after a flush; lost in a power cut otherwise.
TEST_F(WriteCacheTest, WritesReachTheMediaOnlyWhenFlushed) {
  for (bool flush : {false, true}) {
    SCOPED_TRACE(flush ? "flushed" : "not flushed");
    Load(CachedMachine(4 * kMiB));
    const std::uint64_t before = sim::MediaBytesWritten(0);
    {
      platform::Device disk = OpenDisk0();
      ASSERT_TRUE(WriteAt(disk, 3 * kMiB + 100, Bytes(5000, 0xA5)));
      EXPECT_EQ(sim::ReadDisk(0, 3 * kMiB + 100, 5000), Bytes(5000, 0xA5)) << "a cached write reads back";
      EXPECT_EQ(sim::MediaBytesWritten(0), before);
      if (flush) {
        EXPECT_TRUE(platform::FlushDevice(disk));
      }
    }
    sim::CutPower();
    EXPECT_EQ(sim::ReadDisk(0, 3 * kMiB + 100, 5000), Bytes(5000, flush ? 0xA5 : 0x00));
    // Whole 4 KiB lines go to the media: 5000 bytes from byte 100 of a line span two lines.
    EXPECT_EQ(sim::MediaBytesWritten(0) - before, flush ? 2u * 4096 : 0u);
    EXPECT_TRUE(sim::PoweredOff());
    EXPECT_FALSE(platform::OpenDevice("\\\\.\\physicaldrive0", platform::Access::ReadWrite).valid())
        << "a machine without power answers nothing";
  }
}

// A cache smaller than what is written evicts lines onto the media in an order its seed repeats;
// a flush through a volume handle empties the cache of its whole disk.
TEST_F(WriteCacheTest, FullCacheEvictsInASeededOrderAndAVolumeFlushEmptiesTheDisk) {
  auto survivors = [this](std::uint32_t seed) {
    Load(CachedMachine(kMiB, seed));
    platform::Device disk = OpenDisk0();
    for (int block = 0; block < 4; ++block) EXPECT_TRUE(WriteAt(disk, (10 + block) * kMiB, Bytes(kMiB, 0x5A)));
    sim::CutPower();
    std::vector<bool> onMedia;
    for (std::uint64_t line = 0; line < 4 * kMiB / 4096; ++line) {
      onMedia.push_back(sim::ReadDisk(0, 10 * kMiB + line * 4096, 1)[0] == 0x5A);
    }
    return onMedia;
  };
  const std::vector<bool> first = survivors(7);
  EXPECT_EQ(std::count(first.begin(), first.end(), true), static_cast<long>(3 * kMiB / 4096));
  EXPECT_EQ(survivors(7), first) << "the same seed evicts the same lines";
  EXPECT_NE(survivors(8), first);
  EXPECT_NE(std::count(first.begin(), first.end() - kMiB / 4096, false), 0) << "eviction is not oldest first";

  Load(CachedMachine(4 * kMiB));
  {
    platform::Device disk = OpenDisk0();
    ASSERT_TRUE(WriteAt(disk, 12 * kMiB, Bytes(4096, 0x77)));  // in D:, not C:
    platform::Device volume = platform::OpenDevice("\\\\.\\C:", platform::Access::ReadWrite);
    EXPECT_TRUE(platform::FlushDevice(volume));
    platform::Device reader = platform::OpenDevice("\\\\.\\C:", platform::Access::Read);
    EXPECT_FALSE(platform::FlushDevice(reader)) << "flushing needs a handle opened for writing";
  }
  sim::CutPower();
  EXPECT_EQ(sim::ReadDisk(0, 12 * kMiB, 4096), Bytes(4096, 0x77));
  const std::vector<sim::Call> flushes = CallsOf(sim::Op::Flush);
  ASSERT_EQ(flushes.size(), 2u);
  EXPECT_EQ(flushes[0].path, "\\\\.\\C:");
  EXPECT_TRUE(flushes[0].ok);
  EXPECT_FALSE(flushes[1].ok);
}

// The power goes at the n-th write, which is not carried out; a restart finds the media of
// memory disks as the cut left them and a working machine again.
TEST_F(WriteCacheTest, PowerCutAtAWriteAndRestart) {
  Load(CachedMachine(0));
  sim::CutPowerAtWrite(3);
  {
    platform::Device disk = OpenDisk0();
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(WriteAt(disk, static_cast<std::uint64_t>(i) * 4096, Bytes(4096, static_cast<std::uint8_t>(i + 1))), i < 2);
    }
  }
  EXPECT_TRUE(sim::PoweredOff());
  std::string error;
  ASSERT_TRUE(sim::Restart(CachedMachine(0), &error)) << error;
  EXPECT_FALSE(sim::PoweredOff());
  EXPECT_EQ(sim::ReadDisk(0, 0, 4096), Bytes(4096, 1));
  EXPECT_EQ(sim::ReadDisk(0, 4096, 4096), Bytes(4096, 2));
  EXPECT_EQ(sim::ReadDisk(0, 8192, 4096), Bytes(4096, 0));
  EXPECT_TRUE(OpenDisk0().valid());
  // A plain load starts from new media: its partition table and nothing else.
  ASSERT_TRUE(sim::Load(CachedMachine(0), &error)) << error;
  EXPECT_EQ(sim::ReadDisk(0, 512, 3584), Bytes(3584, 0));
}

// D: holds FAT32 over all but its last 4 KiB: its handles stop there until the control.
TEST_F(WriteCacheTest, MountedVolumeHandleStopsAtItsFileSystemUntilExtendedDasd) {
  sim::Machine machine = SmallMachine();
  machine.fileSystemBounds = true;
  Load(machine);
  const std::uint64_t fileSystem = 7 * kMiB - 4096;
  platform::Device volume = platform::OpenDevice("\\\\.\\D:", platform::Access::ReadWrite);
  ASSERT_TRUE(volume.valid());
  EXPECT_TRUE(platform::SetPosition(volume, static_cast<std::int64_t>(fileSystem - 512), platform::Origin::Begin));
  std::vector<std::uint8_t> bytes = Bytes(4096, 0xEE);
  EXPECT_EQ(platform::WriteDevice(volume, bytes.data(), 4096), 512u);
  EXPECT_EQ(platform::ReadDevice(volume, bytes.data(), 4096), 0u);
  std::uint64_t length = 0;
  EXPECT_TRUE(platform::QueryLengthInfo(volume, &length));
  EXPECT_EQ(length, 7 * kMiB);

  EXPECT_TRUE(platform::ControlAllowExtendedDasd(volume));
  EXPECT_EQ(platform::WriteDevice(volume, bytes.data(), 4096), 4096u);
  EXPECT_EQ(sim::ReadVolume('D', fileSystem, 4096), Bytes(4096, 0xEE));
  platform::Device other = platform::OpenDevice("\\\\.\\D:", platform::Access::Read);
  EXPECT_TRUE(platform::SetPosition(other, static_cast<std::int64_t>(fileSystem), platform::Origin::Begin));
  EXPECT_EQ(platform::ReadDevice(other, bytes.data(), 4096), 0u) << "the control lifts the bound of its handle only";

  platform::Device disk = OpenDisk0();
  EXPECT_FALSE(platform::ControlAllowExtendedDasd(disk)) << "a disk handle has no file system";
  const std::vector<sim::Call> controls = CallsOf(sim::Op::ExtendedDasd);
  ASSERT_EQ(controls.size(), 2u);
  EXPECT_EQ(controls[0].path, "\\\\.\\D:");
  EXPECT_TRUE(controls[0].ok);
}

TEST_F(WriteCacheTest, DescriptionFields) {
  sim::Machine machine;
  std::string error;
  ASSERT_TRUE(sim::ParseDescription(
      R"({"fileSystemBounds": true, "disks": [{"number": 0, "size": "8 MiB", "writeCache": "2 MiB", "cacheSeed": 42}]})",
      &machine, &error))
      << error;
  EXPECT_TRUE(machine.fileSystemBounds);
  EXPECT_EQ(machine.disks[0].writeCache, 2 * kMiB);
  EXPECT_EQ(machine.disks[0].cacheSeed, 42u);
  EXPECT_FALSE(sim::ParseDescription(R"({"disks": [{"number": 0, "size": 1, "writeCache": -1}]})", &machine, &error));
  EXPECT_NE(error.find("disks[0].writeCache"), std::string::npos) << error;
}

}  // namespace
