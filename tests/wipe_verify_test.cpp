// Verification after the last pass: what it reads, what it finds on a disk that lies or was
// changed behind the run's back, what it repairs, and how a failure, a resumed run and a
// cancel end.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "tests/wipe_fixture.h"
#include "wipe/runs.h"

namespace {

using namespace wipe_test;

const std::string kE = "\\\\.\\E:";
const std::string kDisk1 = "\\\\.\\physicaldrive1";
// 23 whole blocks, so a random-data pass refreshes its buffer twice, and a tail.
constexpr std::uint32_t kBlocks = 23;
constexpr std::uint32_t kTail = 3000;
constexpr std::uint64_t kLength = kBlocks * kMiB + kTail;

const char* const kEveryByte = "Verification: every byte read back as written.";
// After blocks were written again: says that the second read-back found them right.
const char* const kRightAfterRepair =
    "Verification: read back again after that second write, every byte was as written.";

class VerifyTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, true);
  }

  // E: on disk 1 at 1 MiB; disk 1 is exactly the volume's length larger by 2 MiB.
  void Prepare(const sim::Disk& lies = sim::Disk{}) {
    sim::Machine machine = MachineWithE(kLength);
    machine.disks[1].lieFirst = lies.lieFirst;
    machine.disks[1].lieCount = lies.lieCount;
    machine.disks[1].lieStoresOther = lies.lieStoresOther;
    machine.disks[1].lieHealsAfter = lies.lieHealsAfter;
    Load(machine);
    // Old data everywhere, so that a block that keeps nothing never happens to hold the
    // pattern; the lists already show the volume as it was.
    ASSERT_TRUE(sim::WriteDisk(1, 0, std::vector<std::uint8_t>(machine.disks[1].size, 0x11)));
  }

  bool Run(bool disk, int method, bool resume = false, bool format = false) {
    if (disk) {
      SelectDisk(1);
      return DiskWipeRun(1, resume, method);
    }
    SelectDrive("E:\\");
    ui::SetFormatBox(format, true);
    return DriveWipeRun("E:", resume, method);
  }

  // Whole-block and tail reads after the last write of the run: the verification's.
  static std::vector<sim::Call> ReadsAfterLastBlockWrite(const std::string& path) {
    const std::vector<sim::Call>& calls = sim::Calls();
    std::size_t from = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].op == sim::Op::Write && calls[i].path == path && calls[i].bytes != kRecordUnit) from = i;
    }
    std::vector<sim::Call> reads;
    for (std::size_t i = from; i < calls.size(); ++i) {
      const sim::Call& call = calls[i];
      if (call.op == sim::Op::Read && call.path == path && call.bytes != kRecordUnit) reads.push_back(call);
    }
    return reads;
  }

  // Calls the pump hook with the progress window's state once the verification shows.
  static void DuringVerification(std::function<void(long verifyingPump)> action) {
    auto first = std::make_shared<long>(-1);
    headless::SetPumpHook([first, action](long pump) {
      if (headless::ProgressCaption().find("Verifying") == std::string::npos) return;
      if (*first < 0) *first = pump;
      action(pump - *first);
    });
  }

  static bool Logged(const std::string& line) { return LinesEqualTo(line) == 1; }
};

struct Target {
  bool disk;
  const char* path;
  const char* caption;
  const char* successLine;
};
const Target kTargets[] = {
    {false, "\\\\.\\E:", "  Verifying drive E: . . .", "Drive E: wiped successfully."},
    {true, "\\\\.\\physicaldrive1", "  Verifying disk1 . . .", "Disk 1 wiped successfully."},
};

