// What the runs make durable and where their blocks land: flushes around every record and at
// the end of every pass, a failed flush ending the run, the extended-DASD control on a
// secured volume, the skip after a short block from the start of the target, and a drive of
// unknown length refused.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "devices/volume_locking.h"
#include "platform/sim/machine.h"
#include "tests/wipe_fixture.h"
#include "wipe/runs.h"

namespace {

using namespace wipe_test;

const std::string kE = "\\\\.\\E:";
const std::string kDisk1 = "\\\\.\\physicaldrive1";
const char* const kFlushFailed = "Failed to flush the drive's write cache.";

class DurableWritesTest : public EngineTest {
 protected:
  void Prepare(const sim::Machine& machine) {
    ResetWindows();
    Load(machine);
    SelectDrive("E:\\");
    ui::SetFormatBox(false, true);
  }

  static bool IsRecordWrite(const sim::Call& call) {
    return call.op == sim::Op::Write && call.offset == 0 && call.bytes == kRecordUnit;
  }
  static bool IsBlockWrite(const sim::Call& call) { return call.op == sim::Op::Write && call.bytes == kBlockSize; }

  static bool Logged(const std::string& text) { return LinesEqualTo(text) > 0; }
};

// Every record is preceded by a flush after the blocks it vouches for and followed by one before
// the next block; every pass ends with a flush after its tail; the removal is flushed on both
// sides, all before the volume is let go.
TEST_F(DurableWritesTest, RecordsPassesAndTheRemovalAreEachFlushed) {
  for (int id : {0, 1}) {
    SCOPED_TRACE("method " + std::to_string(id));
    Prepare(MachineWithE(3 * kMiB + 4096));
    ASSERT_TRUE(DriveWipeRun("E:", false, id));
    const std::vector<sim::Call>& calls = sim::Calls();
    int records = 0;
    int passEnds = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      const sim::Call& call = calls[i];
      if (call.path != kE) continue;
      if (IsRecordWrite(call)) {
        ++records;
        long before = -1;
        for (std::size_t j = 0; j < i; ++j) {
          if (calls[j].path == kE && (IsBlockWrite(calls[j]) || calls[j].op == sim::Op::Flush)) before = static_cast<long>(j);
        }
        ASSERT_GE(before, 0);
        EXPECT_EQ(calls[before].op, sim::Op::Flush) << "record at call " << i << " not preceded by a flush";
        for (std::size_t j = i + 1; j < calls.size(); ++j) {
          if (calls[j].path != kE || (calls[j].op != sim::Op::Write && calls[j].op != sim::Op::Flush && calls[j].op != sim::Op::Unlock)) continue;
          EXPECT_EQ(calls[j].op, sim::Op::Flush) << "record at call " << i << " not followed by a flush";
          break;
        }
      }
      // The tail of 4096 bytes at the end of the volume ends each pass.
      if (call.op == sim::Op::Write && call.bytes == 4096 && call.offset == 3 * kMiB) {
        ++passEnds;
        ASSERT_LT(i + 1, calls.size());
        EXPECT_EQ(calls[i + 1].op, sim::Op::Flush) << "pass ending at call " << i << " not flushed";
      }
    }
    // Before blocks 1 and 2 of every pass, and the removal's rewrite of the unit.
    EXPECT_EQ(records, 2 * WipeMethods[id].passCount + 1);
    EXPECT_EQ(passEnds, WipeMethods[id].passCount);
    // The removal: flush, read, write, flush, then the unlock.
    const long unlock = IndexOf(sim::Op::Unlock, kE);
    std::vector<sim::Op> end;
    for (long i = unlock - 1; i >= 0 && end.size() < 4; --i) {
      const sim::Op op = calls[static_cast<std::size_t>(i)].op;
      if (op != sim::Op::Seek) end.insert(end.begin(), op);
    }
    EXPECT_EQ(end, (std::vector<sim::Op>{sim::Op::Flush, sim::Op::Read, sim::Op::Write, sim::Op::Flush}));
  }
}

