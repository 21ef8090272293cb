// The partition table in each disk's first sector: written for a new image, read back at load
// and when the program asks Windows to update the disk's properties. A wiped table leaves the
// disk without volumes; a damaged one keeps what is valid and says what is not.
#include <fstream>
#include <functional>

#include "tests/sim_fixture.h"

namespace sim_test {
namespace {

constexpr std::size_t kFirstEntry = 446;

void Put32(std::vector<std::uint8_t>* sector, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*sector)[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
  return value;
}

std::size_t EntryAt(int entry) { return kFirstEntry + 16 * static_cast<std::size_t>(entry - 1); }

// The letters whose volumes lie on the disk now, as the program finds them through the
// extents query.
std::string MountedOn(int disk) {
  std::string letters;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    platform::Device volume =
        platform::OpenDevice(std::string("\\\\.\\") + letter + ":", platform::Access::Read);
    std::uint32_t count = 0;
    platform::DiskExtent extent;
    if (volume && platform::QueryVolumeDiskExtents(volume, &count, &extent) &&
        extent.diskNumber == static_cast<std::uint32_t>(disk)) {
      letters += letter;
    }
  }
  return letters;
}

// What the program's disk run does at its end: IOCTL_DISK_UPDATE_PROPERTIES on the disk.
void UpdateProperties(int disk) {
  platform::Device device = platform::OpenDevice("\\\\.\\physicaldrive" + std::to_string(disk),
                                                 platform::Access::ReadWrite);
  ASSERT_TRUE(platform::ControlUpdateDiskProperties(device));
}

std::string Problems() {
  std::string text;
  for (const std::string& line : sim::PartitionTableProblems()) text += line + "\n";
  return text;
}

class SimPartitionTableTest : public SimTest {};

// The small machine's disk 0: C: at sectors 2048 to 18431 (Windows, active), D: from 18432 to
// the disk's end at 32767.
TEST_F(SimPartitionTableTest, ANewDiskGetsTheTableOfItsDescribedVolumes) {
  const std::vector<std::uint8_t> table = sim::ReadDisk(0, 0, 512);
  EXPECT_EQ(table[510], 0x55);
  EXPECT_EQ(table[511], 0xAA);
  struct Expected {
    int entry;
    std::uint8_t status;
    std::uint8_t type;
    std::uint32_t first;
    std::uint32_t count;
  };
  const Expected expected[] = {{1, 0x80, 0x07, 2048, 16384}, {2, 0x00, 0x0C, 18432, 14336}};
  for (const Expected& e : expected) {
    const std::size_t at = EntryAt(e.entry);
    EXPECT_EQ(table[at], e.status) << e.entry;
    EXPECT_EQ(table[at + 4], e.type) << e.entry;
    EXPECT_EQ(Get32(table, at + 8), e.first) << e.entry;
    EXPECT_EQ(Get32(table, at + 12), e.count) << e.entry;
    // Cylinder 0, head 32, sector 33 is LBA 2048 in the 255-head, 63-sector geometry.
    if (e.entry == 1) {
      EXPECT_EQ(std::vector<std::uint8_t>(&table[at + 1], &table[at + 4]), (std::vector<std::uint8_t>{32, 33, 0}));
    }
  }
  EXPECT_TRUE(std::all_of(&table[EntryAt(3)], &table[510], [](std::uint8_t b) { return b == 0; }));
  // Disk 1 holds the FAT32 stick E:; no disk of the machine has a problem.
  EXPECT_EQ(Get32(sim::ReadDisk(1, 0, 512), EntryAt(1) + 8), 2048u);
  EXPECT_EQ(Problems(), "");
  EXPECT_EQ(MountedOn(0), "CD");
}

// Each case changes disk 0's table and lets Windows read it again; the volumes mounted, and
// what is told about the table, follow what a disk wipe or a damaged table leaves.
TEST_F(SimPartitionTableTest, AWipedOrDamagedTableLeavesOnlyItsValidVolumes) {
  using Sector = std::vector<std::uint8_t>;
  struct Case {
    const char* what;
    std::function<void(Sector&)> change;
    const char* mounted;
    const char* problem;
  };
  const std::string gone = "disk 0: no partition table (sector 0 does not end in 55 AA), so C:, D: not mounted\n";
  const std::vector<Case> cases = {
      {"intact", [](Sector&) {}, "CD", ""},
      {"wiped with zeros", [](Sector& s) { s.assign(512, 0); }, "", gone.c_str()},
      {"a breakpoint record",
       [](Sector& s) { s[0] = s[510] = 'D'; s[1] = s[511] = 'M'; }, "", gone.c_str()},
      {"signature 55 AB", [](Sector& s) { s[511] = 0xAB; }, "", gone.c_str()},
      {"entry 2 overlaps entry 1", [](Sector& s) { Put32(&s, EntryAt(2) + 8, 10000); }, "C",
       "disk 0: entry 2: sectors 10000 to 24335 overlap entry 1\n"},
      {"entry 2 past the end", [](Sector& s) { Put32(&s, EntryAt(2) + 12, 20000); }, "C",
       "disk 0: entry 2: sectors 18432 to 38431 end past the end of the disk (32768 sectors)\n"},
      {"entry 2 past 2^32 sectors", [](Sector& s) { Put32(&s, EntryAt(2) + 12, 0xFFFFFFFF); }, "C",
       "disk 0: entry 2: sectors 18432 to 4294985726 end past the end of the disk (32768 sectors)\n"},
      {"entry 1 in the table's sector", [](Sector& s) { Put32(&s, EntryAt(1) + 8, 0); }, "D",
       "disk 0: entry 1: starts in sector 0, which holds the table\n"},
      {"entry 1 without sectors", [](Sector& s) { Put32(&s, EntryAt(1) + 12, 0); }, "D",
       "disk 0: entry 1: no sectors\n"},
      {"bad status byte", [](Sector& s) { s[EntryAt(1)] = 0x12; }, "D",
       "disk 0: entry 1: status byte 18 is neither 0 nor 128\n"},
      {"extended partition", [](Sector& s) { s[EntryAt(2) + 4] = 0x05; }, "C",
       "disk 0: entry 2: type 5 (extended or GPT) is not read\n"},
      {"entry 2 deleted", [](Sector& s) { s[EntryAt(2) + 4] = 0x00; }, "C", ""},
      // Windows keys a letter to its region: D: shrunk is a new partition with the first free
      // letter (C, D, E and Z are the description's).
      {"entry 2 shrunk", [](Sector& s) { Put32(&s, EntryAt(2) + 12, 8192); }, "CF", ""},
      {"random entries behind a kept signature",
       [](Sector& s) { for (std::size_t i = kFirstEntry; i < 510; ++i) s[i] = static_cast<std::uint8_t>(i * 37 + 11); },
       "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Load(SmallMachine());
    Sector sector = sim::ReadDisk(0, 0, 512);
    c.change(sector);
    ASSERT_TRUE(sim::WriteDisk(0, 0, sector));
    EXPECT_EQ(MountedOn(0), "CD") << "nothing changes before the disk is read again";
    UpdateProperties(0);
    EXPECT_EQ(MountedOn(0), c.mounted);
    EXPECT_EQ(MountedOn(1), "E") << "another disk keeps its volumes";
    if (c.problem != nullptr) {
      EXPECT_EQ(Problems(), c.problem);
    } else {
      EXPECT_EQ(Problems().rfind("disk 0: entry 1: status byte", 0), 0u) << Problems();
    }
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

TEST_F(SimPartitionTableTest, AVolumeGoneFromTheTableHasNoDriveLetterUntilItComesBack) {
  const std::vector<std::uint8_t> table = sim::ReadDisk(0, 0, 512);
  platform::Device held = platform::OpenDevice("\\\\.\\D:", platform::Access::ReadWrite);
  ASSERT_TRUE(platform::ControlLockVolume(held));
  ASSERT_TRUE(sim::WriteDisk(0, 0, std::vector<std::uint8_t>(512, 0)));
  UpdateProperties(0);

  EXPECT_EQ(platform::DriveType("D:\\"), platform::kDriveNoRootDir);
  EXPECT_FALSE(platform::VolumeInformation("C:\\", nullptr, nullptr));
  EXPECT_FALSE(platform::OpenDevice("\\\\.\\D:", platform::Access::Read));
  // A handle opened before reaches nothing and holds no lock any more.
  std::uint8_t byte = 0;
  EXPECT_EQ(platform::ReadDevice(held, &byte, 1), 0u);
  EXPECT_FALSE(platform::ControlLockVolume(held));
  EXPECT_FALSE(platform::ControlDismountVolume(held));
  EXPECT_FALSE(sim::FormatVolume('D', "NTFS", "", 0));
  held.reset();

  // Written back (as a partitioning tool would), the same regions get the same letters.
  ASSERT_TRUE(sim::WriteDisk(0, 0, table));
  UpdateProperties(0);
  std::string label;
  EXPECT_TRUE(platform::VolumeInformation("D:\\", &label, nullptr));
  EXPECT_EQ(label, "Data");
  EXPECT_EQ(platform::DriveType("C:\\"), platform::kDriveFixed);
  EXPECT_EQ(Problems(), "");
}

// A disk whose volumes a table cannot hold keeps them as described: a wipe of its first sector
// leaves them mounted, without a file system where it overwrote one.
TEST_F(SimPartitionTableTest, ADiskWhoseVolumesNoTableHoldsKeepsThemAsDescribed) {
  struct Case {
    const char* what;
    std::vector<sim::Volume> volumes;
  };
  const std::vector<Case> cases = {
      {"a volume at byte 0", {VolumeOn('E', 1, 0, 4 * kMiB, "FAT32", "STICK")}},
      {"a volume off a sector boundary", {VolumeOn('E', 1, kMiB + 100, 4 * kMiB, "FAT32")}},
      {"a length off a sector boundary", {VolumeOn('E', 1, kMiB, 4 * kMiB + 100, "FAT32")}},
      {"five volumes",
       {VolumeOn('E', 1, kMiB, kMiB), VolumeOn('F', 1, 2 * kMiB, kMiB), VolumeOn('G', 1, 3 * kMiB, kMiB),
        VolumeOn('H', 1, 4 * kMiB, kMiB), VolumeOn('I', 1, 5 * kMiB, kMiB)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Machine machine = SmallMachine();
    machine.volumes = {machine.volumes[0], machine.volumes[1]};
    machine.volumes.insert(machine.volumes.end(), c.volumes.begin(), c.volumes.end());
    Load(machine);
    const std::vector<std::uint8_t> first = sim::ReadDisk(1, 0, 512);
    const bool bootSectorFirst = c.volumes[0].offset == 0;
    EXPECT_EQ(first[510] == 0x55, bootSectorFirst) << "only a volume's boot sector, no table";
    ASSERT_TRUE(sim::WriteDisk(1, 0, std::vector<std::uint8_t>(512, 0xF6)));
    UpdateProperties(1);
    std::string mounted;
    for (const sim::Volume& volume : c.volumes) mounted += volume.letter;
    EXPECT_EQ(MountedOn(1), mounted);
    EXPECT_EQ(Problems(), "");
  }
}

class SimPartitionImagesTest : public SimTest {
 protected:
  void SetUp() override {}
  sim::Machine Demo() const { return sim::DemoMachine(folder_.File("images")); }
  TempFolder folder_;
};

// A restarted machine reads the tables on its images: the letters are the description's, and
// a disk whose table a wipe overwrote comes back without volumes.
TEST_F(SimPartitionImagesTest, ARestartMountsWhatTheTablesOnTheImagesHold) {
  Load(Demo());
  {
    std::ifstream image(folder_.File("images/disk1.img"), std::ios::binary);
    std::vector<char> sector(512);
    image.read(sector.data(), 512);
    const std::vector<std::uint8_t> table(sector.begin(), sector.end());
    EXPECT_EQ(Get32(table, EntryAt(1) + 8), 2048u);                 // D: at 1 MiB
    EXPECT_EQ(Get32(table, EntryAt(2) + 8), 128u * 2048);           // E: at 128 MiB
    EXPECT_EQ(Get32(table, EntryAt(2) + 12), 64u * 2048);
    EXPECT_EQ(table[510], 0x55);
  }
  Load(Demo());
  EXPECT_EQ(MountedOn(1), "DE");
  std::string label;
  EXPECT_TRUE(platform::VolumeInformation("E:\\", &label, nullptr));
  EXPECT_EQ(label, "Backup");

  // A disk wipe's first block, then the program (and the machine) ends.
  {
    platform::Device disk = platform::OpenDevice("\\\\.\\physicaldrive1", platform::Access::ReadWrite);
    std::vector<std::uint8_t> zeros(kMiB, 0);
    ASSERT_EQ(platform::WriteDevice(disk, zeros.data(), kMiB), kMiB);
  }
  EXPECT_EQ(MountedOn(1), "DE") << "Windows has not read the disk again yet";
  Load(Demo());
  EXPECT_EQ(MountedOn(1), "");
  EXPECT_EQ(platform::DriveType("D:\\"), platform::kDriveNoRootDir);
  EXPECT_EQ(MountedOn(0), "C");
  EXPECT_EQ(MountedOn(2), "F");
  EXPECT_EQ(Problems(), "disk 1: no partition table (sector 0 does not end in 55 AA), so D:, E: not mounted\n");
}

}  // namespace
}  // namespace sim_test