TEST_F(VerifyTest, EveryMethodsLastPassReadsBackAsWrittenOnADriveAndADisk) {
  for (const Target& target : kTargets) {
    for (int id = 0; id < kMethodCount; ++id) {
      SCOPED_TRACE(std::string(target.path) + " method " + std::to_string(id));
      ResetWindows();
      ui::SetOptionChecked(ui::Option::VerifyAfterWipe, true);
      Prepare();
      std::set<std::string> amounts;
      DuringVerification([&amounts](long) { amounts.insert(headless::ProgressValue(ui::ProgressValue::Amount)); });

      ASSERT_TRUE(Run(target.disk, id));
      headless::SetPumpHook(nullptr);

      // A wrong expectation (a lost seed, a refresh at the wrong block, the record's sector)
      // would show as blocks that read back wrong and were written again.
      const std::vector<std::string> log = Log();
      ASSERT_GE(log.size(), 2u);
      const std::size_t success = target.disk ? log.size() - 3 : log.size() - 1;
      EXPECT_EQ(log[success - 1], kEveryByte);
      EXPECT_EQ(log[success], target.successLine);
      EXPECT_EQ(headless::ProgressCaption(), target.caption);
      const std::uint32_t blocks = target.disk ? kBlocks + 2 : kBlocks;
      const std::vector<sim::Call> reads = ReadsAfterLastBlockWrite(target.path);
      ASSERT_EQ(reads.size(), blocks + 1u) << "every block once, then the tail";
      for (std::uint32_t block = 0; block < blocks; ++block) {
        EXPECT_EQ(reads[block].offset, block * kMiB);
        EXPECT_EQ(reads[block].bytes, kBlockSize);
      }
      // The unbuffered handle reads the tail in whole sectors; the device ends inside the last.
      EXPECT_EQ(reads.back().offset, std::uint64_t{blocks} * kMiB);
      EXPECT_EQ(reads.back().transferred, kTail);
      const sim::Call lastWrite = CallsOf(sim::Op::Write, target.path).back();
      EXPECT_TRUE(lastWrite.bytes == kRecordUnit && lastWrite.offset == 0)
          << "nothing was written after the record's removal";
      // The clock stands still here: as in a pass, only the first and the last block are drawn.
      EXPECT_EQ(amounts.size(), 2u) << "the amount is drawn as in a pass";
      EXPECT_EQ(amounts.begin()->rfind("0 MB/", 0), 0u) << "it starts again at block 0";
      EXPECT_EQ(amounts.rbegin()->rfind(std::to_string(blocks - 1) + " MB/", 0), 0u) << "it ends at the last block";
    }
  }
}

TEST_F(VerifyTest, ABlockChangedAfterTheLastPassIsFoundAndWrittenAgain) {
  // Methods whose last pass is zeros, random data and a complement.
  for (int id : {0, 1, 3}) {
    SCOPED_TRACE(id);
    ResetWindows();
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, true);
    Prepare();
    std::vector<std::uint8_t> before;
    std::vector<std::uint8_t> noise(kMiB);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 7 + 1);
    DuringVerification([&](long pump) {
      if (pump != 0) return;
      before = sim::ReadVolume('E', 12 * kMiB, kMiB);
      ASSERT_TRUE(sim::WriteVolume('E', 12 * kMiB, noise));
    });

    ASSERT_TRUE(Run(false, id));
    headless::SetPumpHook(nullptr);

    EXPECT_TRUE(Logged("Verification: 1 MB read back wrong and were written again."));
    EXPECT_TRUE(Logged(kRightAfterRepair));
    EXPECT_FALSE(Logged(kEveryByte));
    EXPECT_EQ(sim::ReadVolume('E', 12 * kMiB, kMiB), before) << "the last pass's content is back";
    const std::vector<std::uint64_t> rewrites = BlockWrites(kE);
    EXPECT_EQ(rewrites.back(), 12u);
  }
}

struct LieCase {
  const char* name;
  bool disk;
  int method;
  sim::Disk lies;  // blocks of disk 1; E: starts at its block 1
  bool succeeds;
  std::vector<std::string> verificationLines;
  std::uint32_t resumeBlock;  // the record's StartBlock after a failure
};

sim::Disk Lies(std::uint64_t first, std::uint64_t count, bool other, std::uint32_t healsAfter) {
  sim::Disk disk;
  disk.lieFirst = first;
  disk.lieCount = count;
  disk.lieStoresOther = other;
  disk.lieHealsAfter = healsAfter;
  return disk;
}

