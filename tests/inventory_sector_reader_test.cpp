// Raw sector reads on the NT path (the device itself) and through the sector library.
#include <gtest/gtest.h>

#include <vector>

#include "devices/inventory.h"
#include "tests/inventory_fixture.h"

namespace {

using namespace inventory_test;

class SectorReading : public MachineTest {
 protected:
  static std::vector<std::uint8_t> Pattern(std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(4096);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
  }
};

TEST_F(SectorReading, OffsetsBeyondFourGibibytesKeepTheirHighHalf) {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(0, 9 * 1024 * kMiB)};
  Load(machine);
  const std::uint32_t sectors[] = {8388608, 8388609, 0xFFFFFF};
  for (std::uint32_t first : sectors) {
    SCOPED_TRACE(first);
    const std::uint64_t offset = std::uint64_t{first} * 512;
    const std::vector<std::uint8_t> expected = Pattern(static_cast<std::uint8_t>(first));
    ASSERT_TRUE(sim::WriteDisk(0, offset, expected));
    // Disk 0 also holds a different pattern where a lost high half would land.
    ASSERT_TRUE(sim::WriteDisk(0, offset & 0xFFFFFFFFu, Pattern(0x55)));
    sim::ClearCalls();

    std::vector<std::uint8_t> buffer(4096, 0);
    EXPECT_EQ(SectorReader(0, first, 8, buffer.data()), 1);
    EXPECT_EQ(buffer, expected);
    const std::vector<sim::Call> seeks = CallsOf(sim::Op::Seek);
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_EQ(seeks[0].offset, offset);
    const std::vector<sim::Call> opens = CallsOf(sim::Op::Open);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].path, "\\\\.\\physicaldrive0");
    EXPECT_EQ(opens[0].bytes, static_cast<std::uint64_t>(platform::Access::ReadWrite));
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

TEST_F(SectorReading, AnythingLessThanTheWholeReadIsZero) {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(0, kMiB), MakeDisk(1, kMiB)};
  machine.disks[1].openable = false;
  Load(machine);
  const struct {
    const char* name;
    std::uint8_t disk;
    std::uint32_t firstSector;
    bool failReads;
    std::uint8_t result;
  } cases[] = {
      {"whole read", 0, 2040, false, 1},
      {"runs past the end", 0, 2044, false, 0},
      {"cannot be opened", 1, 0, false, 0},
      {"no such disk", 7, 0, false, 0},
      {"read fails", 0, 0, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SetFaultHook([&](const sim::Call& call) { return c.failReads && call.op == sim::Op::Read; });
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_EQ(SectorReader(c.disk, c.firstSector, 8, buffer.data()), c.result);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

TEST_F(SectorReading, OutsideTheNtFamilyTheLibraryReadsByBiosDriveNumber) {
  const struct {
    const char* name;
    bool library;
    std::uint8_t disk;
    std::uint8_t result;
  } cases[] = {
      {"library, disk present", true, 2, 1},
      {"library, no such disk", true, 5, 0},
      {"library missing", false, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = EmptyMachine();
    machine.platformId = platform::kPlatformWindows9x;
    machine.sectorLibrary = c.library;
    machine.disks = {MakeDisk(2, 64 * kMiB)};
    Load(machine);
    ASSERT_TRUE(sim::WriteDisk(2, 512 * 9, Pattern(3)));

    std::vector<std::uint8_t> buffer(4096);
    EXPECT_EQ(SectorReader(c.disk, 9, 8, buffer.data()), c.result);
    const std::vector<sim::Call> calls = CallsOf(sim::Op::SectorLibrary);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].path, DiskDevicePath(c.disk));  // bios drive 0x80 + disk
    EXPECT_EQ(calls[0].offset, 9u * 512);
    if (c.result == 1) {
      EXPECT_EQ(buffer, Pattern(3));
    }
    EXPECT_TRUE(CallsOf(sim::Op::Open).empty());
  }
}

}  // namespace
