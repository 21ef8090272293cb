// Securing one volume for a drive run and every listed volume of a disk for a disk run,
// releasing them, and the layout refresh after a disk run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "devices/inventory.h"
#include "devices/volume_locking.h"
#include "tests/wipe_fixture.h"

namespace {

using namespace wipe_test;

const std::string kD = "\\\\.\\D:";
const std::string kE = "\\\\.\\E:";
const std::string kG = "\\\\.\\G:";

// Disk 1 holds D:, E: and G:; disk 2 holds no volume.
sim::Machine ThreeVolumeMachine(sim::LockBehaviour secondVolume, bool secondOpenable = true) {
  sim::Machine machine;
  machine.disks = {MakeDisk(0, 40 * kMiB), MakeDisk(1, 16 * kMiB), MakeDisk(2, 8 * kMiB)};
  sim::Volume e = MakeVolume('E', 1, 5 * kMiB, 4 * kMiB);
  e.lock = secondVolume;
  e.openable = secondOpenable;
  machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB), MakeVolume('D', 1, kMiB, 4 * kMiB), e,
                     MakeVolume('G', 1, 9 * kMiB, 4 * kMiB)};
  return machine;
}

class LockingTest : public EngineTest {
 protected:
  // The calls on volumes and disks, as "Op path" lines, without sounds and queries.
  static std::vector<std::string> DeviceCalls() {
    std::vector<std::string> lines;
    for (const sim::Call& call : sim::Calls()) {
      const char* name = nullptr;
      switch (call.op) {
        case sim::Op::Open: name = "Open"; break;
        case sim::Op::Close: name = "Close"; break;
        case sim::Op::Lock: name = "Lock"; break;
        case sim::Op::Dismount: name = "Dismount"; break;
        case sim::Op::Unlock: name = "Unlock"; break;
        case sim::Op::UpdateProperties: name = "Update"; break;
        default: break;
      }
      if (name != nullptr) lines.push_back(std::string(name) + " " + call.path + (call.ok ? "" : " failed"));
    }
    return lines;
  }

  // The volumes of the disk as the platform lists them, asked before the calls are watched.
  static std::vector<std::string> VolumesOf(std::int32_t diskNumber) {
    std::vector<std::string> volumes = LetteredVolumesOfDisk(diskNumber);
    sim::ClearCalls();
    return volumes;
  }

  WindowRunContext context_;
  platform::Device volume_;
  std::vector<platform::Device> held_;
};

