#pragma once
// A small simulated machine per test, fresh headless windows and empty tables, plus the bytes
// of a breakpoint record as an interrupted run leaves them.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/sim/machine.h"
#include "resume/breakpoint.h"
#include "ui/headless/headless.h"

namespace inventory_test {

using sim::CallsOf;

inline constexpr std::uint64_t kMiB = 1048576;

inline sim::Disk MakeDisk(int number, std::uint64_t size) {
  sim::Disk disk;
  disk.number = number;
  disk.size = size;
  return disk;
}

inline sim::Volume MakeVolume(char letter, int disk, std::uint64_t offset, std::uint64_t length,
                              const std::string& fileSystem = "NTFS", const std::string& label = "") {
  return sim::VolumeOn(letter, disk, offset, length, fileSystem, label);
}

// A machine without volumes; the Windows directory names C: unless a test changes it.
inline sim::Machine EmptyMachine() {
  sim::Machine machine;
  machine.disks.clear();
  machine.volumes.clear();
  return machine;
}

// The values of a record an interrupted run of methodId left before block startBlock.
inline BreakpointValues Record(std::uint8_t methodId, std::uint8_t passIndex, std::uint32_t startBlock,
                               std::uint32_t blockCount, const std::string& capacityText) {
  BreakpointValues values;
  values.MethodId = methodId;
  values.PassIndex = passIndex;
  values.StartBlock = startBlock;
  values.BlockCount = blockCount;
  SetField(values.CapacityText, capacityText);
  return values;
}

// The first 4096 bytes of a device that carries a record of these values whose checks pass.
inline std::vector<std::uint8_t> RecordBytes(const BreakpointValues& values) {
  std::vector<std::uint8_t> unit(4096, 0);
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) unit[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  unit[0] = unit[510] = 'D';
  unit[1] = unit[511] = 'M';
  put32(20, values.StartBlock);
  put32(24, values.BlockCount);
  put32(28, values.TailBytes);
  unit[32] = values.PassIndex;
  unit[33] = values.MethodId;
  std::memcpy(&unit[34], values.CapacityText, sizeof values.CapacityText);
  unit[84] = values.FillByte;
  for (int k = 20; k <= 84; ++k) unit[k + 65] = unit[k] ^ 0x53;
  return unit;
}

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    sim::ClearFaults();
    DriveCount = 0;
    DiskCount = 0;
    SelectedDriveRow = -1;
    SelectedDiskRow = -1;
    ResumePoint = BreakpointValues{};
  }
  void TearDown() override { sim::ClearFaults(); }

  // Loads the machine and forgets the calls that loading made.
  void Load(const sim::Machine& machine) {
    std::string error;
    ASSERT_TRUE(sim::Load(machine, &error)) << error;
    sim::ClearCalls();
  }
};

}  // namespace inventory_test
