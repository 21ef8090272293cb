// Whole machines: the demo's shape, images created sparse and kept across loads (a restarted
// program sees what the last one wiped), and the start of dunmere-sim.exe.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "tests/sim_fixture.h"

namespace sim_test {
namespace {

// Bytes the host really allocated for a file.
std::uint64_t AllocatedBytes(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return ~0ULL;
  return static_cast<std::uint64_t>(info.st_blocks) * 512;
}

TEST(SimDemoMachineTest, HasTheDisksAndDrivesOfADesktopWithAUsbStick) {
  const sim::Machine demo = sim::DemoMachine("/images");
  EXPECT_EQ(demo.windowsDirectory, "C:\\WINDOWS");
  ASSERT_EQ(demo.disks.size(), 4u);
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(demo.disks[n].number, n);
    EXPECT_EQ(demo.disks[n].image, "/images/disk" + std::to_string(n) + ".img");
  }
  // Disk 3 can erase itself; disk 1 hides sectors behind a host protected area.
  EXPECT_EQ(demo.disks[3].bus, "NVMe");
  EXPECT_EQ(demo.disks[3].sanitize, (std::vector<std::string>{"crypto", "block"}));
  EXPECT_EQ(demo.disks[1].hiddenSectors, 16384u);
  ASSERT_EQ(demo.volumes.size(), 6u);
  struct Expected {
    char letter;
    int disk;
    std::uint32_t type;
    const char* fileSystem;
    const char* label;
  };
  const Expected expected[] = {{'C', 0, platform::kDriveFixed, "NTFS", "System"},
                               {'D', 1, platform::kDriveFixed, "NTFS", "Data"},
                               {'E', 1, platform::kDriveFixed, "FAT32", "Backup"},
                               {'F', 2, platform::kDriveRemovable, "FAT32", "USBSTICK"},
                               {'H', 3, platform::kDriveFixed, "NTFS", "Scratch"},
                               {'G', -1, platform::kDriveCdRom, "", ""}};
  for (std::size_t i = 0; i < 6; ++i) {
    const sim::Volume& volume = demo.volumes[i];
    EXPECT_EQ(volume.letter, expected[i].letter);
    EXPECT_EQ(volume.disk, expected[i].disk) << volume.letter;
    EXPECT_EQ(volume.driveType, expected[i].type) << volume.letter;
    EXPECT_EQ(volume.fileSystem, expected[i].fileSystem) << volume.letter;
    EXPECT_EQ(volume.label, expected[i].label) << volume.letter;
    if (volume.disk < 0) continue;
    // A file system keeps a little of its volume and is not a whole number of MiB.
    EXPECT_LT(volume.fileSystemSize, volume.length) << volume.letter;
    EXPECT_GT(volume.fileSystemSize, volume.length / 10 * 9) << volume.letter;
    EXPECT_NE(volume.fileSystemSize % kMiB, 0u) << volume.letter;
  }
  EXPECT_FALSE(demo.volumes[5].hasMedium);
  // The first volume of every disk starts at 1 MiB, as partitioning tools align it.
  EXPECT_EQ(demo.volumes[0].offset, kMiB);
  EXPECT_EQ(demo.volumes[1].offset, kMiB);
  EXPECT_EQ(demo.volumes[3].offset, kMiB);
}

class SimImagesTest : public SimTest {
 protected:
  void SetUp() override {}

  sim::Machine Demo() const { return sim::DemoMachine(folder_.File("images")); }

