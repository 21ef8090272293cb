// DiskWipeRun on a simulated physical disk: its volumes held for the run, the disk's own
// handle, the three closing lines, resumption after the drive list was refreshed, and a disk
// whose size is unknown.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "devices/volume_locking.h"
#include "platform/sim/machine.h"
#include "tests/wipe_fixture.h"
#include "wipe/runs.h"

namespace {

using namespace wipe_test;

const std::string kDisk1 = "\\\\.\\physicaldrive1";
const std::string kDisk2 = "\\\\.\\physicaldrive2";
const std::string kD = "\\\\.\\D:";
const std::string kE = "\\\\.\\E:";
const std::string kG = "\\\\.\\G:";
constexpr std::uint64_t kDisk2Size = 3 * kMiB + 4096;

std::vector<std::string> ClosingLines(const std::string& disk) {
  return {"Disk " + disk + " wiped successfully.", "You can partition and format the disk in Control panel->",
          "Administrator's tool->Computer management->Disk management."};
}

// Disk 0: C: (Windows). Disk 1: D:, E:, G:. Disk 2: no volume. Disk 3: H:, unformatted.
sim::Machine DiskMachine(sim::LockBehaviour e = sim::LockBehaviour::Locks, bool disk2SizeKnown = true) {
  sim::Machine machine;
  machine.disks = {MakeDisk(0, 40 * kMiB), MakeDisk(1, 16 * kMiB), MakeDisk(2, kDisk2Size), MakeDisk(3, 8 * kMiB)};
  machine.disks[2].geometryFails = !disk2SizeKnown;
  machine.disks[2].geometryExFails = !disk2SizeKnown;
  sim::Volume volumeE = MakeVolume('E', 1, 5 * kMiB, 4 * kMiB);
  volumeE.lock = e;
  machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB), MakeVolume('D', 1, kMiB, 4 * kMiB), volumeE,
                     MakeVolume('G', 1, 9 * kMiB, 4 * kMiB), MakeVolume('H', 3, kMiB, 4 * kMiB, "")};
  return machine;
}

class DiskRunTest : public EngineTest {
 protected:
  void Prepare(std::int32_t disk, sim::LockBehaviour e = sim::LockBehaviour::Locks, bool disk2SizeKnown = true) {
    Load(DiskMachine(e, disk2SizeKnown));
    SelectDisk(disk);
  }

  // Position in the call log of the first call of this kind at or after `from`.
  static long After(long from, sim::Op op, const std::string& path = std::string()) {
    return IndexOf(op, path, from < 0 ? 0 : from);
  }
};

TEST_F(DiskRunTest, EveryMethodLeavesItsLastPatternOverTheWholeDisk) {
  const int lastByte[] = {0x00, -1, -1, -2, -1};  // -1: random data, -2: the complement of pass 2
  for (int id = 0; id < kMethodCount; ++id) {
    SCOPED_TRACE("method " + std::to_string(id));
    ResetWindows();
    Prepare(2);
    PassWrites writes;
    RecordPassWrites(kDisk2, &writes);
    ASSERT_TRUE(DiskWipeRun(2, false, id));
    headless::SetPumpHook(nullptr);
    const std::vector<std::uint8_t> disk = sim::ReadDisk(2, 0, kDisk2Size);
    EXPECT_TRUE(std::equal(disk.begin(), disk.begin() + 512, disk.begin() + 512)) << "record removed";
    if (lastByte[id] == -1) {
      EXPECT_EQ(writes.mixedBlocks[WipeMethods[id].passCount], 3);
      EXPECT_FALSE(AllBytesAre(disk, disk[0]));
    } else {
      const int expected = lastByte[id] == -2 ? (*writes.uniformBytes[2].begin() ^ 0xFF) : lastByte[id];
      EXPECT_TRUE(AllBytesAre(disk, static_cast<std::uint8_t>(expected))) << "partition table and tail included";
    }
    EXPECT_EQ(TailWrites(kDisk2).size(), static_cast<std::size_t>(WipeMethods[id].passCount));
  }
}

TEST_F(DiskRunTest, DiskWithoutListedVolumesEndsWithThreeLinesAndNoFormatting) {
  Prepare(2);
  ui::SetFormatBox(true, true);  // never read by a disk run
  ASSERT_TRUE(DiskWipeRun(2, false, 0));
  EXPECT_TRUE(CallsOf(sim::Op::Lock).empty());
  EXPECT_TRUE(CallsOf(sim::Op::RunHidden).empty());
  EXPECT_EQ(Log(), ClosingLines("2"));
  EXPECT_EQ(headless::ProgressCaption(), "  Wiping disk2" + PassCaptionSuffix(0, 0));
  EXPECT_EQ(BlockWrites(kDisk2), (std::vector<std::uint64_t>{0, 1, 2}));
}

