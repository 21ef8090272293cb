// The simulated disk's own sanitize: it runs on the clock with every transfer refused, changes
// the media as the action does, refuses what a disk or driver refuses, fails half-way when told,
// and starts again after a power cut.
#include <algorithm>

#include "tests/sim_fixture.h"

namespace sim_test {
namespace {

using platform::SanitizeAction;
using platform::SanitizeState;

constexpr const char* kDisk0 = "\\\\.\\physicaldrive0";

sim::Disk NvmeDisk(std::uint64_t size) {
  sim::Disk disk = MemoryDisk(0, size);
  disk.bus = "NVMe";
  disk.model = "DUNMERE NVME";
  disk.sanitize = {"crypto", "block"};
  disk.sanitizeSeconds = 10;
  return disk;
}

sim::Machine NvmeMachine(const sim::Disk& disk) {
  sim::Machine machine;
  machine.disks = {disk};
  return machine;
}

std::vector<std::uint8_t> Pattern(std::size_t bytes) {
  std::vector<std::uint8_t> pattern(bytes);
  for (std::size_t i = 0; i < bytes; ++i) pattern[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return pattern;
}

bool AllZero(const std::vector<std::uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

struct Started {
  bool accepted = false;
  std::uint32_t error = 0;
};

Started Sanitize(const platform::Device& disk, SanitizeAction action) {
  Started started;
  const platform::SanitizeCommand command = platform::StartSanitize(disk, action);
  EXPECT_TRUE(platform::SanitizeReturned(command, &started.accepted, &started.error));
  return started;
}

platform::SanitizeStatus Status(const platform::Device& disk) {
  platform::SanitizeStatus status;
  std::uint32_t error = 0;
  EXPECT_TRUE(platform::QuerySanitizeStatus(disk, &status, &error)) << error;
  return status;
}

class SimSanitizeTest : public SimTest {};

TEST_F(SimSanitizeTest, RunsOnTheClockRefusingTransfersThenLeavesNoiseOrZeros) {
  for (SanitizeAction action : {SanitizeAction::CryptoErase, SanitizeAction::BlockErase}) {
    Load(NvmeMachine(NvmeDisk(4 * kMiB)));
    ASSERT_TRUE(sim::WriteDisk(0, 0, Pattern(4 * kMiB)));
    platform::Device disk = platform::OpenDevice(kDisk0, platform::Access::ReadWrite);
    const Started started = Sanitize(disk, action);
    ASSERT_TRUE(started.accepted) << started.error;

    sim::AdvanceClock(5000);
    platform::SanitizeStatus status = Status(disk);
    EXPECT_EQ(status.state, SanitizeState::InProgress);
    EXPECT_NEAR(status.progress, 32768u, 700u);
    std::vector<std::uint8_t> block(4096);
    EXPECT_EQ(platform::ReadDevice(disk, block.data(), 4096), 0u);
    EXPECT_EQ(platform::WriteDevice(disk, block.data(), 4096), 0u);

    sim::AdvanceClock(5000);
    status = Status(disk);
    EXPECT_EQ(status.state, SanitizeState::Succeeded);
    EXPECT_TRUE(status.globalDataErased);
    const std::vector<std::uint8_t> media = sim::ReadDisk(0, 0, 4 * kMiB);
    const std::vector<std::uint8_t> pattern = Pattern(4 * kMiB);
    ASSERT_EQ(media.size(), pattern.size());
    EXPECT_EQ(AllZero(media), action == SanitizeAction::BlockErase);
    for (std::size_t at = 0; at < media.size(); at += 512) {
      ASSERT_FALSE(std::equal(media.begin() + at, media.begin() + at + 512, pattern.begin() + at)) << at;
    }
    ASSERT_TRUE(platform::SetPosition(disk, 0, platform::Origin::Begin));
    EXPECT_EQ(platform::ReadDevice(disk, block.data(), 4096), 4096u);
  }
}

TEST_F(SimSanitizeTest, RefusesWhatTheDiskOrDriverRefuses) {
  struct Case {
    const char* name;
    sim::Disk disk;
    platform::Access access;
    SanitizeAction action;
    std::uint32_t error;
  };
  sim::Disk sata = MemoryDisk(0, 4 * kMiB);
  sata.bus = "SATA";
  sim::Disk refusing = NvmeDisk(4 * kMiB);
  refusing.sanitizeError = 1117;  // ERROR_IO_DEVICE
  sim::Disk blockOnly = NvmeDisk(4 * kMiB);
  blockOnly.sanitize = {"block"};
  const std::vector<Case> cases = {
      {"a handle without write access", NvmeDisk(4 * kMiB), platform::Access::Read, SanitizeAction::CryptoErase, 5},
      {"not NVMe", sata, platform::Access::ReadWrite, SanitizeAction::BlockErase, 50},
      {"the described error", refusing, platform::Access::ReadWrite, SanitizeAction::CryptoErase, 1117},
      {"an action not offered", blockOnly, platform::Access::ReadWrite, SanitizeAction::CryptoErase, 87},
  };
  for (const Case& c : cases) {
    Load(NvmeMachine(c.disk));
    ASSERT_TRUE(sim::WriteDisk(0, 0, Pattern(kMiB)));
    platform::Device disk = platform::OpenDevice(kDisk0, c.access);
    const Started started = Sanitize(disk, c.action);
    EXPECT_FALSE(started.accepted) << c.name;
    EXPECT_EQ(started.error, c.error) << c.name;
    sim::AdvanceClock(60000);
    EXPECT_EQ(sim::ReadDisk(0, 0, kMiB), Pattern(kMiB)) << c.name;
  }
  // A second sanitize while the first runs.
  Load(NvmeMachine(NvmeDisk(4 * kMiB)));
  platform::Device disk = platform::OpenDevice(kDisk0, platform::Access::ReadWrite);
  ASSERT_TRUE(Sanitize(disk, SanitizeAction::BlockErase).accepted);
  const Started again = Sanitize(disk, SanitizeAction::BlockErase);
  EXPECT_FALSE(again.accepted);
  EXPECT_EQ(again.error, 170u);
}

TEST_F(SimSanitizeTest, AFailureHalfWayLeavesOnlyANewSanitize) {
  Load(NvmeMachine(NvmeDisk(4 * kMiB)));
  ASSERT_TRUE(sim::WriteDisk(0, 0, Pattern(4 * kMiB)));
  sim::FailSanitizeMidway(0);
  platform::Device disk = platform::OpenDevice(kDisk0, platform::Access::ReadWrite);
  ASSERT_TRUE(Sanitize(disk, SanitizeAction::BlockErase).accepted);
  sim::AdvanceClock(6000);
  EXPECT_EQ(Status(disk).state, SanitizeState::Failed);
  EXPECT_TRUE(AllZero(sim::ReadDisk(0, 0, 2 * kMiB)));
  const std::vector<std::uint8_t> pattern = Pattern(4 * kMiB);
  EXPECT_EQ(sim::ReadDisk(0, 2 * kMiB, kMiB), std::vector<std::uint8_t>(pattern.begin() + 2 * kMiB,
                                                                       pattern.begin() + 3 * kMiB));
  std::vector<std::uint8_t> block(4096);
  EXPECT_EQ(platform::ReadDevice(disk, block.data(), 4096), 0u);
  ASSERT_TRUE(Sanitize(disk, SanitizeAction::BlockErase).accepted);
  sim::AdvanceClock(10000);
  EXPECT_EQ(Status(disk).state, SanitizeState::Succeeded);
  EXPECT_EQ(platform::ReadDevice(disk, block.data(), 4096), 4096u);
}

TEST_F(SimSanitizeTest, APowerCutRestartsItAtPowerOn) {
  const sim::Machine machine = NvmeMachine(NvmeDisk(4 * kMiB));
  Load(machine);
  ASSERT_TRUE(sim::WriteDisk(0, 0, Pattern(4 * kMiB)));
  {
    platform::Device disk = platform::OpenDevice(kDisk0, platform::Access::ReadWrite);
    ASSERT_TRUE(Sanitize(disk, SanitizeAction::CryptoErase).accepted);
    sim::AdvanceClock(8000);
  }
  sim::CutPower();
  std::string error;
  ASSERT_TRUE(sim::Restart(machine, &error)) << error;
  platform::Device disk = platform::OpenDevice(kDisk0, platform::Access::QueryOnly);
  platform::SanitizeStatus status = Status(disk);
  EXPECT_EQ(status.state, SanitizeState::InProgress);
  EXPECT_LT(status.progress, 1000u);
  EXPECT_EQ(sim::ReadDisk(0, 0, kMiB), Pattern(kMiB));
  sim::AdvanceClock(10000);
  EXPECT_EQ(Status(disk).state, SanitizeState::Succeeded);
  EXPECT_NE(sim::ReadDisk(0, 0, kMiB), Pattern(kMiB));
}

TEST_F(SimSanitizeTest, AnImageDiskKeepsItsStateForTheNextLoad) {
  TempFolder folder;
  sim::Disk image = NvmeDisk(4 * kMiB);
  image.image = folder.File("disk0.img");
  Load(NvmeMachine(image));
  {
    platform::Device disk = platform::OpenDevice(kDisk0, platform::Access::ReadWrite);
    ASSERT_TRUE(Sanitize(disk, SanitizeAction::BlockErase).accepted);
  }
  Load(NvmeMachine(image));
  platform::Device disk = platform::OpenDevice(kDisk0, platform::Access::QueryOnly);
  EXPECT_EQ(Status(disk).state, SanitizeState::InProgress);
  sim::AdvanceClock(10000);
  EXPECT_EQ(Status(disk).state, SanitizeState::Succeeded);
  disk.reset();
  Load(NvmeMachine(image));
  disk = platform::OpenDevice(kDisk0, platform::Access::QueryOnly);
  EXPECT_EQ(Status(disk).state, SanitizeState::Succeeded);
}

TEST_F(SimSanitizeTest, ALyingDiskKeepsItsLyingBlocks) {
  sim::Disk lying = NvmeDisk(4 * kMiB);
  lying.lieFirst = 2;
  lying.lieCount = 1;
  Load(NvmeMachine(lying));
  ASSERT_TRUE(sim::WriteDisk(0, 0, Pattern(4 * kMiB)));
  platform::Device disk = platform::OpenDevice(kDisk0, platform::Access::ReadWrite);
  ASSERT_TRUE(Sanitize(disk, SanitizeAction::BlockErase).accepted);
  sim::AdvanceClock(10000);
  EXPECT_EQ(Status(disk).state, SanitizeState::Succeeded);
  EXPECT_TRUE(AllZero(sim::ReadDisk(0, 0, 2 * kMiB)));
  const std::vector<std::uint8_t> pattern = Pattern(4 * kMiB);
  EXPECT_EQ(sim::ReadDisk(0, 2 * kMiB, kMiB), std::vector<std::uint8_t>(pattern.begin() + 2 * kMiB,
                                                                       pattern.begin() + 3 * kMiB));
}

}  // namespace
}  // namespace sim_test
