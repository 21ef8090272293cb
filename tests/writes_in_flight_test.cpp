// The runs with several writes in flight: they keep up to kWritesInFlight blocks on their way,
// and none at a flush or a breakpoint record, so a record never vouches for a block still in
// flight; the last pass lands whole, drive and disk alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/window_runs.h"
#include "platform/sim/machine.h"
#include "tests/wipe_fixture.h"
#include "wipe/block_writer.h"
#include "wipe/runs.h"

namespace {

using namespace wipe_test;

class WritesInFlightTest : public EngineTest {};

TEST_F(WritesInFlightTest, SeveralBlocksOnTheirWayAndNoneAtAFlushOrARecord) {
  for (bool disk : {false, true}) {
    SCOPED_TRACE(disk ? "disk run" : "drive run");
    ResetWindows();
    Load(MachineWithE(100 * kMiB + 4096));
    ui::SetFormatBox(false, true);
    auto most = std::make_shared<int>(0);
    auto atFlushOrRecord = std::make_shared<int>(0);
    sim::SetFaultHook([most, atFlushOrRecord](const sim::Call& call) {
      const bool record = call.op == sim::Op::Write && call.offset == 0 && call.bytes == kRecordUnit;
      if (call.op == sim::Op::Write && call.bytes == kBlockSize) *most = std::max(*most, sim::WritesInFlight() + 1);
      if (call.op == sim::Op::Flush || record) *atFlushOrRecord = std::max(*atFlushOrRecord, sim::WritesInFlight());
      return false;
    });
    if (disk) {
      SelectDisk(1);
      ASSERT_TRUE(DiskWipeRun(1, false, 1));
    } else {
      SelectDrive("E:\\");
      ASSERT_TRUE(DriveWipeRun("E:", false, 1));
    }
    sim::ClearFaults();
    EXPECT_EQ(*most, static_cast<int>(kWritesInFlight));
    EXPECT_EQ(*atFlushOrRecord, 0) << "a write was in flight at a flush or a record";
    EXPECT_EQ(sim::WritesInFlight(), 0);
    const std::vector<std::uint8_t> range =
        disk ? sim::ReadDisk(1, kMiB, 100 * kMiB + 4096) : sim::ReadVolume('E', 0, 100 * kMiB + 4096);
    EXPECT_FALSE(AllBytesAre(std::vector<std::uint8_t>(range.begin() + 4096, range.end()), 0x00))
        << "the random last pass is not on the target";
    EXPECT_EQ(std::vector<std::uint8_t>(range.end() - 4096, range.end()),
              std::vector<std::uint8_t>(range.end() - 4096 - kMiB, range.end() - kMiB))
        << "the tail is not the start of the last block's content";
  }
}

// Cancel is pressed between blocks while others are still on their way: the run finishes them
// before it lets the device go, drive and disk alike.
TEST_F(WritesInFlightTest, ACancelledRunClosesNoHandleWithWritesInFlight) {
  for (bool disk : {false, true}) {
    SCOPED_TRACE(disk ? "disk run" : "drive run");
    ResetWindows();
    Load(MachineWithE(100 * kMiB + 4096));
    auto inFlightAtCancel = std::make_shared<int>(-1);
    const long base = headless::PumpCount();
    headless::SetPumpHook([base, inFlightAtCancel](long now) {
      if (now - base != 20) return;
      CancelRequested = true;
      *inFlightAtCancel = sim::WritesInFlight();
    });
    if (disk) {
      SelectDisk(1);
      EXPECT_FALSE(DiskWipeRun(1, false, 1));
    } else {
      SelectDrive("E:\\");
      EXPECT_FALSE(DriveWipeRun("E:", false, 1));
    }
    headless::SetPumpHook(nullptr);
    EXPECT_GT(*inFlightAtCancel, 0) << "nothing was in flight when Cancel was pressed";
    EXPECT_EQ(sim::HandlesClosedWithWritesInFlight(), 0);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

}  // namespace
