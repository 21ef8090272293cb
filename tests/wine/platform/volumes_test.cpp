// Volumes by root path. setup-drives gives Wine these letters: E: a folder and an image
// (fixed), F: the same marked "floppy" in Wine's drive settings (removable), G: an image with
// no folder (no root directory), H: a folder marked "cdrom", and leaves K: unmapped. Wine
// describes a folder drive by its type and gives it no label.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

TEST(Volumes, DriveTypeByRootPath) {
  struct Case {
    const char* root;
    std::uint32_t type;
  };
  const Case cases[] = {
      {"E:\\", platform::kDriveFixed},     {"F:\\", platform::kDriveRemovable},
      {"G:\\", platform::kDriveNoRootDir}, {"H:\\", platform::kDriveCdRom},
      {"K:\\", platform::kDriveNoRootDir},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::DriveType(c.root), c.type) << c.root;
  }
}

TEST(Volumes, InformationGivesLabelAndFileSystemApart) {
  struct Case {
    const char* root;
    const char* fileSystem;
  };
  for (const Case& c : {Case{"E:\\", "NTFS"}, Case{"H:\\", "CDFS"}}) {
    std::string label = "none yet";
    std::string fileSystem;
    ASSERT_TRUE(platform::VolumeInformation(c.root, &label, &fileSystem)) << c.root;
    EXPECT_EQ(label, "") << c.root;
    EXPECT_EQ(fileSystem, c.fileSystem) << c.root;
  }
}

TEST(Volumes, InformationFailsWithoutAVolume) {
  std::string label = "kept";
  std::string fileSystem = "kept";
  EXPECT_FALSE(platform::VolumeInformation("K:\\", &label, &fileSystem));
  EXPECT_EQ(label, "kept");
  EXPECT_EQ(fileSystem, "kept");
}

TEST(Volumes, TotalBytesOfAMountedVolume) {
  std::uint64_t total = 0;
  ASSERT_TRUE(platform::DiskTotalBytes("E:\\", &total));
  EXPECT_GT(total, 0u);
  std::uint64_t none = 5;
  EXPECT_FALSE(platform::DiskTotalBytes("K:\\", &none));
  EXPECT_EQ(none, 5u);
}

TEST(Volumes, WindowsDirectoryIsAFullPath) {
  std::string directory;
  ASSERT_TRUE(platform::WindowsDirectory(&directory));
  // The environment names the same folder for programs that ask there.
  const char* windir = std::getenv("windir");
  ASSERT_NE(windir, nullptr);
  EXPECT_EQ(_stricmp(directory.c_str(), windir), 0) << directory << " vs " << windir;
  EXPECT_EQ(directory.substr(1, 2), ":\\");
}


// A volume is chosen by its root path and checked again, before the first write, through the
// handle that holds it locked: both must tell the same volume the same way.
TEST(Volumes, IdentityThroughALockedHandleIsTheRootPathsIdentity) {
  platform::VolumeIdentity byRoot;
  ASSERT_TRUE(platform::VolumeInformation("E:\\", &byRoot.label, &byRoot.fileSystem, &byRoot.serialNumber));
  const platform::Device volume = platform::OpenDevice("\\\\.\\E:", platform::Access::ReadWriteUnbuffered);
  ASSERT_TRUE(volume.valid());
  ASSERT_TRUE(platform::ControlLockVolume(volume));
  platform::VolumeIdentity byHandle;
  ASSERT_TRUE(platform::QueryVolumeIdentity(volume, &byHandle));
  EXPECT_NE(byRoot.serialNumber, 0u);
  EXPECT_EQ(byHandle.serialNumber, byRoot.serialNumber);
  EXPECT_EQ(byHandle.fileSystem, byRoot.fileSystem);
  EXPECT_EQ(byHandle.label, byRoot.label);
  platform::ControlUnlockVolume(volume);
}

}  // namespace
