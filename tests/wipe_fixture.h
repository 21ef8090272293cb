#pragma once
// A small simulated machine per test for the wipe engine, fresh headless windows and empty
// tables, and ways to look at what a run wrote: the block writes and breakpoint saves in the
// call log, the bytes each pass put on the device, and the device's final content.

#include <algorithm>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "app/target_lists.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/sim/machine.h"
#include "resume/breakpoint.h"
#include "tests/inventory_fixture.h"
#include "ui/headless/headless.h"
#include "wipe/methods.h"

namespace wipe_test {

using sim::CallsOf;

using inventory_test::kMiB;
using inventory_test::MakeDisk;
using inventory_test::MakeVolume;

// C: holds Windows on disk 0; disk 1 holds the volume E: of `length` bytes from offset 1 MiB.
inline sim::Machine MachineWithE(std::uint64_t length, std::uint64_t fileSystemSize = 0) {
  sim::Machine machine;
  machine.disks = {MakeDisk(0, 40 * kMiB), MakeDisk(1, length + 2 * kMiB)};
  machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB), MakeVolume('E', 1, kMiB, length)};
  machine.volumes[1].fileSystemSize = fileSystemSize;
  return machine;
}

inline bool AllBytesAre(const std::vector<std::uint8_t>& bytes, std::uint8_t value) {
  for (std::uint8_t byte : bytes) {
    if (byte != value) return false;
  }
  return true;
}

// Block 0 of a pass after the first carries the run's record in its first sector (so that the
// device never lacks one); the pass's own content there is that of the second sector, which
// the record's removal copies back. The bytes of a write as the pass's pattern has them.
inline std::vector<std::uint8_t> PassContentOf(std::vector<std::uint8_t> bytes, std::uint64_t offset) {
  constexpr std::size_t kSector = 512;
  if (offset != 0 || bytes.size() < 2 * kSector) return bytes;
  if (bytes[0] != 'D' || bytes[1] != 'M' || bytes[510] != 'D' || bytes[511] != 'M') return bytes;
  std::copy(bytes.begin() + kSector, bytes.begin() + 2 * kSector, bytes.begin());
  return bytes;
}

inline std::vector<std::uint8_t> DeviceBytes(const std::string& path, std::uint64_t offset,
                                             std::size_t bytes) {
  static const std::string kDisk = "\\\\.\\physicaldrive";
  if (path.compare(0, kDisk.size(), kDisk) == 0) {
    return sim::ReadDisk(std::stoi(path.substr(kDisk.size())), offset, bytes);
  }
  return sim::ReadVolume(path[4], offset, bytes);
}

// What each pass wrote, seen from the event pump that follows every block write: a pass whose
// blocks are each one repeated byte collects those bytes; a pass of random data counts blocks
// with mixed bytes.
struct PassWrites {
  std::map<int, std::set<int>> uniformBytes;  // pass number (from 1): the repeated bytes
  std::map<int, int> mixedBlocks;             // pass number: blocks of more than one value
  std::map<int, std::vector<std::uint64_t>> blocks;  // pass number: block indices written
  std::map<int, std::vector<std::size_t>> digests;   // pass number: a hash of each block written
};