TEST_F(LockingTest, LockVolumeLocksOrElseDismountsOrElseRefuses) {
  struct Case {
    sim::LockBehaviour behaviour;
    bool openable;
    bool secured;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {sim::LockBehaviour::Locks, true, true, {"Open " + kE, "Lock " + kE}},
      {sim::LockBehaviour::DismountsOnly, true, true,
       {"Open " + kE, "Lock " + kE + " failed", "Dismount " + kE, "Lock " + kE + " failed"}},
      {sim::LockBehaviour::Refuses, true, false,
       {"Open " + kE, "Lock " + kE + " failed", "Dismount " + kE + " failed", "Unlock " + kE + " failed",
        "Close " + kE}},
      // The plain open is tried after the unbuffered one.
      {sim::LockBehaviour::Locks, false, false, {"Open " + kE + " failed", "Open " + kE + " failed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.behaviour) * 2 + (c.openable ? 0 : 1));
    headless::Reset();
    Load(ThreeVolumeMachine(c.behaviour, c.openable));
    EXPECT_EQ(LockVolume(context_, "E:", &volume_), c.secured);
    EXPECT_EQ(DeviceCalls(), c.calls);
    if (c.secured) {
      EXPECT_TRUE(volume_.valid());
      EXPECT_TRUE(volume_.unbuffered()) << "the run's handle is not the unbuffered one";
      EXPECT_TRUE(Log().empty());
      EXPECT_TRUE(CallsOf(sim::Op::PlaySound).empty());
      sim::ClearCalls();
      UnlockVolume(&volume_);
      EXPECT_EQ(DeviceCalls(), (std::vector<std::string>{
                                   std::string("Unlock ") + kE + (c.behaviour == sim::LockBehaviour::Locks ? "" : " failed"),
                                   "Close " + kE}));
    } else {
      EXPECT_EQ(Log(), std::vector<std::string>{"Unable to dismount the drive!"});
      ASSERT_EQ(CallsOf(sim::Op::PlaySound).size(), 1u);
      EXPECT_EQ(CallsOf(sim::Op::PlaySound)[0].path, "ding.wav");
    }
    EXPECT_FALSE(volume_.valid());
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

// The usual case: open files refuse the lock, the dismount closes them, and the lock asked for
// again holds the volume, so that no other program can mount it again during the run; on its
// own and among the volumes of a disk.
TEST_F(LockingTest, AVolumeRefusingTheLockUntilDismountedIsLockedAfterTheDismount) {
  for (const bool disk : {false, true}) {
    SCOPED_TRACE(disk ? "disk 1" : "E:");
    headless::Reset();
    Load(ThreeVolumeMachine(sim::LockBehaviour::Locks));
    const std::vector<std::string> volumes = VolumesOf(1);
    auto dismounted = std::make_shared<bool>(false);
    sim::SetFaultHook([dismounted](const sim::Call& call) {
      if (call.path != kE) return false;
      if (call.op == sim::Op::Dismount) *dismounted = true;
      return call.op == sim::Op::Lock && !*dismounted;
    });
    EXPECT_TRUE(disk ? LockDiskVolumes(context_, volumes, &held_) : LockVolume(context_, "E:", &volume_));
    std::vector<std::string> onE;
    for (const std::string& line : DeviceCalls()) {
      if (line.find(kE) != std::string::npos) onE.push_back(line);
    }
    EXPECT_EQ(onE, (std::vector<std::string>{"Open " + kE, "Lock " + kE + " failed", "Dismount " + kE, "Lock " + kE}));
    EXPECT_TRUE(Log().empty());
    sim::ClearCalls();
    if (disk) {
      UnlockDiskVolumes(&held_);
    } else {
      UnlockVolume(&volume_);
    }
    ASSERT_GE(IndexOf(sim::Op::Unlock, kE), 0);
    EXPECT_TRUE(sim::Calls()[static_cast<std::size_t>(IndexOf(sim::Op::Unlock, kE))].ok) << "the lock was not held";
    sim::ClearFaults();
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

TEST_F(LockingTest, SecondOfThreeVolumesRefusingReleasesTheFirstAndNeverOpensTheThird) {
  Load(ThreeVolumeMachine(sim::LockBehaviour::Refuses));
  EXPECT_FALSE(LockDiskVolumes(context_, VolumesOf(1), &held_));
  EXPECT_EQ(DeviceCalls(), (std::vector<std::string>{
                               "Open " + kD, "Lock " + kD, "Open " + kE, "Lock " + kE + " failed",
                               "Dismount " + kE + " failed", "Unlock " + kD, "Close " + kD,
                               "Unlock " + kE + " failed", "Close " + kE}));
  EXPECT_EQ(Log(), std::vector<std::string>{"Unable to dismount the drive!"});
  EXPECT_EQ(CallsOf(sim::Op::PlaySound).size(), 1u);
  EXPECT_TRUE(held_.empty());
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_EQ(IndexOf(sim::Op::Open, kG), -1);
}

TEST_F(LockingTest, EveryVolumeOfTheDiskIsHeldAndReleasedInTheOrderTaken) {
  Load(ThreeVolumeMachine(sim::LockBehaviour::DismountsOnly));
  ASSERT_TRUE(LockDiskVolumes(context_, VolumesOf(1), &held_));
  EXPECT_EQ(held_.size(), 3u);
  EXPECT_EQ(sim::OpenHandles(), 3);
  EXPECT_EQ(IndexOf(sim::Op::Open, "\\\\.\\C:"), -1) << "only volumes of disk 1";
  sim::ClearCalls();
  UnlockDiskVolumes(&held_);
  EXPECT_EQ(DeviceCalls(), (std::vector<std::string>{"Unlock " + kD, "Close " + kD, "Unlock " + kE + " failed",
                                                     "Close " + kE, "Unlock " + kG, "Close " + kG}));
  EXPECT_TRUE(held_.empty());
  sim::ClearCalls();
  UnlockDiskVolumes(&held_);  // a second call finds nothing to release
  EXPECT_TRUE(sim::Calls().empty());
}

TEST_F(LockingTest, DiskWithoutListedVolumesNeedsNoHandle) {
  Load(ThreeVolumeMachine(sim::LockBehaviour::Locks));
  EXPECT_TRUE(LockDiskVolumes(context_, VolumesOf(2), &held_));
  EXPECT_TRUE(held_.empty());
  EXPECT_TRUE(CallsOf(sim::Op::Open).empty());
  UnlockDiskVolumes(&held_);
  EXPECT_TRUE(sim::Calls().empty());
}

TEST_F(LockingTest, RefreshDiskPropertiesAsksThePlatformToRereadTheLayout) {
  Load(ThreeVolumeMachine(sim::LockBehaviour::Locks));
  EXPECT_TRUE(RefreshDiskProperties(1));
  EXPECT_EQ(DeviceCalls(), (std::vector<std::string>{"Open \\\\.\\physicaldrive1", "Update \\\\.\\physicaldrive1",
                                                     "Close \\\\.\\physicaldrive1"}));
  EXPECT_EQ(CallsOf(sim::Op::Open)[0].bytes, static_cast<std::uint64_t>(platform::Access::ReadWrite));
  sim::ClearCalls();
  EXPECT_FALSE(RefreshDiskProperties(7)) << "no disk 7";
  EXPECT_TRUE(CallsOf(sim::Op::UpdateProperties).empty());
  EXPECT_TRUE(Log().empty());
}

}  // namespace
