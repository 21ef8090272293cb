// Writes in flight on the simulated machine: started on an unbuffered handle under the rules of
// unbuffered I/O, carried out only when they complete (in a drawn order, from the buffer as it
// is then), finished by a close, and lost by a power cut.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "tests/sim_fixture.h"

namespace {

using namespace sim_test;
using platform::Access;

const std::string kDisk1 = "\\\\.\\physicaldrive1";

class InFlightTest : public SimTest {
 protected:
  static platform::Device Open(Access access = Access::ReadWriteUnbuffered) {
    platform::Device disk = platform::OpenDevice(kDisk1, access);
    EXPECT_TRUE(disk.valid());
    return disk;
  }
  static platform::IoBuffer Filled(std::uint32_t bytes, std::uint8_t value) {
    platform::IoBuffer buffer(bytes);
    if (buffer) std::memset(buffer.data(), value, bytes);
    return buffer;
  }
};

TEST_F(InFlightTest, StartsOnlyWholeAlignedSectorsOnAnUnbufferedHandle) {
  struct Case {
    const char* what;
    Access access;
    std::uint64_t offset;
    std::uint32_t bytes;
    std::size_t bufferShift;
    bool starts;
  };
  const Case cases[] = {
      {"whole sectors", Access::ReadWriteUnbuffered, 4096, 8192, 0, true},
      {"offset inside a sector", Access::ReadWriteUnbuffered, 100, 512, 0, false},
      {"part of a sector", Access::ReadWriteUnbuffered, 0, 700, 0, false},
      {"unaligned memory", Access::ReadWriteUnbuffered, 0, 512, 8, false},
      {"a plain handle", Access::ReadWrite, 0, 512, 0, false},
  };
  platform::IoBuffer buffer = Filled(16384, 0x11);
  ASSERT_TRUE(buffer);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::Device disk = Open(c.access);
    const platform::WriteInFlight write = platform::StartWrite(disk, c.offset, buffer.data() + c.bufferShift, c.bytes);
    EXPECT_EQ(write != platform::kNoWrite, c.starts);
    EXPECT_EQ(platform::FinishWrite(disk, write), c.starts ? c.bytes : 0u);
  }
}

// Nothing reaches the disk at the start; what the buffer holds when the write completes does.
// Two writes to one place land in the order they complete, which the machine draws.
TEST_F(InFlightTest, WritesAreCarriedOutWhenTheyCompleteInADrawnOrder) {
  platform::IoBuffer buffer = Filled(4096, 0xAA);
  platform::Device disk = Open();
  const platform::WriteInFlight write = platform::StartWrite(disk, 0, buffer.data(), 4096);
  ASSERT_NE(write, platform::kNoWrite);
  EXPECT_EQ(sim::WritesInFlight(), 1);
  EXPECT_NE(sim::ReadDisk(1, 0, 1)[0], 0xAA) << "carried out at the start";
  std::memset(buffer.data(), 0xBB, 4096);
  EXPECT_EQ(platform::FinishWrite(disk, write), 4096u);
  EXPECT_EQ(sim::ReadDisk(1, 0, 4096), Bytes(4096, 0xBB));
  EXPECT_EQ(sim::WritesInFlight(), 0);

  std::set<std::uint8_t> lastLanded;
  for (int round = 0; round < 16; ++round) {
    platform::IoBuffer first = Filled(4096, 0x01);
    platform::IoBuffer second = Filled(4096, 0x02);
    const platform::WriteInFlight a = platform::StartWrite(disk, 8192, first.data(), 4096);
    const platform::WriteInFlight b = platform::StartWrite(disk, 8192, second.data(), 4096);
    EXPECT_EQ(sim::WritesInFlight(), 2);
    EXPECT_EQ(platform::FinishWrite(disk, a), 4096u);
    EXPECT_EQ(platform::FinishWrite(disk, b), 4096u);
    lastLanded.insert(sim::ReadDisk(1, 8192, 1)[0]);
  }
  EXPECT_EQ(lastLanded, (std::set<std::uint8_t>{0x01, 0x02})) << "writes in flight always completed in start order";
}

// A failing block among four in flight fails alone, judged at its own offset.
TEST_F(InFlightTest, AFailingWriteAmongOthersFailsAlone) {
  sim::FailWrites(kDisk1, 2, 1, 1024);
  platform::Device disk = Open();
  std::vector<platform::IoBuffer> buffers;
  std::vector<platform::WriteInFlight> writes;
  for (std::uint64_t block = 0; block < 4; ++block) {
    buffers.push_back(Filled(kMiB, static_cast<std::uint8_t>(0x30 + block)));
    writes.push_back(platform::StartWrite(disk, block * kMiB, buffers.back().data(), kMiB));
  }
  for (std::uint64_t block = 0; block < 4; ++block) {
    EXPECT_EQ(platform::FinishWrite(disk, writes[block]), block == 2 ? 1024u : kMiB) << block;
  }
  for (const sim::Call& call : sim::CallsOf(sim::Op::Write, kDisk1)) {
    EXPECT_EQ(call.ok, call.offset != 2 * kMiB) << "the call log answers each write when it completes";
  }
  EXPECT_EQ(sim::ReadDisk(1, 3 * kMiB, kMiB), Bytes(kMiB, 0x33));
}

// A close finishes what is in flight on the handle; a power cut loses it.
TEST_F(InFlightTest, ACloseCarriesOutWritesInFlightAndAPowerCutLosesThem) {
  platform::IoBuffer buffer = Filled(4096, 0x5C);
  {
    platform::Device disk = Open();
    ASSERT_NE(platform::StartWrite(disk, 0, buffer.data(), 4096), platform::kNoWrite);
  }
  EXPECT_EQ(sim::WritesInFlight(), 0);
  EXPECT_EQ(sim::ReadDisk(1, 0, 4096), Bytes(4096, 0x5C));

  sim::Machine machine = SmallMachine();
  machine.disks[1].writeCache = kMiB;
  Load(machine);
  platform::Device disk = Open();
  platform::IoBuffer flushed = Filled(4096, 0x71);
  platform::IoBuffer lost = Filled(4096, 0x72);
  ASSERT_EQ(platform::FinishWrite(disk, platform::StartWrite(disk, 0, flushed.data(), 4096)), 4096u);
  ASSERT_TRUE(platform::FlushDevice(disk));
  ASSERT_NE(platform::StartWrite(disk, 4096, lost.data(), 4096), platform::kNoWrite);
  const std::vector<std::uint8_t> before = sim::ReadDisk(1, 4096, 4096);
  sim::CutPower();
  EXPECT_EQ(sim::WritesInFlight(), 0);
  std::string error;
  ASSERT_TRUE(sim::Restart(machine, &error)) << error;
  EXPECT_EQ(sim::ReadDisk(1, 0, 4096), Bytes(4096, 0x71));
  EXPECT_EQ(sim::ReadDisk(1, 4096, 4096), before);
}

}  // namespace
