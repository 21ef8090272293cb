// Writes in flight on the simulated machine: started on an unbuffered handle under the rules of
// unbuffered I/O, carried out only when they complete (in a drawn order, from the buffer as it
// is then), finished by a close, and lost by a power cut.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
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
    std::uint32_t sector;  // the disk's bytesPerSector
    bool starts;
  };
  const Case cases[] = {
      {"whole sectors", Access::ReadWriteUnbuffered, 4096, 8192, 0, 512, true},
      {"offset inside a sector", Access::ReadWriteUnbuffered, 100, 512, 0, 512, false},
      {"part of a sector", Access::ReadWriteUnbuffered, 0, 700, 0, 512, false},
      {"no bytes", Access::ReadWriteUnbuffered, 0, 0, 0, 512, false},
      {"unaligned memory", Access::ReadWriteUnbuffered, 0, 512, 8, 512, false},
      {"a plain handle", Access::ReadWrite, 0, 512, 0, 512, false},
      {"whole 4096-byte sectors", Access::ReadWriteUnbuffered, 8192, 4096, 0, 4096, true},
      {"a 512-byte offset on 4096-byte sectors", Access::ReadWriteUnbuffered, 512, 4096, 0, 4096, false},
      {"512 bytes of a 4096-byte sector", Access::ReadWriteUnbuffered, 0, 512, 0, 4096, false},
  };
  platform::IoBuffer buffer = Filled(16384, 0x11);
  ASSERT_TRUE(buffer);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine = SmallMachine();
    machine.disks[1].bytesPerSector = c.sector;
    Load(machine);
    platform::Device disk = Open(c.access);
    const platform::WriteInFlight write = platform::StartWrite(disk, c.offset, buffer.data() + c.bufferShift, c.bytes);
    EXPECT_EQ(write != platform::kNoWrite, c.starts);
    EXPECT_EQ(platform::FinishWrite(disk, write), c.starts ? c.bytes : 0u);
    EXPECT_EQ(sim::ReadDisk(1, c.offset, 1)[0] == 0x11, c.starts) << "a refused write reached the disk";
    const std::vector<sim::Call> logged = CallsOf(sim::Op::Write, kDisk1);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].offset, c.offset);
    EXPECT_EQ(logged[0].bytes, c.bytes);
    EXPECT_EQ(logged[0].ok, c.starts);
  }
}

// Windows takes only whole sectors on an unbuffered handle, synchronous transfers too: a caller
// holding the bare handle, without what its Device carries, is refused anything else.
TEST_F(InFlightTest, ABareUnbufferedHandleRefusesSynchronousTransfersOfPartSectors) {
  struct Case {
    const char* what;
    std::uint64_t position;
    std::uint32_t bytes;
    std::size_t bufferShift;
    std::uint32_t sector;
    bool moves;
  };
  const Case cases[] = {
      {"whole sectors", 4096, 1024, 0, 512, true},
      {"part of a sector", 0, 100, 0, 512, false},
      {"a sector's bytes from inside a sector", 100, 512, 0, 512, false},
      {"memory off the sector", 0, 512, 8, 512, false},
      {"512 bytes of a 4096-byte sector", 0, 512, 0, 4096, false},
      {"whole 4096-byte sectors", 8192, 4096, 0, 4096, true},
  };
  platform::IoBuffer data = Filled(16384, 0x5A);
  platform::IoBuffer back(16384);
  ASSERT_TRUE(data && back);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine = SmallMachine();
    machine.disks[1].bytesPerSector = c.sector;
    Load(machine);
    platform::Device bare(Open().release());
    ASSERT_FALSE(bare.unbuffered());
    ASSERT_TRUE(platform::SetPosition(bare, static_cast<std::int64_t>(c.position), platform::Origin::Begin));
    EXPECT_EQ(platform::WriteDevice(bare, data.data() + c.bufferShift, c.bytes), c.moves ? c.bytes : 0u);
    EXPECT_EQ(sim::ReadDisk(1, c.position, 1)[0] == 0x5A, c.moves) << "a refused write reached the disk";
    ASSERT_TRUE(platform::SetPosition(bare, static_cast<std::int64_t>(c.position), platform::Origin::Begin));
    EXPECT_EQ(platform::ReadDevice(bare, back.data() + c.bufferShift, c.bytes), c.moves ? c.bytes : 0u);
    for (const sim::Op op : {sim::Op::Write, sim::Op::Read}) {
      const std::vector<sim::Call> logged = CallsOf(op, kDisk1);
      ASSERT_EQ(logged.size(), 1u);
      EXPECT_EQ(logged[0].ok, c.moves);
    }
  }
}

