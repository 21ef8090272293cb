// Disks plugged in and pulled out while the program runs: the machine changes to another
// description, the devices that stay keep their bytes, caches and handles, and a handle to a
// device that went fails every call from then on, even when another disk takes its number.
#include <fstream>

#include "tests/sim_fixture.h"

namespace sim_test {
namespace {

using platform::Access;
using platform::Device;

class SimReplugTest : public SimTest {
 protected:
  static void Replug(const sim::Machine& machine, sim::PlugChanges* changes = nullptr) {
    std::string error;
    ASSERT_TRUE(sim::Replug(machine, changes, &error)) << error;
  }

  static bool WriteAt(const Device& device, std::uint64_t offset, std::uint8_t value) {
    std::vector<std::uint8_t> block(512, value);
    return platform::SetPosition(device, static_cast<std::int64_t>(offset), platform::Origin::Begin) &&
           platform::WriteDevice(device, block.data(), 512) == 512;
  }

  static bool ReadsBack(const Device& device, std::uint64_t offset, std::uint8_t value) {
    std::vector<std::uint8_t> block(512);
    return platform::SetPosition(device, static_cast<std::int64_t>(offset), platform::Origin::Begin) &&
           platform::ReadDevice(device, block.data(), 512) == 512 && block == std::vector<std::uint8_t>(512, value);
  }

  static std::string Letters() {
    std::string letters;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
      if (platform::DriveType(std::string(1, letter) + ":\\") != platform::kDriveNoRootDir) letters += letter;
    }
    return letters;
  }
};

sim::Machine WithoutStick() {
  sim::Machine machine = SmallMachine();
  machine.disks.pop_back();
  machine.volumes.erase(machine.volumes.begin() + 2);
  return machine;
}

// Another stick of another make, plugged in where the first one was: Windows numbers it 1 too.
sim::Machine WithOtherStick() {
  sim::Machine machine = WithoutStick();
  sim::Disk other = MemoryDisk(1, 16 * kMiB);
  other.model = "OTHER STICK";
  other.serial = "OS-2";
  machine.disks.push_back(other);
  sim::Volume volume = VolumeOn('E', 1, kMiB, 15 * kMiB, "NTFS", "BACKUP");
  volume.driveType = platform::kDriveRemovable;
  machine.volumes.push_back(volume);
  return machine;
}

TEST_F(SimReplugTest, HandlesToADiskThatWentFailAndTheOthersGoOn) {
  struct Case {
    const char* name;
    sim::Machine after;
    std::vector<int> disksGone;
    std::vector<int> disksCome;
    std::string volumesGone;
    std::string volumesCome;
    std::string letters;
  };
  const Case cases[] = {
      {"the stick pulled out", WithoutStick(), {1}, {}, "E", "", "CDZ"},
      {"another stick under its number", WithOtherStick(), {1}, {1}, "E", "E", "CDEZ"},
  };
  for (const Case& c : cases) {
    Load(SmallMachine());
    Device disk = platform::OpenDevice("\\\\.\\physicaldrive1", Access::ReadWrite);
    Device volume = platform::OpenDevice("\\\\.\\E:", Access::ReadWrite);
    Device stays = platform::OpenDevice("\\\\.\\physicaldrive0", Access::ReadWrite);
    ASSERT_TRUE(disk.valid() && volume.valid() && stays.valid()) << c.name;
    ASSERT_TRUE(platform::ControlLockVolume(volume)) << c.name;
    ASSERT_TRUE(WriteAt(stays, 20 * 512, 0x5A)) << c.name;
    const std::vector<std::uint8_t> newDiskStart = sim::ReadDisk(1, 0, 512);

    sim::PlugChanges changes;
    Replug(c.after, &changes);

    EXPECT_EQ(changes.disksGone, c.disksGone) << c.name;
    EXPECT_EQ(changes.disksCome, c.disksCome) << c.name;
    EXPECT_EQ(changes.volumesGone, c.volumesGone) << c.name;
    EXPECT_EQ(changes.volumesCome, c.volumesCome) << c.name;
    EXPECT_EQ(Letters(), c.letters) << c.name;
    // Nothing reaches the disk that is there now through a handle of the one that went.
    EXPECT_FALSE(WriteAt(disk, 0, 0xEE)) << c.name;
    EXPECT_FALSE(WriteAt(volume, 0, 0xEE)) << c.name;
    EXPECT_FALSE(ReadsBack(disk, 0, 0)) << c.name;
    EXPECT_FALSE(platform::ControlUnlockVolume(volume)) << c.name;
    if (!c.disksCome.empty()) {
      EXPECT_NE(sim::ReadDisk(1, 0, 512), std::vector<std::uint8_t>(512, 0xEE)) << c.name;
      // The new volume is not held by the old one's lock.
      Device fresh = platform::OpenDevice("\\\\.\\E:", Access::ReadWrite);
      EXPECT_TRUE(fresh.valid()) << c.name;
    }
    EXPECT_TRUE(ReadsBack(stays, 20 * 512, 0x5A)) << c.name;
    EXPECT_TRUE(WriteAt(stays, 21 * 512, 0x5B)) << c.name;
    disk = Device();
    volume = Device();
    stays = Device();
    EXPECT_EQ(sim::OpenHandles(), 0) << c.name;
  }
}

TEST_F(SimReplugTest, ADiskPluggedInComesWithItsVolumes) {
  sim::Machine after = SmallMachine();
  sim::Disk stick = MemoryDisk(2, 4 * kMiB);
  stick.model = "POCKET";
  after.disks.push_back(stick);
  after.volumes.push_back(VolumeOn('G', 2, kMiB, 3 * kMiB, "FAT32", "NEW"));
  Device stays = platform::OpenDevice("\\\\.\\D:", Access::ReadWrite);
  const std::size_t callsBefore = sim::Calls().size();

  sim::PlugChanges changes;
  Replug(after, &changes);

  EXPECT_EQ(changes.disksGone, std::vector<int>{});
  EXPECT_EQ(changes.disksCome, std::vector<int>{2});
  EXPECT_EQ(changes.volumesGone, "");
  EXPECT_EQ(changes.volumesCome, "G");
  EXPECT_EQ(Letters(), "CDEGZ");
  std::string label;
  std::string fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("G:\\", &label, &fileSystem));
  EXPECT_EQ(fileSystem, "FAT32");
  EXPECT_EQ(label, "NEW");
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive2", Access::ReadWrite);
  EXPECT_TRUE(disk.valid());
  // The session goes on: its calls and its open handles stay.
  EXPECT_GE(sim::Calls().size(), callsBefore);
  EXPECT_TRUE(WriteAt(stays, 0, 0x11));
}