TEST_F(VerifyTest, ALyingDiskIsFoundRepairedOnTheSecondWriteOrTheRunFailsWithItsRecord) {
  const LieCase cases[] = {
      {"heals on the second write", false, 0, Lies(6, 2, false, 1), true,
       {"Verification: 2 MB read back wrong and were written again.", kRightAfterRepair}, 0},
      {"random data heals on the third write", false, 4, Lies(15, 3, true, 2), true,
       {"Verification: 3 MB read back wrong and were written again.", kRightAfterRepair}, 0},
      {"never heals", false, 0, Lies(6, 2, false, 0), false,
       {"Verification failed: 2 MB differ or could not be read, first at block 5."}, 5},
      {"stores other bytes, never heals", false, 1, Lies(20, 1, true, 0), false,
       {"Verification failed: 1 MB differ or could not be read, first at block 19."}, 19},
      {"a disk that never heals", true, 3, Lies(9, 4, false, 0), false,
       {"Verification failed: 4 MB differ or could not be read, first at block 9."}, 9},
  };
  for (const LieCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetWindows();
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, true);
    Prepare(c.lies);
    ui::SetShutdownBox(true);
    // A drive run that fails its verification must not format the volume either.
    const bool result = Run(c.disk, c.method, false, !c.succeeds);

    EXPECT_EQ(result, c.succeeds);
    std::vector<std::string> verification;
    for (const std::string& line : Log()) {
      if (line.rfind("Verification", 0) == 0) verification.push_back(line);
    }
    EXPECT_EQ(verification, c.verificationLines);
    const std::string subject = c.disk ? "Disk 1" : "Drive E:";
    EXPECT_EQ(LinesEqualTo(subject + " wiped successfully."), c.succeeds ? 1 : 0);
    EXPECT_EQ(CallsOf(sim::Op::PowerOff).size(), c.succeeds ? 1u : 0u);
    BreakpointValues found;
    const std::string where = c.disk ? DiskDevicePath(1) : VolumeDevicePath("E:");
    EXPECT_EQ(FindBreakpoint(where, &found), !c.succeeds);
    if (c.succeeds) continue;
    EXPECT_EQ(Log().back(), "Wipe aborted!");
    EXPECT_EQ(headless::ProgressCaption(), c.disk ? "  Verifying disk1 . . ." : "  Verifying drive E: . . .");
    EXPECT_EQ(found.StartBlock, c.resumeBlock) << "a resumed run begins at the first failed block";
    EXPECT_EQ(found.PassIndex, WipeMethods[c.method].passCount - 1);
    EXPECT_EQ(found.MethodId, c.method);
  }
}

// The second writes of the blocks that read back wrong, and the record put back for a resume,
// are flushed like every other write of the run; a failed flush there fails the run, which
// says why.
TEST_F(VerifyTest, TheRepairAndTheRecordPutBackAreFlushedAndAFailedFlushFailsTheRun) {
  struct Case {
    const char* name;
    sim::Disk lies;
    int failingFlush;  // counted from the start of the verification; 0: none fails
    bool succeeds;
    const char* reason;
  };
  const Case cases[] = {
      {"healed, flushed", Lies(6, 2, false, 1), 0, true, ""},
      {"healed, but the repair's flush fails", Lies(6, 2, false, 1), 1, false,
       "the drive's write cache could not be flushed after the second write of blocks that read back wrong"},
      {"never heals, the record's flush fails", Lies(6, 2, false, 0), 3, false,
       "verification found blocks that still differ after a second write; the breakpoint record for a resume may "
       "not be on the media"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetWindows();
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, true);
    Prepare(c.lies);
    SelectDrive("E:\\");
    ui::SetFormatBox(false, true);
    auto verifying = std::make_shared<bool>(false);
    DuringVerification([verifying](long) { *verifying = true; });
    auto flushes = std::make_shared<int>(0);
    const int failing = c.failingFlush;
    sim::SetFaultHook([verifying, flushes, failing](const sim::Call& call) {
      return *verifying && call.op == sim::Op::Flush && ++*flushes == failing;
    });
    RunResult facts;
    EXPECT_EQ(DriveWipeRun("E:", false, 0, &facts), c.succeeds);
    sim::ClearFaults();
    headless::SetPumpHook(nullptr);
    EXPECT_EQ(LinesEqualTo("Drive E: wiped successfully."), c.succeeds ? 1 : 0);
    if (c.succeeds) continue;
    EXPECT_EQ(LinesEqualTo("Failed to flush the drive's write cache."), 1);
    EXPECT_EQ(facts.failureReason, c.reason);
    EXPECT_EQ(Log().back(), "Wipe aborted!");
  }
  // The record put back after a failed verification: flushed before and after its write.
  ResetWindows();
  ui::SetOptionChecked(ui::Option::VerifyAfterWipe, true);
  Prepare(Lies(6, 2, false, 0));
  ASSERT_FALSE(Run(false, 0));
  const std::vector<sim::Call>& calls = sim::Calls();
  long recordAt = -1;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].op == sim::Op::Write && calls[i].path == kE && calls[i].offset == 0 && calls[i].bytes == kRecordUnit) {
      recordAt = static_cast<long>(i);
    }
  }
  ASSERT_GE(recordAt, 0);
  EXPECT_GT(IndexOf(sim::Op::Flush, kE, recordAt), recordAt) << "not flushed after";
  long before = -1;
  for (long i = recordAt - 1; i >= 0 && before < 0; --i) {
    if (calls[i].path == kE && (calls[i].op == sim::Op::Flush || calls[i].bytes == kBlockSize)) before = i;
  }
  ASSERT_GE(before, 0);
  EXPECT_EQ(calls[before].op, sim::Op::Flush) << "the repaired blocks were not flushed before the record";
}