// Whichever flush fails, the run ends as failed with the flush's line and no success line.
TEST_F(DurableWritesTest, AFailedFlushEndsTheRunAsFailed) {
  Prepare(MachineWithE(3 * kMiB + 4096));
  ASSERT_TRUE(DriveWipeRun("E:", false, 1));
  const int flushes = static_cast<int>(CallsOf(sim::Op::Flush, kE).size());
  ASSERT_GT(flushes, 6);
  for (int failing = 1; failing <= flushes; ++failing) {
    SCOPED_TRACE("flush " + std::to_string(failing) + " of " + std::to_string(flushes));
    Prepare(MachineWithE(3 * kMiB + 4096));
    auto seen = std::make_shared<int>(0);
    sim::SetFaultHook([seen, failing](const sim::Call& call) { return call.op == sim::Op::Flush && ++*seen == failing; });
    EXPECT_FALSE(DriveWipeRun("E:", false, 1));
    sim::ClearFaults();
    EXPECT_EQ(LinesEqualTo(kFlushFailed), 1);
    EXPECT_FALSE(Logged("Drive E: wiped successfully."));
    ASSERT_GE(Log().size(), 2u);
    EXPECT_EQ(Log().back(), "Wipe aborted!");
    EXPECT_EQ(CallsOf(sim::Op::Flush, kE).size(), static_cast<std::size_t>(failing)) << "the run went on";
    EXPECT_EQ(sim::OpenHandles(), 0) << "the run released what it held";
  }
}

// The record's removal at the end reads and rewrites the first 4096 bytes; when either fails,
// the record stays and the device is listed as resumable, so the run ends as failed and says
// why, on a drive and on a disk.
TEST_F(DurableWritesTest, ARecordThatCannotBeRemovedFailsTheRun) {
  struct Case {
    const char* name;
    bool disk;
    sim::Op failing;
  };
  const Case cases[] = {
      {"drive, the read fails", false, sim::Op::Read},
      {"drive, the write fails", false, sim::Op::Write},
      {"disk, the read fails", true, sim::Op::Read},
      {"disk, the write fails", true, sim::Op::Write},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Prepare(MachineWithE(3 * kMiB + 4096));
    const std::string path = c.disk ? kDisk1 : kE;
    const std::uint64_t tailAt = c.disk ? 5 * kMiB : 3 * kMiB;  // the last write of the pass
    // Once the pass has written its last bytes, the next transfer of the record's unit fails.
    auto passDone = std::make_shared<bool>(false);
    sim::SetFaultHook([passDone, path, tailAt, c](const sim::Call& call) {
      if (call.path != path) return false;
      if (call.op == sim::Op::Write && call.offset == tailAt) *passDone = true;
      return *passDone && call.op == c.failing && call.offset == 0 && call.bytes == kRecordUnit;
    });
    RunResult facts;
    if (c.disk) SelectDisk(1);
    EXPECT_FALSE(c.disk ? DiskWipeRun(1, false, 0, &facts) : DriveWipeRun("E:", false, 0, &facts));
    sim::ClearFaults();
    EXPECT_EQ(LinesEqualTo("Failed to remove breakpoint info."), 1);
    EXPECT_FALSE(Logged(c.disk ? "Disk 1 wiped successfully." : "Drive E: wiped successfully."));
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().back(), "Wipe aborted!");
    EXPECT_EQ(facts.outcome, RunOutcome::Failed);
    EXPECT_EQ(facts.failureReason, kRecordNotRemoved);
    BreakpointValues found;
    EXPECT_TRUE(FindBreakpoint(c.disk ? DiskDevicePath(1) : VolumeDevicePath("E:"), &found))
        << "the record the run could not remove";
  }
}

// A disk cache that holds the whole volume would merge the three passes into one write of the
// media; the flush at each pass's end puts each pass on the media.
TEST_F(DurableWritesTest, ThreePassRunPutsThreeFullPassesOnTheMedia) {
  const std::uint64_t length = 3 * kMiB + 4096;
  sim::Machine machine = MachineWithE(length);
  machine.disks[1].writeCache = 64 * kMiB;
  Prepare(machine);
  ui::SetOptionChecked(ui::Option::WipeResumable, false);
  const std::uint64_t before = sim::MediaBytesWritten(1);
  ASSERT_TRUE(DriveWipeRun("E:", false, 1));
  const std::uint64_t written = sim::MediaBytesWritten(1) - before;
  EXPECT_GE(written, 3 * length);
  EXPECT_LT(written, 4 * length);
  sim::CutPower();
  EXPECT_FALSE(sim::ReadVolume('E', 0, length).empty());
}