  TempFolder folder_;
};

TEST_F(SimImagesTest, NewImagesAreSparseAndTheirVolumesFormatted) {
  Load(Demo());
  for (int n = 0; n < 4; ++n) {
    const std::string image = folder_.File("images/disk" + std::to_string(n) + ".img");
    // A host protected area lies in the image past the size the disk reports.
    const sim::Disk disk = Demo().disks[n];
    EXPECT_EQ(std::filesystem::file_size(image), disk.size + disk.hiddenSectors * disk.bytesPerSector);
    EXPECT_LT(AllocatedBytes(image), 2 * kMiB) << image;
  }
  for (const char* root : {"C:\\", "D:\\", "E:\\", "F:\\"}) {
    std::string label;
    std::string fileSystem;
    EXPECT_TRUE(platform::VolumeInformation(root, &label, &fileSystem)) << root;
  }
  std::uint64_t total = 0;
  ASSERT_TRUE(platform::DiskTotalBytes("F:\\", &total));
  EXPECT_EQ(total, Demo().volumes[3].fileSystemSize);
  // The boot sector sits in the image where the volume begins.
  std::ifstream image(folder_.File("images/disk2.img"), std::ios::binary);
  image.seekg(static_cast<std::streamoff>(kMiB + 510));
  EXPECT_EQ(image.get(), 0x55);
  EXPECT_EQ(image.get(), 0xAA);
}

TEST_F(SimImagesTest, ARestartFindsWhatTheLastRunLeftInTheImages) {
  Load(Demo());
  {
    // A run over F: that wrote its first block and a breakpoint record, then was killed.
    platform::Device stick = platform::OpenDevice("\\\\.\\F:", platform::Access::ReadWrite);
    std::vector<std::uint8_t> block(kMiB, 0);
    block[0] = block[510] = 'D';
    block[1] = block[511] = 'M';
    ASSERT_EQ(platform::WriteDevice(stick, block.data(), kMiB), kMiB);
    stick.release();  // never closed
  }
  Load(Demo());
  std::string fileSystem;
  EXPECT_FALSE(platform::VolumeInformation("F:\\", nullptr, &fileSystem));
  const std::vector<std::uint8_t> start = sim::ReadVolume('F', 0, 512);
  EXPECT_EQ(start[0], 'D');
  EXPECT_EQ(start[511], 'M');
  EXPECT_TRUE(platform::VolumeInformation("E:\\", nullptr, &fileSystem));

  // A lost image is made anew, formatted.
  std::filesystem::remove(folder_.File("images/disk2.img"));
  Load(Demo());
  EXPECT_TRUE(platform::VolumeInformation("F:\\", nullptr, &fileSystem));
}

TEST_F(SimImagesTest, AShortImageGrowsAndKeepsItsBytes) {
  std::filesystem::create_directories(folder_.File("images"));
  {
    std::ofstream image(folder_.File("images/disk0.img"), std::ios::binary);
    image << "kept";
  }
  Load(Demo());
  EXPECT_EQ(std::filesystem::file_size(folder_.File("images/disk0.img")), 256 * kMiB);
  const std::vector<std::uint8_t> start = sim::ReadDisk(0, 0, 4);
  EXPECT_EQ(std::string(start.begin(), start.end()), "kept");
  // The image existed: neither a partition table nor a boot sector was written over it, so
  // the disk holds no volume.
  EXPECT_EQ(platform::DriveType("C:\\"), platform::kDriveNoRootDir);
}

TEST_F(SimImagesTest, AnImageThatCannotBeMadeFailsTheLoadAndKeepsTheOldMachine) {
  Load(SmallMachine());
  std::ofstream(folder_.File("images")) << "a file where the folder should be";
  std::string error;
  EXPECT_FALSE(sim::Load(Demo(), &error));
  EXPECT_EQ(error.rfind("disk 0: ", 0), 0u) << error;
  EXPECT_EQ(sim::CurrentMachine().disks.size(), 2u);
  EXPECT_EQ(platform::DriveType("Z:\\"), platform::kDriveRemote);
}

// ---- Start of dunmere-sim.exe --------------------------------------------------------------

class SimInitialiseTest : public SimImagesTest {
 protected:
  void TearDown() override {
    unsetenv("DUNMERE_MACHINE");
    SimImagesTest::TearDown();
  }
  std::string Executable() const { return folder_.File("dunmere-sim.exe"); }
};

TEST_F(SimInitialiseTest, WithoutADescriptionTheDemoRunsOnTheRealClock) {
  unsetenv("DUNMERE_MACHINE");
  platform::Initialise(Executable());
  EXPECT_EQ(sim::LoadProblem(), "");
  std::string expectedPath = "Z:" + Executable();
  for (char& c : expectedPath) c = c == '/' ? '\\' : c;
  EXPECT_EQ(platform::ExecutablePath(), expectedPath);
  const sim::Machine& machine = sim::CurrentMachine();
  EXPECT_TRUE(machine.realClock);
  EXPECT_EQ(machine.hostFolder, folder_.Path());
  EXPECT_TRUE(std::filesystem::exists(folder_.File("demo-machine/disk2.img")));
  // Files next to the executable land next to it on the host.
  ASSERT_TRUE(platform::WriteFileBytes(expectedPath.substr(0, expectedPath.rfind('\\')) +
                                           "\\setting.bin",
                                       {1, 2, 3}));
  EXPECT_EQ(std::filesystem::file_size(folder_.File("setting.bin")), 3u);
  // Three passes over the USB stick last long enough to watch, not long enough to bore.
  const double seconds = 3.0 * static_cast<double>(machine.volumes[3].fileSystemSize) / kMiB *
                         machine.writeDelayMs / 1000.0;
  EXPECT_GE(seconds, 10.0);
  EXPECT_LE(seconds, 20.0);
}

// The self-erasing disk's scratch volume holds files from the first start, so samples read
// before its sanitize can show a change; later starts keep whatever the disk holds by then.
TEST_F(SimInitialiseTest, TheDemoScratchVolumeHoldsFilesFromItsFirstStartOnly) {
  unsetenv("DUNMERE_MACHINE");
  platform::Initialise(Executable());
  std::string label, fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("H:\\", &label, &fileSystem));
  EXPECT_EQ(label, "Scratch");
  EXPECT_EQ(fileSystem, "NTFS");
  const std::uint64_t length = sim::CurrentMachine().volumes[4].length;
  ASSERT_EQ(sim::CurrentMachine().volumes[4].letter, 'H');
  for (const std::uint64_t at : {kMiB, 5 * kMiB + 3 * 512, length / 2, length - kMiB - 1024}) {
    SCOPED_TRACE(at);
    const std::vector<std::uint8_t> two = sim::ReadVolume('H', at, 1024);
    const std::vector<std::uint8_t> first(two.begin(), two.begin() + 512);
    const std::vector<std::uint8_t> second(two.begin() + 512, two.end());
    EXPECT_NE(std::count(first.begin(), first.end(), first[0]), 512) << "a sector of one value";
    EXPECT_NE(first, second) << "two neighbouring sectors alike";
  }