TEST_F(SimReplugTest, AnImageComesBackWithWhatWasWrittenOnIt) {
  TempFolder folder;
  sim::Machine machine = SmallMachine();
  machine.disks[1].image = folder.File("stick.img");
  Load(machine);
  {
    Device disk = platform::OpenDevice("\\\\.\\physicaldrive1", Access::ReadWrite);
    ASSERT_TRUE(WriteAt(disk, 64 * 512, 0xC3));
  }
  sim::Machine without = machine;
  without.disks.pop_back();
  without.volumes.erase(without.volumes.begin() + 2);
  Replug(without);
  ASSERT_TRUE(std::filesystem::exists(folder.File("stick.img")));

  sim::PlugChanges changes;
  Replug(machine, &changes);

  EXPECT_EQ(changes.disksCome, std::vector<int>{1});
  EXPECT_EQ(changes.volumesCome, "E");
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive1", Access::ReadWrite);
  EXPECT_TRUE(ReadsBack(disk, 64 * 512, 0xC3));
  std::string label;
  std::string fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("E:\\", &label, &fileSystem));
  EXPECT_EQ(label, "STICK");
}

TEST_F(SimReplugTest, ADescriptionThatCannotBeHadLeavesTheMachineAsItWas) {
  sim::Machine broken = WithoutStick();
  broken.volumes.push_back(VolumeOn('Q', 7, 0, kMiB));  // on a disk it does not have
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive1", Access::ReadWrite);

  std::string error;
  EXPECT_FALSE(sim::Replug(broken, nullptr, &error));

  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Letters(), "CDEZ");
  EXPECT_TRUE(WriteAt(disk, 0, 0x22));
}

TEST_F(SimReplugTest, TheDescriptionFileIsReadAgainOnlyWhenItsTextChanged) {
  TempFolder folder;
  const std::string path = folder.File("machine.json");
  auto describe = [&](const std::string& text) { std::ofstream(path, std::ios::trunc) << text; };
  const std::string withStick =
      R"({"disks": [{"number": 0, "size": 33554432}, {"number": 1, "size": 8388608, "model": "STICK"}],
          "volumes": [{"letter": "C", "disk": 0, "offset": 1048576, "length": 8388608, "fileSystem": "NTFS"},
                      {"letter": "E", "disk": 1, "offset": 1048576, "length": 7340032, "fileSystem": "FAT32"}]})";
  const std::string withoutStick =
      R"({"disks": [{"number": 0, "size": 33554432}],
          "volumes": [{"letter": "C", "disk": 0, "offset": 1048576, "length": 8388608, "fileSystem": "NTFS"}]})";
  sim::PlugChanges changes;
  std::string problem;
  describe(withStick);
  ASSERT_TRUE(sim::ReplugFromDescription(path, &changes, &problem)) << problem;
  ASSERT_EQ(Letters(), "CE");

  struct Step {
    const char* name;
    std::string text;
    bool used;
    std::string volumesGone;
    std::string letters;
  };
  const Step steps[] = {
      {"saved again unchanged", withStick, true, "", "CE"},
      {"the stick taken out of it", withoutStick, true, "E", "C"},
      {"half written", withStick.substr(0, 40), false, "", "C"},
      {"a disk of a number too high", R"({"disks": [{"number": 100, "size": 4096}]})", false, "", "C"},
  };
  for (const Step& step : steps) {
    describe(step.text);
    problem.clear();
    EXPECT_EQ(sim::ReplugFromDescription(path, &changes, &problem), step.used) << step.name;
    EXPECT_EQ(problem.empty(), step.used) << step.name << ": " << problem;
    if (!step.used) {
      EXPECT_NE(problem.find(path), std::string::npos) << step.name << ": " << problem;
    }
    EXPECT_EQ(changes.volumesGone, step.volumesGone) << step.name;
    EXPECT_EQ(Letters(), step.letters) << step.name;
  }
}

}  // namespace
}  // namespace sim_test