inline int CaptionPass(const std::string& caption) {
  const std::string marker = "performing overwrite ";
  const std::size_t at = caption.find(marker);
  return at == std::string::npos ? 0 : std::stoi(caption.substr(at + marker.size()));
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindows();
    sim::ClearFaults();
    sim::SetClock(12, 0, 0);
    sim::SetClockStepPerQuery(0);
    CancelRequested = false;
    DriveCount = 0;
    DiskCount = 0;
    SelectedDriveRow = -1;
    SelectedDiskRow = -1;
    ResumePoint = BreakpointValues{};
  }

  // Fresh windows, with "Verify after wipe" cleared: the pass tests look at what the passes
  // leave behind; verification has tests of its own, which check the option again.
  static void ResetWindows() {
    headless::Reset();
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, false);
  }

  void TearDown() override {
    sim::ClearFaults();
    headless::SetPumpHook(nullptr);
    sim::SetWriteHook(nullptr);
    EXPECT_EQ(sim::OpenHandles(), 0) << "a device handle was left open";
    EXPECT_EQ(sim::HandlesClosedWithWritesInFlight(), 0) << "a device handle was closed with writes in flight";
  }

  // Loads the machine and fills both lists as a started program has them.
  void Load(const sim::Machine& machine) {
    std::string error;
    ASSERT_TRUE(sim::Load(machine, &error)) << error;
    RefreshDriveList();
    RefreshDiskList();
    sim::ClearCalls();
  }

  // The drive row checked on "Wipe drive" and the progress window as "Wipe it now" leaves it.
  void SelectDrive(const std::string& rootPath) {
    headless::SetActivePage(ui::kPageWipeDrive);
    // Checked as a user checks it, so the command finds the target kept at the check.
    for (int row = 0; row < DriveCount; ++row) {
      if (FieldText(DriveTable[row].RootPath) == rootPath) ui::SetRowChecked(ui::List::Drive, row, true);
    }
    ASSERT_GE(SelectedDriveRow, 0) << rootPath << " is not listed";
    ResetProgressWindow(true);
  }

  void SelectDisk(std::int32_t number) {
    headless::SetActivePage(ui::kPageWipeDisk);
    for (int row = 0; row < DiskCount; ++row) {
      if (DiskTable[row].DiskNumber == number) ui::SetRowChecked(ui::List::Disk, row, true);
    }
    ASSERT_GE(SelectedDiskRow, 0) << "disk " << number << " is not listed";
    ResetProgressWindow(false);
  }

  DriveRecord& SelectedDrive() { return DriveTable[SelectedDriveRow]; }

  static long IndexOf(sim::Op op, const std::string& path = std::string(), long from = 0) {
    const std::vector<sim::Call>& calls = sim::Calls();
    for (std::size_t i = static_cast<std::size_t>(from); i < calls.size(); ++i) {
      if (calls[i].op == op && (path.empty() || calls[i].path == path)) return static_cast<long>(i);
    }
    return -1;
  }

  // Indices of the whole blocks written on the device, in order.
  static std::vector<std::uint64_t> BlockWrites(const std::string& path) {
    std::vector<std::uint64_t> blocks;
    for (const sim::Call& call : CallsOf(sim::Op::Write, path)) {
      if (call.bytes == kBlockSize) blocks.push_back(call.offset / kMiB);
    }
    return blocks;
  }

  // Writes shorter than a block that are no breakpoint record: the tails.
  static std::vector<sim::Call> TailWrites(const std::string& path) {
    std::vector<sim::Call> tails;
    for (const sim::Call& call : CallsOf(sim::Op::Write, path)) {
      if (call.bytes != kBlockSize && !(call.bytes == kRecordUnit && call.offset == 0)) tails.push_back(call);
    }
    return tails;
  }

  // The block before which each breakpoint record was written: the next whole block written
  // after the record's 4096 bytes at offset 0 (the run writes the block it saved for).
  static std::vector<std::uint64_t> SaveBlocks(const std::string& path) {
    std::vector<std::uint64_t> saves;
    const std::vector<sim::Call>& calls = sim::Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
      const sim::Call& call = calls[i];
      if (call.op != sim::Op::Write || call.path != path || call.bytes != kRecordUnit || call.offset != 0) continue;
      for (std::size_t j = i + 1; j < calls.size(); ++j) {
        if (calls[j].op == sim::Op::Write && calls[j].path == path && calls[j].bytes == kBlockSize) {
          saves.push_back(calls[j].offset / kMiB);
          break;
        }
      }
    }
    return saves;
  }

  // Records into *writes what every block write of the device put there, when the write is
  // carried out (a write in flight completes after later ones have started).
  static void RecordPassWrites(const std::string& path, PassWrites* writes) {
    sim::SetWriteHook([path, writes](const sim::Call& call) {
      if (call.path != path || call.bytes != kBlockSize || !call.ok) return;
      const int pass = CaptionPass(headless::ProgressCaption());
      const std::vector<std::uint8_t> block = PassContentOf(DeviceBytes(path, call.offset, kBlockSize), call.offset);
      // In block order, which is the order a pass writes in.
      std::vector<std::uint64_t>& blocks = writes->blocks[pass];
      std::vector<std::size_t>& digests = writes->digests[pass];
      const auto at = std::upper_bound(blocks.begin(), blocks.end(), call.offset / kMiB) - blocks.begin();
      blocks.insert(blocks.begin() + at, call.offset / kMiB);
      // Past the first sector, which block 0 may give to a record.
      digests.insert(digests.begin() + at, std::hash<std::string>()(std::string(block.begin() + 512, block.end())));
      if (AllBytesAre(block, block[0])) {
        writes->uniformBytes[pass].insert(block[0]);
      } else {
        ++writes->mixedBlocks[pass];
      }
    });
  }

  // Presses Cancel at the first pump whose number (counted from now) is `pump`.
  static void CancelAtPump(long pump) {
    const long base = headless::PumpCount();
    headless::SetPumpHook([base, pump](long now) {
      if (now - base == pump) CancelRequested = true;
    });
  }

  static std::vector<std::string> Log() { return headless::LogTexts(); }

  static int LinesEqualTo(const std::string& text) {
    int count = 0;
    for (const std::string& line : Log()) count += line == text ? 1 : 0;
    return count;
  }

  static void PutResumePoint(std::uint8_t methodId, std::uint8_t passIndex, std::uint32_t startBlock,
                             std::uint32_t blockCount, std::uint32_t tailBytes,
                             const std::string& capacityText, std::uint8_t fillByte = 0) {
    ResumePoint = BreakpointValues{};
    ResumePoint.MethodId = methodId;
    ResumePoint.PassIndex = passIndex;
    ResumePoint.StartBlock = startBlock;
    ResumePoint.BlockCount = blockCount;
    ResumePoint.TailBytes = tailBytes;
    ResumePoint.FillByte = fillByte;
    SetField(ResumePoint.CapacityText, capacityText);
  }
};

}  // namespace wipe_test