  const std::vector<std::uint8_t> zeros(512, 0);
  ASSERT_TRUE(sim::WriteVolume('H', 2 * kMiB, zeros));
  platform::Initialise(Executable());
  EXPECT_EQ(sim::ReadVolume('H', 2 * kMiB, 512), zeros);
}

TEST_F(SimInitialiseTest, ADescribedMachineFindsItsImagesNextToTheDescription) {
  const std::string description = folder_.File("machine.json");
  std::ofstream(description) << R"({"disks": [{"number": 5, "size": "4 MiB", "image": "five.img"}],
    "volumes": [{"letter": "K", "disk": 5, "offset": 4096, "length": 8192, "fileSystem": "FAT"}]})";
  setenv("DUNMERE_MACHINE", description.c_str(), 1);
  platform::Initialise(Executable());
  EXPECT_EQ(sim::LoadProblem(), "");
  EXPECT_TRUE(std::filesystem::exists(folder_.File("five.img")));
  EXPECT_EQ(sim::CurrentMachine().hostFolder, folder_.Path());
  std::string fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("K:\\", nullptr, &fileSystem));
  EXPECT_EQ(fileSystem, "FAT");
  EXPECT_EQ(platform::DriveType("C:\\"), platform::kDriveNoRootDir);
}

TEST_F(SimInitialiseTest, ABrokenDescriptionFallsBackToTheDemoAndSaysWhy) {
  const std::string description = folder_.File("machine.json");
  std::ofstream(description) << R"({"disks": [{"number": 5, "size": "4 MiB", "imagee": "x"}]})";
  setenv("DUNMERE_MACHINE", description.c_str(), 1);
  platform::Initialise(Executable());
  EXPECT_EQ(sim::LoadProblem(), description + ": disks[0]: unknown field \"imagee\"");
  EXPECT_EQ(sim::CurrentMachine().disks.size(), 4u);

  setenv("DUNMERE_MACHINE", folder_.File("missing.json").c_str(), 1);
  platform::Initialise(Executable());
  EXPECT_NE(sim::LoadProblem().find("missing.json"), std::string::npos);
  EXPECT_EQ(platform::DriveType("F:\\"), platform::kDriveRemovable);
}

}  // namespace
}  // namespace sim_test
