// Which volume and disk hold the running Windows, and the refusal rules built on it.
#include <gtest/gtest.h>

#include <string>

#include "devices/inventory.h"
#include "tests/inventory_fixture.h"

namespace {

using namespace inventory_test;

class SystemDrive : public MachineTest {
 protected:
  // Windows on disk 0 or on D: of disk 1, as the case says.
  static sim::Machine Machine(const std::string& windowsDirectory) {
    sim::Machine machine = EmptyMachine();
    machine.windowsDirectory = windowsDirectory;
    machine.disks = {MakeDisk(0, 64 * kMiB), MakeDisk(1, 64 * kMiB), MakeDisk(2, 64 * kMiB)};
    machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB, "NTFS", "System"),
                       MakeVolume('D', 1, 0, 32 * kMiB, "NTFS")};
    return machine;
  }
};

TEST_F(SystemDrive, AnswersForEachWindowsDirectory) {
  const struct {
    const char* name;
    const char* windowsDirectory;
    bool extentsFail;
    bool spansTwoDisks;
    bool result;
    const char* driveName;  // "-": not written
    std::int32_t diskNumber;  // -7: not written
  } cases[] = {
      {"C:\\WINDOWS on disk 0", "C:\\WINDOWS", false, false, true, "C:", 0},
      {"Windows on D: of disk 1", "D:\\WINNT", false, false, true, "D:", 1},
      {"lower-case letter", "c:\\windows", false, false, true, "c:", 0},
      {"directory cannot be read", "", false, false, false, "-", -7},
      {"extents query fails", "C:\\WINDOWS", true, false, false, "C:", -7},
      {"volume over two disks", "C:\\WINDOWS", false, true, false, "C:", -7},
      {"no such volume", "Q:\\WINDOWS", false, false, false, "Q:", -7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = Machine(c.windowsDirectory);
    machine.volumes[0].extentsFail = c.extentsFail;
    machine.volumes[0].secondDisk = c.spansTwoDisks ? 2 : -1;
    Load(machine);

    std::string driveName = "-";
    std::int32_t diskNumber = -7;
    EXPECT_EQ(FindSystemDrive(&driveName, &diskNumber), c.result);
    EXPECT_EQ(driveName, c.driveName);
    EXPECT_EQ(diskNumber, c.diskNumber);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

// In WinPE Windows runs from X:, a RAM disk on no physical disk: no disk holds Windows, which
// is not the same as a disk that cannot be told (a volume over two disks). A volume answering
// with no extent (Wine's C:) is the Wine side's test.
TEST_F(SystemDrive, ToldApartNoDiskFromAnUnknownDisk) {
  const struct {
    const char* name;
    const char* windowsDirectory;
    std::uint32_t xDriveType;
    bool extentsFail;
    bool spansTwoDisks;
    WindowsDisk where;
    std::int32_t diskNumber;  // -7: not written
  } cases[] = {
      {"Windows on disk 0", "C:\\WINDOWS", platform::kDriveRamDisk, false, false, WindowsDisk::One, 0},
      {"WinPE on a RAM disk", "X:\\Windows", platform::kDriveRamDisk, false, false, WindowsDisk::None, -7},
      {"RAM disk in lower case", "x:\\windows", platform::kDriveRamDisk, false, false, WindowsDisk::None, -7},
      {"a RAM disk whose extents fail", "X:\\Windows", platform::kDriveRamDisk, true, false, WindowsDisk::None, -7},
      {"a fixed volume on no disk, which does not open", "X:\\Windows", platform::kDriveFixed, false, false,
       WindowsDisk::Unknown, -7},
      {"a system volume over two disks", "C:\\WINDOWS", platform::kDriveRamDisk, false, true, WindowsDisk::Unknown,
       -7},
      {"directory cannot be read", "", platform::kDriveRamDisk, false, false, WindowsDisk::Unknown, -7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = Machine(c.windowsDirectory);
    machine.volumes[0].secondDisk = c.spansTwoDisks ? 2 : -1;
    sim::Volume ramDisk = MakeVolume('X', -1, 0, 32 * kMiB, "NTFS", "Boot");
    ramDisk.driveType = c.xDriveType;
    ramDisk.extentsFail = c.extentsFail;
    machine.volumes.push_back(ramDisk);
    Load(machine);

    std::string driveName;
    std::int32_t diskNumber = -7;
    EXPECT_EQ(LocateWindowsDisk(&driveName, &diskNumber), c.where);
    EXPECT_EQ(diskNumber, c.diskNumber);
    EXPECT_EQ(FindSystemDrive(&driveName, &diskNumber), c.where == WindowsDisk::One);
    for (std::int32_t disk : {0, 1, 2}) EXPECT_EQ(IsSystemDisk(disk), c.where == WindowsDisk::One && disk == 0);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

TEST_F(SystemDrive, OpensTheVolumeOfTheWindowsDirectoryForReading) {
  Load(Machine("C:\\WINDOWS"));
  std::string driveName;
  std::int32_t diskNumber = -1;
  ASSERT_TRUE(FindSystemDrive(&driveName, &diskNumber));
  const std::vector<sim::Call> opens = CallsOf(sim::Op::Open);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].path, "\\\\.\\C:");
  EXPECT_EQ(opens[0].bytes, static_cast<std::uint64_t>(platform::Access::Read));
}

TEST_F(SystemDrive, VolumeRefusedByItsLetterInEitherCaseEvenWithoutItsDisk) {
  const struct {
    const char* name;
    const char* windowsDirectory;
    bool extentsFail;
    const char* volume;
    bool refused;
  } cases[] = {
      {"the system volume", "C:\\WINDOWS", false, "C:", true},
      {"another volume", "C:\\WINDOWS", false, "D:", false},
      {"directory in lower case", "c:\\windows", false, "C:", true},
      {"selection in lower case", "C:\\WINDOWS", false, "c:", true},
      {"disk of the system volume unknown", "C:\\WINDOWS", true, "C:", true},
      {"disk unknown, another volume", "C:\\WINDOWS", true, "D:", false},
      {"directory cannot be read", "", false, "C:", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = Machine(c.windowsDirectory);
    machine.volumes[0].extentsFail = c.extentsFail;
    Load(machine);
    EXPECT_EQ(IsSystemVolume(c.volume), c.refused);
  }
}

TEST_F(SystemDrive, DiskRefusedOnlyWhenTheSystemDiskIsKnown) {
  const struct {
    const char* name;
    const char* windowsDirectory;
    bool extentsFail;
    std::int32_t disk;
    bool refused;
  } cases[] = {
      {"disk of C:", "C:\\WINDOWS", false, 0, true},
      {"data disk", "C:\\WINDOWS", false, 1, false},
      {"disk of D:", "d:\\windows", false, 1, true},
      {"disk of C: unknown", "C:\\WINDOWS", true, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = Machine(c.windowsDirectory);
    machine.volumes[0].extentsFail = c.extentsFail;
    Load(machine);
    EXPECT_EQ(IsSystemDisk(c.disk), c.refused);
  }
}

}  // namespace
