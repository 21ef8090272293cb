#pragma once
// A small simulated machine in memory for the tests of the simulation itself, and a host
// folder per test for images and files next to the executable.
//
// disk 0 (16 MiB): C: [1 MiB, 9 MiB) NTFS "System"; D: [9 MiB, 16 MiB) FAT32 "Data", up to
//                  the disk's end
// disk 1 (8 MiB):  E: [1 MiB, 8 MiB) FAT32 "STICK", removable
// Z: a network drive with NTFS and no disk

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"

namespace sim_test {

inline constexpr std::uint64_t kMiB = 1048576;

using sim::CallsOf;
using sim::MemoryDisk;
using sim::VolumeOn;

inline sim::Machine SmallMachine() {
  sim::Machine machine;
  machine.disks = {MemoryDisk(0, 16 * kMiB), MemoryDisk(1, 8 * kMiB)};
  machine.volumes.push_back(VolumeOn('C', 0, kMiB, 8 * kMiB, "NTFS", "System"));
  sim::Volume data = VolumeOn('D', 0, 9 * kMiB, 7 * kMiB, "FAT32", "Data");
  data.fileSystemSize = 7 * kMiB - 4096;
  machine.volumes.push_back(data);
  sim::Volume stick = VolumeOn('E', 1, kMiB, 7 * kMiB, "FAT32", "STICK");
  stick.driveType = platform::kDriveRemovable;
  machine.volumes.push_back(stick);
  sim::Volume share = VolumeOn('Z', -1, 0, 0, "NTFS", "share");
  share.driveType = platform::kDriveRemote;
  share.fileSystemSize = 5 * kMiB;
  machine.volumes.push_back(share);
  return machine;
}

// An empty host folder for this test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // Parameterised tests have slashes in their names.
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    path_ = std::filesystem::temp_directory_path() / "dunmere-sim-tests" / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Path() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { Load(SmallMachine()); }
  void TearDown() override { sim::ClearFaults(); }

  // Loads the machine and forgets the calls made so far.
  static void Load(const sim::Machine& machine) {
    std::string error;
    ASSERT_TRUE(sim::Load(machine, &error)) << error;
    sim::ClearCalls();
  }

  static std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t value) {
    return std::vector<std::uint8_t>(count, value);
  }
};

}  // namespace sim_test