// NTFS ends before its volume: the run lifts the bound on its handle before writing and writes
// the whole length; a volume that refuses the control is still wiped, with one line saying so.
TEST_F(DurableWritesTest, BoundedVolumeIsWrittenToItsFullLength) {
  const std::uint64_t length = 3 * kMiB + 4096;
  struct Case {
    const char* what;
    bool dasdFails;
  };
  for (const Case& c : {Case{"control sent", false}, Case{"control refused", true}}) {
    SCOPED_TRACE(c.what);
    sim::Machine machine = MachineWithE(length, length - 512);
    machine.volumes[1].fileSystem = "NTFS";
    machine.fileSystemBounds = true;
    Prepare(machine);
    ASSERT_TRUE(sim::WriteVolume('E', length - 512, std::vector<std::uint8_t>(512, 0x11)));
    if (c.dasdFails) sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::ExtendedDasd; });
    ASSERT_TRUE(DriveWipeRun("E:", false, 0));
    sim::ClearFaults();
    const long dasd = IndexOf(sim::Op::ExtendedDasd, kE);
    ASSERT_GE(dasd, 0);
    EXPECT_GT(dasd, IndexOf(sim::Op::Lock, kE));
    EXPECT_LT(dasd, IndexOf(sim::Op::Write, kE));
    EXPECT_EQ(CallsOf(sim::Op::ExtendedDasd).size(), 1u);
    if (!c.dasdFails) {
      EXPECT_TRUE(AllBytesAre(sim::ReadVolume('E', 0, length), 0x00));
      EXPECT_EQ(Log(), std::vector<std::string>{"Drive E: wiped successfully."});
    } else {
      EXPECT_EQ(Log().front(), "Drive E: refused access past its file system; its last sectors may not be overwritten.");
      EXPECT_EQ(Log().size(), 3u) << "the tail's short write and the success line follow";
      EXPECT_TRUE(AllBytesAre(sim::ReadVolume('E', length - 512, 512), 0x11));
    }
  }
}

// The disk handle is bounded by no file system: the disk run sends no extended-DASD control.
TEST_F(DurableWritesTest, DiskRunSendsNoExtendedDasdControl) {
  sim::Machine machine = MachineWithE(3 * kMiB);
  machine.fileSystemBounds = true;
  ResetWindows();
  Load(machine);
  SelectDisk(1);
  ASSERT_TRUE(DiskWipeRun(1, false, 0));
  EXPECT_TRUE(CallsOf(sim::Op::ExtendedDasd).empty());
  EXPECT_TRUE(AllBytesAre(sim::ReadDisk(1, 0, 5 * kMiB), 0x00));
  EXPECT_GE(CallsOf(sim::Op::Flush, kDisk1).size(), 3u);
}