TEST_F(DiskRunTest, SecondOfThreeVolumesRefusingStopsTheRunBeforeTheDiskIsOpened) {
  Prepare(1, sim::LockBehaviour::Refuses);
  EXPECT_FALSE(DiskWipeRun(1, false, 0));
  EXPECT_EQ(Log(), std::vector<std::string>{"Unable to dismount the drive!"});
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
  const long firstLock = IndexOf(sim::Op::Lock, kD);
  ASSERT_GE(firstLock, 0);
  EXPECT_GE(After(firstLock, sim::Op::Unlock, kD), 0);
  EXPECT_GE(After(firstLock, sim::Op::Close, kD), 0);
  EXPECT_EQ(After(firstLock, sim::Op::Open, kG), -1) << "the third volume is never opened";
  EXPECT_EQ(After(firstLock, sim::Op::Open, kDisk1), -1);
  EXPECT_EQ(sim::OpenHandles(), 0) << "the run released the volumes it held";
}

TEST_F(DiskRunTest, DiskThatCannotBeOpenedReleasesEveryVolume) {
  Prepare(1);
  // The run's own opens of the disk (unbuffered, then plain): those after its volumes were
  // secured and before they are let go.
  sim::SetFaultHook([](const sim::Call& call) {
    return call.op == sim::Op::Open && call.path == kDisk1 && IndexOf(sim::Op::Lock) >= 0 &&
           IndexOf(sim::Op::Unlock) < 0;
  });
  EXPECT_FALSE(DiskWipeRun(1, false, 0));
  EXPECT_EQ(Log(), std::vector<std::string>{"Open disk error!"});
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
  const long failedOpen = IndexOf(sim::Op::Open, kDisk1);
  long previous = failedOpen;
  for (const std::string& volume : {kD, kE, kG}) {
    const long unlock = After(failedOpen, sim::Op::Unlock, volume);
    EXPECT_GT(unlock, previous) << volume << " released in the order taken";
    EXPECT_GT(After(unlock, sim::Op::Close, volume), unlock);
    previous = unlock;
  }
  EXPECT_GT(After(failedOpen, sim::Op::UpdateProperties, kDisk1), previous);
}

// The disk handle is closed before the volumes are let go, the layout is re-read after them,
// and the lists come last, whatever the outcome.
TEST_F(DiskRunTest, EveryOutcomeReleasesInTheSameOrder) {
  enum class End { Success, Cancel, Failure };
  struct Case {
    End end;
    bool result;
    std::vector<std::string> logEnd;
  };
  const std::vector<Case> cases = {
      {End::Success, true, ClosingLines("1")},
      {End::Cancel, false, {"User canceled."}},
      {End::Failure, false, {"Please check drive connections.", "Wipe aborted!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.end));
    ResetWindows();
    Prepare(1);
    ui::SetShutdownBox(true);
    if (c.end == End::Cancel) CancelAtPump(3);
    if (c.end == End::Failure) sim::FailWrites(kDisk1, 2, 11);
    EXPECT_EQ(DiskWipeRun(1, false, 0), c.result);
    EXPECT_EQ(headless::RunFailedShown(), c.end == End::Failure);
    headless::SetPumpHook(nullptr);
    const std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), c.logEnd.size());
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<long>(c.logEnd.size()), log.end()), c.logEnd);

    long lastWrite = -1;
    for (std::size_t i = 0; i < sim::Calls().size(); ++i) {
      if (sim::Calls()[i].op == sim::Op::Write && sim::Calls()[i].bytes == kBlockSize) lastWrite = static_cast<long>(i);
    }
    const long close = After(lastWrite, sim::Op::Close, kDisk1);
    const long unlockFirst = After(lastWrite, sim::Op::Unlock, kD);
    const long unlockLast = After(lastWrite, sim::Op::Unlock, kG);
    const long update = After(lastWrite, sim::Op::UpdateProperties, kDisk1);
    const long refresh = After(lastWrite, sim::Op::VolumeInfo);
    EXPECT_LT(close, unlockFirst);
    EXPECT_LT(unlockLast, update);
    EXPECT_LT(update, refresh);
    if (c.end == End::Success) {
      EXPECT_LT(After(lastWrite, sim::Op::Read, kDisk1), close) << "the record goes before the disk is closed";
    }
    EXPECT_EQ(!CallsOf(sim::Op::PowerOff).empty(), c.result);
    BreakpointValues found;
    EXPECT_EQ(FindBreakpoint(DiskDevicePath(1), &found), !c.result) << "the record outlives a broken run";
  }
}