// What the Device of an unbuffered handle carries lets the synchronous calls move any bytes
// anywhere: through the whole sectors around them, keeping the bytes beside them, with every
// transfer the machine sees in whole sectors (it refuses any other).
TEST_F(InFlightTest, AnUnbufferedDeviceMovesAnyBytesThroughWholeSectors) {
  constexpr std::uint64_t kDiskEnd = 8 * kMiB;
  struct Case {
    const char* what;
    std::uint64_t position;
    std::uint32_t bytes;
    std::uint32_t sector;
    std::uint32_t moved;
  };
  const Case cases[] = {
      {"whole sectors", 4096, 8192, 512, 8192},
      {"starting inside a sector", 700, 1000, 512, 1000},
      {"ending inside a sector", 1024, 700, 512, 700},
      {"inside one sector", 4100, 10, 4096, 10},
      {"across a sector boundary", 4090, 12, 4096, 12},
      {"no bytes", 600, 0, 512, 0},
      {"a 512-byte record inside a 4096-byte sector", 8192 + 512, 512, 4096, 512},
      {"past the end of the device", kDiskEnd - 100, 300, 512, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine = SmallMachine();
    machine.disks[1].bytesPerSector = c.sector;
    Load(machine);
    const std::uint64_t from = c.position < 16384 ? 0 : c.position - 16384;
    const std::uint64_t to = std::min<std::uint64_t>(kDiskEnd, c.position + c.bytes + 16384);
    std::vector<std::uint8_t> expected(to - from);
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<std::uint8_t>((from + i) * 7 + 1);
    ASSERT_TRUE(sim::WriteDisk(1, from, expected));
    std::fill_n(expected.begin() + static_cast<long>(c.position - from), c.moved, 0xC3);
    sim::ClearCalls();

    platform::Device disk = Open();
    ASSERT_TRUE(disk.unbuffered());
    const std::vector<std::uint8_t> data(c.bytes, 0xC3);
    std::uint64_t now = 0;
    ASSERT_TRUE(platform::SetPosition(disk, static_cast<std::int64_t>(c.position), platform::Origin::Begin));
    EXPECT_EQ(platform::WriteDevice(disk, data.data(), c.bytes), c.moved);
    ASSERT_TRUE(platform::SetPosition(disk, 0, platform::Origin::Current, &now));
    EXPECT_EQ(now, c.position + c.moved) << "the write did not move the position by its bytes";
    EXPECT_EQ(sim::ReadDisk(1, from, expected.size()), expected);

    ASSERT_TRUE(platform::SetPosition(disk, -static_cast<std::int64_t>(c.moved), platform::Origin::Current));
    std::vector<std::uint8_t> back(c.bytes + 1, 0);
    EXPECT_EQ(platform::ReadDevice(disk, back.data() + 1, c.bytes), c.moved) << "read from memory off any sector";
    EXPECT_EQ(std::vector<std::uint8_t>(back.begin() + 1, back.begin() + 1 + c.moved),
              std::vector<std::uint8_t>(c.moved, 0xC3));
    ASSERT_TRUE(platform::SetPosition(disk, 0, platform::Origin::Current, &now));
    EXPECT_EQ(now, c.position + c.moved) << "the read did not move the position by its bytes";

    for (const sim::Call& call : sim::Calls()) {
      if (call.op != sim::Op::Read && call.op != sim::Op::Write) continue;
      EXPECT_EQ(call.offset % c.sector, 0u) << call.offset;
      EXPECT_EQ(call.bytes % c.sector, 0u) << call.bytes;
    }
  }
}

// Every other call takes an unbuffered handle as a plain read-write one, odd sizes included;
// only the open itself can be failed apart, which is how a caller falls back to a plain open.
TEST_F(InFlightTest, AnUnbufferedHandleServesTheSynchronousCalls) {
  platform::Device disk = Open();
  std::uint64_t position = 0;
  ASSERT_TRUE(platform::SetPosition(disk, 100, platform::Origin::Begin, &position));
  const std::uint8_t odd[7] = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(platform::WriteDevice(disk, odd, sizeof odd), sizeof odd);
  ASSERT_TRUE(platform::SetPosition(disk, -7, platform::Origin::Current, &position));
  EXPECT_EQ(position, 100u);
  std::uint8_t back[7] = {};
  EXPECT_EQ(platform::ReadDevice(disk, back, sizeof back), sizeof back);
  EXPECT_EQ(std::vector<std::uint8_t>(back, back + 7), std::vector<std::uint8_t>(odd, odd + 7));
  EXPECT_TRUE(platform::FlushDevice(disk));
  EXPECT_TRUE(platform::ControlLockVolume(disk));
  std::uint64_t length = 0;
  EXPECT_TRUE(platform::QueryLengthInfo(disk, &length));
  EXPECT_EQ(length, 8 * kMiB);

  const auto unbuffered = static_cast<std::uint64_t>(Access::ReadWriteUnbuffered);
  sim::SetFaultHook([unbuffered](const sim::Call& call) {
    return call.op == sim::Op::Open && call.bytes == unbuffered;
  });
  EXPECT_FALSE(platform::OpenDevice(kDisk1, Access::ReadWriteUnbuffered).valid());
  EXPECT_TRUE(platform::OpenDevice(kDisk1, Access::ReadWrite).valid());
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
  disk.reset();

  // Which of two writes to one place lands last, round after round from a fresh load.
  const auto lastLanded = [this]() {
    Load(SmallMachine());
    platform::Device fresh = Open();
    std::vector<std::uint8_t> last;
    for (int round = 0; round < 16; ++round) {
      platform::IoBuffer first = Filled(4096, 0x01);
      platform::IoBuffer second = Filled(4096, 0x02);
      const platform::WriteInFlight a = platform::StartWrite(fresh, 8192, first.data(), 4096);
      const platform::WriteInFlight b = platform::StartWrite(fresh, 8192, second.data(), 4096);
      EXPECT_EQ(sim::WritesInFlight(), 2);
      EXPECT_EQ(platform::FinishWrite(fresh, a), 4096u);
      EXPECT_EQ(platform::FinishWrite(fresh, b), 4096u);
      last.push_back(sim::ReadDisk(1, 8192, 1)[0]);
    }
    return last;
  };
  const std::vector<std::uint8_t> orders = lastLanded();
  EXPECT_EQ(std::set<std::uint8_t>(orders.begin(), orders.end()), (std::set<std::uint8_t>{0x01, 0x02}))
      << "writes in flight always completed in one order";
  EXPECT_EQ(lastLanded(), orders) << "the order is not drawn again the same after a load";
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
  for (std::uint64_t block = 0; block < 4; ++block) {
    const std::size_t landed = block == 2 ? 1024 : kMiB;
    EXPECT_EQ(sim::ReadDisk(1, block * kMiB, landed), Bytes(landed, static_cast<std::uint8_t>(0x30 + block))) << block;
  }
  EXPECT_NE(sim::ReadDisk(1, 2 * kMiB + 1024, 1)[0], 0x32) << "the failed block was written past its count";
}

// A close finishes what is in flight on the handle, and is counted as a program's fault: it no
// longer learns what those writes moved. A power cut loses them.
TEST_F(InFlightTest, ACloseCarriesOutWritesInFlightAndAPowerCutLosesThem) {
  platform::IoBuffer buffer = Filled(4096, 0x5C);
  {
    platform::Device finished = Open();
    ASSERT_EQ(platform::FinishWrite(finished, platform::StartWrite(finished, 0, buffer.data(), 4096)), 4096u);
  }
  EXPECT_EQ(sim::HandlesClosedWithWritesInFlight(), 0) << "a handle whose writes were finished";
  std::memset(buffer.data(), 0x5D, 4096);
  for (int handles = 1; handles <= 2; ++handles) {
    platform::Device disk = Open();
    ASSERT_NE(platform::StartWrite(disk, 0, buffer.data(), 4096), platform::kNoWrite);
    ASSERT_NE(platform::StartWrite(disk, 4096, buffer.data(), 4096), platform::kNoWrite);
    disk.reset();
    EXPECT_EQ(sim::HandlesClosedWithWritesInFlight(), handles) << "counted by handle, not by write";
  }
  EXPECT_EQ(sim::WritesInFlight(), 0);
  EXPECT_EQ(sim::ReadDisk(1, 0, 8192), Bytes(8192, 0x5D));

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

// The planned cut counts a started write as a device write: the write it falls on does not
// start, and what was still in flight is lost and stays failed in the log.
TEST_F(InFlightTest, APlannedCutCountsStartedWritesAndLosesThoseInFlight) {
  platform::Device disk = Open();
  platform::IoBuffer landed = Filled(4096, 0x41);
  platform::IoBuffer lost = Filled(4096, 0x42);
  platform::IoBuffer never = Filled(4096, 0x43);
  sim::CutPowerAtWrite(4);
  ASSERT_EQ(platform::FinishWrite(disk, platform::StartWrite(disk, 0, landed.data(), 4096)), 4096u);
  const platform::WriteInFlight inFlight = platform::StartWrite(disk, 4096, lost.data(), 4096);
  ASSERT_NE(inFlight, platform::kNoWrite);
  const std::uint8_t one = 0x44;
  ASSERT_EQ(platform::WriteDevice(disk, &one, 1), 1u);
  EXPECT_FALSE(sim::PoweredOff());
  EXPECT_EQ(platform::StartWrite(disk, 8192, never.data(), 4096), platform::kNoWrite);
  EXPECT_TRUE(sim::PoweredOff());
  EXPECT_EQ(sim::WritesInFlight(), 0);
  EXPECT_EQ(platform::FinishWrite(disk, inFlight), 0u);

  EXPECT_EQ(sim::ReadDisk(1, 1, 4095), Bytes(4095, 0x41));
  EXPECT_EQ(sim::ReadDisk(1, 0, 1)[0], 0x44);
  EXPECT_NE(sim::ReadDisk(1, 4096, 1)[0], 0x42);
  EXPECT_NE(sim::ReadDisk(1, 8192, 1)[0], 0x43);
  const std::vector<sim::Call> writes = CallsOf(sim::Op::Write, kDisk1);
  ASSERT_EQ(writes.size(), 4u);
  const bool answered[] = {true, false, true, false};
  for (std::size_t i = 0; i < writes.size(); ++i) EXPECT_EQ(writes[i].ok, answered[i]) << i;
}

// A test that cuts the power from its write hook does so while other writes still wait: they
// are lost, and finishing any of them answers nothing transferred.
TEST_F(InFlightTest, ACutFromTheWriteHookLosesTheWritesStillWaiting) {
  sim::SetWriteHook([](const sim::Call&) { sim::CutPower(); });
  platform::Device disk = Open();
  std::vector<platform::IoBuffer> buffers;
  std::vector<platform::WriteInFlight> writes;
  for (std::uint64_t block = 0; block < 3; ++block) {
    buffers.push_back(Filled(4096, 0x61));
    writes.push_back(platform::StartWrite(disk, (block + 1) * kMiB, buffers.back().data(), 4096));
  }
  EXPECT_EQ(platform::FinishWrite(disk, writes[2]), 0u);
  EXPECT_TRUE(sim::PoweredOff());
  EXPECT_EQ(sim::WritesInFlight(), 0);
  EXPECT_EQ(platform::FinishWrite(disk, writes[0]), 0u);
  int landed = 0;
  for (std::uint64_t block = 0; block < 3; ++block) landed += sim::ReadDisk(1, (block + 1) * kMiB, 1)[0] == 0x61;
  EXPECT_EQ(landed, 1) << "only the write whose completion cut the power reached the disk";
}

}  // namespace
