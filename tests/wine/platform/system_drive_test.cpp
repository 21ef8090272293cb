// The system drive as the core finds it on Wine: Windows lies in C:\windows, "\\.\C:" opens,
// but Wine names no disk extent for it: no disk holds Windows, as on a RAM disk. The volume is
// still refused by its letter.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "devices/inventory.h"
#include "platform/platform.h"

namespace {

TEST(SystemDrive, NamedByTheWindowsDirectoryWithoutDisk) {
  std::string directory;
  ASSERT_TRUE(platform::WindowsDirectory(&directory));
  ASSERT_EQ(directory.substr(0, 3), "C:\\") << directory;

  // Why the disk stays unknown: Wine answers the extents query for the volume, but with no
  // extent, and what would be the first one reads as disk 0.
  platform::Device volume = platform::OpenDevice("\\\\.\\C:", platform::Access::Read);
  ASSERT_TRUE(volume.valid());
  std::uint32_t extents = 99;
  platform::DiskExtent first;
  first.diskNumber = 99;
  ASSERT_TRUE(platform::QueryVolumeDiskExtents(volume, &extents, &first));
  EXPECT_EQ(extents, 0u);
  EXPECT_EQ(first.diskNumber, 0u);
  volume.reset();

  std::string name = "unset";
  std::int32_t disk = -7;
  EXPECT_EQ(LocateWindowsDisk(&name, &disk), WindowsDisk::None);
  EXPECT_FALSE(FindSystemDrive(&name, &disk));
  EXPECT_EQ(name, "C:");
  EXPECT_EQ(disk, -7);  // written only with a disk found
}

// The volume is refused whichever case names its letter; a disk is the system disk only when
// its number is known, which Wine never tells: not even disk 0, which the empty answer seems to
// name. (The commands then offer every disk, as no disk holds Windows.)
TEST(SystemDrive, RefusalsWithoutDiskNumber) {
  struct Case {
    const char* volume;
    bool system;
  };
  for (const Case& c : {Case{"C:", true}, Case{"c:", true}, Case{"D:", false},
                        Case{"W:", false}, Case{"C", false}}) {
    EXPECT_EQ(IsSystemVolume(c.volume), c.system) << c.volume;
  }
  for (const std::int32_t disk : {0, 1, -1}) {
    EXPECT_FALSE(IsSystemDisk(disk)) << disk;
  }
}

}  // namespace