// After block k is written short, block k + 1 is still written at (k + 1) MiB from the start of
// the target, with writes in flight (each names its offset) and through the plain handle (which
// moves there from the start); when that move fails, the run stops as failed and writes nothing
// more.
TEST_F(DurableWritesTest, ShortBlockIsSkippedFromTheStartOfTheTarget) {
  struct Case {
    const char* what;
    std::uint32_t transferred;
    bool plainHandle;
    bool skipFails;
  };
  const std::vector<Case> cases = {
      {"nothing written, in flight", 0, false, false},
      {"part written, in flight", 1000, false, false},
      {"nothing written, plain handle", 0, true, false},
      {"part written, plain handle", 1000, true, false},
      {"part written, plain handle, skip fails", 1000, true, true},
  };
  const std::uint64_t k = 2;
  const std::string fallback =
      "Drive E: will not take unbuffered writes; it is written through the system's cache, one block at a time.";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare(MachineWithE(5 * kMiB));
    sim::FailWrites(kE, k, 1, c.transferred);
    sim::SetFaultHook([k, c](const sim::Call& call) {
      if (c.plainHandle && call.op == sim::Op::Open &&
          call.bytes == static_cast<std::uint64_t>(platform::Access::ReadWriteUnbuffered)) {
        return true;
      }
      return c.skipFails && call.op == sim::Op::Seek && call.offset == (k + 1) * kMiB;
    });
    EXPECT_EQ(DriveWipeRun("E:", false, 0), !c.skipFails);
    sim::ClearFaults();
    std::vector<std::string> log = Log();
    if (c.plainHandle) {
      ASSERT_FALSE(log.empty());
      EXPECT_EQ(log.front(), fallback);
      log.erase(log.begin());
    }
    const std::vector<std::uint64_t> blocks = BlockWrites(kE);
    if (c.skipFails) {
      EXPECT_EQ(blocks, (std::vector<std::uint64_t>{0, 1, 2}));
      EXPECT_EQ(log, (std::vector<std::string>{"Write disk I/O error!", "Fatal error, INVALID_SET_FILE_POINTER.",
                                               "Please check drive connections.", "Wipe aborted!"}));
      continue;
    }
    EXPECT_EQ(blocks, (std::vector<std::uint64_t>{0, 1, 2, 3, 4}));
    for (const sim::Call& call : CallsOf(sim::Op::Write, kE)) {
      if (call.bytes == kBlockSize) {
        EXPECT_EQ(call.offset % kMiB, 0u) << "a block off its boundary";
      }
    }
    EXPECT_EQ(log, (std::vector<std::string>{"Write disk I/O error!", "Drive E: wiped, but 1 MB could not be overwritten."}));
    const std::vector<std::uint8_t> volume = sim::ReadVolume('E', 0, 5 * kMiB);
    EXPECT_TRUE(AllBytesAre(std::vector<std::uint8_t>(volume.begin() + (k + 1) * kMiB, volume.end()), 0x00));
  }
}

// A fresh run on a volume of unknown length writes nothing, lets the volume go and says why.
TEST_F(DurableWritesTest, DriveOfUnknownLengthIsRefused) {
  sim::Machine machine = MachineWithE(3 * kMiB);
  machine.volumes[1].fileSystem.clear();  // no file system: the inventory found no size either
  Prepare(machine);
  ASSERT_EQ(SelectedDrive().Capacity, 0u);
  sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::LengthInfo; });
  EXPECT_FALSE(DriveWipeRun("E:", false, 0));
  sim::ClearFaults();
  EXPECT_EQ(Log(), std::vector<std::string>{"The size of drive E: could not be read, can not wipe."});
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
  EXPECT_EQ(sim::OpenHandles(), 0) << "the run released what it held";
  // The check of the row opened and closed E: as well; the run's handle closes after the query.
  EXPECT_GE(IndexOf(sim::Op::Close, kE, IndexOf(sim::Op::LengthInfo, kE)), 0);
}

// A record counts blocks in 32 bits, so a target of 2^32 blocks or more cannot be wiped: its
// count would wrap and the run would write a few blocks and call the target wiped.
TEST_F(DurableWritesTest, TargetOfMoreBlocksThanACountHoldsIsRefused) {
  struct Case {
    bool disk;
    std::uint64_t blocks;  // and a tail of 4096 bytes
    const char* line;      // empty: the run goes ahead
  };
  const Case cases[] = {
      {false, 0x100000001ULL, "The size of drive E: is beyond 4096 TB, can not wipe."},
      {true, 0x100000000ULL, "The size of disk 1 is beyond 4096 TB, can not wipe."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ResetWindows();
    // Disk 1 holds nothing but E:, so the volume and the disk are both that large.
    Prepare(MachineWithE(c.blocks * kMiB + 4096));
    if (c.disk) SelectDisk(1);
    const bool result = c.disk ? DiskWipeRun(1, false, 0) : DriveWipeRun("E:", false, 0);
    EXPECT_FALSE(result);
    EXPECT_EQ(Log(), std::vector<std::string>{c.line});
    EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
    EXPECT_EQ(sim::OpenHandles(), 0) << "the run released what it held";
    EXPECT_EQ(sim::OpenHandles(), 0) << "the run released the volumes it held";
  }
}

}  // namespace