// The run ends by having Windows read the disk again: what it wrote over the partition table
// takes the disk's volumes and their letters away, so a cancelled disk is listed by its record
// and a wiped one with nothing at all, as on Windows.
TEST_F(DiskRunTest, TheDiskLosesItsVolumesAndACancelledOneIsListedResumable) {
  Prepare(1);
  CancelAtPump(3);
  EXPECT_FALSE(DiskWipeRun(1, false, 0));
  headless::SetPumpHook(nullptr);
  auto listed = [] {
    std::string roots;
    for (int row = 0; row < DriveCount; ++row) roots += FieldText(DriveTable[row].RootPath) + " ";
    return roots;
  };
  auto disk1 = [] {
    for (int row = 0; row < DiskCount; ++row) {
      if (DiskTable[row].DiskNumber == 1) return FieldText(DiskTable[row].LogicalDrives);
    }
    return std::string("not listed");
  };
  EXPECT_EQ(listed(), "C:\\ H:\\ ");
  EXPECT_EQ(disk1(), "Incomplete wipe, resumable.");
  EXPECT_EQ(headless::Rows(ui::List::Drive).size(), 2u);

  ASSERT_TRUE(FindBreakpoint(DiskDevicePath(1), &ResumePoint));
  SelectDisk(1);
  ASSERT_TRUE(DiskWipeRun(1, true, ResumePoint.MethodId));
  EXPECT_EQ(listed(), "C:\\ H:\\ ");
  EXPECT_EQ(disk1(), "");
}

// ResumePoint holds what the Resume command found on this disk; the drive list refresh at the
// start of the run looks at other devices' records and must not change it.
TEST_F(DiskRunTest, ResumedRunContinuesAtTheResumePointAfterRefreshingTheDriveList) {
  Prepare(1);
  {
    platform::Device h = platform::OpenDevice("\\\\.\\H:", platform::Access::ReadWrite);
    char text[50] = "other";
    WindowRunContext context;
    ASSERT_TRUE(SaveBreakpoint(h, 2, 4, 0, 0, 4, text, 0x00, nullptr, context));
  }
  PutResumePoint(1, 1, 3, 16, 0, "resumed disk");
  sim::ClearCalls();
  PassWrites writes;
  RecordPassWrites(kDisk1, &writes);
  ASSERT_TRUE(DiskWipeRun(1, true, 1));
  headless::SetPumpHook(nullptr);

  const long lookedAtH = IndexOf(sim::Op::Open, "\\\\.\\H:");
  const std::vector<std::uint64_t> blocks = BlockWrites(kDisk1);
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.front(), 3u);
  EXPECT_LT(lookedAtH, IndexOf(sim::Op::Write, kDisk1)) << "the refresh came first";
  EXPECT_EQ(writes.blocks[2].front(), 3u);
  EXPECT_EQ(writes.uniformBytes[2], std::set<int>{0xFF});
  EXPECT_EQ(writes.blocks[3].size(), 16u);
  EXPECT_EQ(writes.blocks.count(1), 0u);
  EXPECT_EQ(headless::ProgressValue(ui::ProgressValue::Amount), "15 MB/resumed disk");
  EXPECT_EQ(ResumePoint.StartBlock, 3u);
  EXPECT_EQ(ResumePoint.MethodId, 1);
}

// Writing nothing and calling it a success would leave the disk as it was: a fresh run needs
// the disk's length, from the disk itself or from the inventory; a resumed run has its own.
TEST_F(DiskRunTest, DiskOfUnknownSizeIsRefusedInAFreshRun) {
  struct Case {
    const char* what;
    bool lengthQueryFails;
    bool resume;
    bool result;
    std::vector<std::uint64_t> blocks;
  };
  const std::vector<Case> cases = {
      {"size unknown", true, false, false, {}},
      {"the disk tells its length", false, false, true, {0, 1, 2}},
      {"resumed", true, true, true, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWindows();
    Prepare(2, sim::LockBehaviour::Locks, false);
    ASSERT_EQ(DiskTable[SelectedDiskRow].Capacity, 0u);
    if (c.lengthQueryFails) sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::LengthInfo; });
    PutResumePoint(0, 0, 1, 3, 4096, "3.00 MB");
    EXPECT_EQ(DiskWipeRun(2, c.resume, 0), c.result);
    sim::ClearFaults();
    EXPECT_EQ(BlockWrites(kDisk2), c.blocks);
    if (!c.result) {
      EXPECT_EQ(Log(), std::vector<std::string>{"The size of disk 2 could not be read, can not wipe."});
      EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
      EXPECT_GT(IndexOf(sim::Op::UpdateProperties, kDisk2), IndexOf(sim::Op::Close, kDisk2));
    } else {
      // The resumed run did not read block 0 back, which the run it resumed wrote.
      std::vector<std::string> closing = ClosingLines("2");
      if (c.resume) {
        closing.insert(closing.begin() + 1,
                       "Block 0 was written by the interrupted run this one resumed, and not read back since: what "
                       "that run could not overwrite is listed in its own report.");
      }
      EXPECT_EQ(Log(), closing);
      EXPECT_EQ(TailWrites(kDisk2).size(), 1u);
    }
  }
}

}  // namespace