TEST_F(VerifyTest, AResumedRandomPassCountsWhatItDidNotWriteAsNotVerifiable) {
  Prepare();
  SelectDrive("E:\\");
  // GOST resumed in its random-data pass at block 7: blocks 0 to 6 hold data of another run.
  PutResumePoint(4, 1, 7, kBlocks, kTail, FieldText(SelectedDrive().CapacityText));
  ASSERT_TRUE(Run(false, 4, true));

  EXPECT_TRUE(Logged("Verification: 7 MB could not be verified (written before the interruption)."));
  EXPECT_EQ(LinesEqualTo(kEveryByte), 0);
  const std::vector<sim::Call> reads = ReadsAfterLastBlockWrite(kE);
  ASSERT_EQ(reads.size(), kBlocks - 7 + 1u);
  EXPECT_EQ(reads.front().offset, 7 * kMiB) << "the blocks before the resume point are not read";
  // Nothing vouches for them, and the success line is followed by saying so.
  ASSERT_GE(Log().size(), 2u);
  EXPECT_EQ(Log()[Log().size() - 2], "Drive E: wiped successfully.");
  EXPECT_EQ(Log().back(),
            "Blocks 0 to 6 were written by the interrupted run this one resumed, and not read back since: what that "
            "run could not overwrite is listed in its own report.");
}

TEST_F(VerifyTest, AResumedPassOfOneByteIsVerifiedWholeAndItsEarlierBlocksToo) {
  // AR380-19 resumed in its complement pass at block 7 with the byte 0x3C.
  for (bool interruptedRunWroteThem : {true, false}) {
    SCOPED_TRACE(interruptedRunWroteThem);
    ResetWindows();
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, true);
    Prepare();
    SelectDrive("E:\\");
    if (interruptedRunWroteThem) {
      ASSERT_TRUE(sim::WriteVolume('E', 0, std::vector<std::uint8_t>(7 * kMiB, 0x3C)));
    }
    PutResumePoint(3, 2, 7, kBlocks, kTail, FieldText(SelectedDrive().CapacityText), 0x3C);
    ASSERT_TRUE(Run(false, 3, true));

    EXPECT_EQ(ReadsAfterLastBlockWrite(kE).front().offset, 0u);
    if (interruptedRunWroteThem) {
      EXPECT_TRUE(Logged(kEveryByte));
      EXPECT_EQ(Log().size(), 2u);
    } else {
      EXPECT_TRUE(Logged("Verification: 7 MB read back wrong and were written again."));
    }
    EXPECT_TRUE(AllBytesAre(sim::ReadVolume('E', 0, kLength), 0x3C));
  }
}

TEST_F(VerifyTest, CancelStopsTheVerificationButTheWipeStaysComplete) {
  Prepare();
  DuringVerification([](long pump) {
    if (pump == 10) CancelRequested = true;  // the fifth block's second pump
  });
  SelectDrive("E:\\");
  ui::SetFormatBox(true, true);
  ASSERT_TRUE(DriveWipeRun("E:", false, 1));
  headless::SetPumpHook(nullptr);

  EXPECT_LT(ReadsAfterLastBlockWrite(kE).size(), 7u);
  const std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_TRUE(Logged("Verification cancelled: the wipe itself is complete."));
  EXPECT_EQ(LinesEqualTo(kEveryByte), 0);
  EXPECT_TRUE(Logged("Drive E: wiped successfully."));
  EXPECT_EQ(headless::ProgressCaption(), "  Formatting drive . . .") << "the wipe is complete: it formats";
  BreakpointValues found;
  EXPECT_FALSE(FindBreakpoint("\\\\.\\E:", &found)) << "no record: nothing to resume";
}

TEST_F(VerifyTest, WithTheOptionClearedNothingIsReadBack) {
  Prepare();
  ui::SetOptionChecked(ui::Option::VerifyAfterWipe, false);
  ASSERT_TRUE(Run(true, 1));
  EXPECT_TRUE(ReadsAfterLastBlockWrite(kDisk1).empty());
  EXPECT_EQ(headless::ProgressCaption(), "  Wiping disk1" + PassCaptionSuffix(1, 2));
  EXPECT_EQ(Log().front(), "Disk 1 wiped successfully.");
}

}  // namespace
