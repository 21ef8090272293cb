// The disk table and disk list built from simulated machines and the current drive table.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/window_runs.h"
#include "app/target_lists.h"
#include "devices/inventory.h"
#include "devices/text_field.h"
#include "tests/inventory_fixture.h"

namespace {

using namespace inventory_test;

class DiskInventory : public MachineTest {
 protected:
  static std::string LogicalDrivesOf(int diskNumber) {
    for (int i = 0; i < DiskCount; ++i) {
      if (DiskTable[i].DiskNumber == diskNumber) return FieldText(DiskTable[i].LogicalDrives);
    }
    ADD_FAILURE() << "disk " << diskNumber << " not listed";
    return "";
  }

  // A drive-table entry as the volume inventory would leave it.
  static void PutVolume(int row, const std::string& rootPath, std::int32_t diskNumber, const std::string& label) {
    SetField(DriveTable[row].RootPath, rootPath);
    SetField(DriveTable[row].Label, label);
    DriveTable[row].DiskNumber = diskNumber;
  }
};

TEST_F(DiskInventory, EveryNumberIsProbedAndGapsDoNotEndTheScan) {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(0, 64 * kMiB), MakeDisk(2, 32 * kMiB), MakeDisk(5, 32 * kMiB), MakeDisk(99, 8 * kMiB)};
  machine.disks[2].openable = false;  // present but unreadable: not listed
  Load(machine);

  RefreshDiskList();

  const std::vector<std::vector<std::string>> expected = {
      {"Disk0", "64 MB", "", ""}, {"Disk2", "32 MB", "", ""}, {"Disk99", "8 MB", "", ""}};
  EXPECT_EQ(headless::Rows(ui::List::Disk), expected);
  ASSERT_EQ(DiskCount, 3);
  EXPECT_EQ(DiskTable[1].DiskNumber, 2);
  EXPECT_EQ(DiskTable[2].DiskNumber, 99);
  // The probe opens each of the 100 numbers for reading and writing.
  std::set<std::string> probed;
  for (const sim::Call& call : CallsOf(sim::Op::Open)) {
    if (call.bytes == static_cast<std::uint64_t>(platform::Access::ReadWrite)) probed.insert(call.path);
  }
  for (int n = 0; n < 100; ++n) EXPECT_EQ(probed.count(DiskDevicePath(n)), 1u) << n;
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(DiskInventory, CapacityFromTheExtendedGeometryElseTheGeometryElseZero) {
  const std::uint64_t size = 2000398934016;  // a "2 TB" disk: not a whole number of cylinders
  const struct {
    const char* name;
    bool geometryFails;
    bool geometryExFails;
  } cases[] = {{"both answer", false, false}, {"extended fails", false, true}, {"both fail", true, true},
               {"plain fails", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = EmptyMachine();
    machine.disks = {MakeDisk(0, size)};
    machine.disks[0].geometryFails = c.geometryFails;
    machine.disks[0].geometryExFails = c.geometryExFails;
    Load(machine);

    std::uint64_t fromGeometry = 0;
    platform::DiskGeometry geometry;
    if (GetDiskGeometry(0, &geometry)) {
      fromGeometry = static_cast<std::uint64_t>(geometry.cylinders) * geometry.tracksPerCylinder *
                     geometry.sectorsPerTrack * geometry.bytesPerSector;
      EXPECT_LE(fromGeometry, size);
      EXPECT_GT(fromGeometry, 0u);
    }
    RefreshDiskTable();

    ASSERT_EQ(DiskCount, 1);
    if (!c.geometryExFails) {
      EXPECT_EQ(DiskTable[0].Capacity, size);
      EXPECT_EQ(FieldText(DiskTable[0].CapacityText), "1.82 TB");
    } else if (!c.geometryFails) {
      EXPECT_EQ(DiskTable[0].Capacity, fromGeometry);
    } else {
      EXPECT_EQ(DiskTable[0].Capacity, 0u);
      EXPECT_EQ(FieldText(DiskTable[0].CapacityText), "0 MB");
    }
  }
}

TEST_F(DiskInventory, GeometryQueriesOpenTheDiskForQueriesOnly) {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(3, 64 * kMiB)};
  Load(machine);

  platform::DiskGeometry geometry;
  std::uint64_t diskSize = 0;
  ASSERT_TRUE(GetDiskGeometryEx(3, &geometry, &diskSize));
  EXPECT_EQ(diskSize, 64 * kMiB);
  EXPECT_EQ(geometry.bytesPerSector, 512u);
  const std::vector<sim::Call> opens = CallsOf(sim::Op::Open);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].path, "\\\\.\\physicaldrive3");
  EXPECT_EQ(opens[0].bytes, static_cast<std::uint64_t>(platform::Access::QueryOnly));
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_FALSE(GetDiskGeometry(4, &geometry));  // no such disk
}

TEST_F(DiskInventory, VolumesOfEachDiskInTableOrder) {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(0, 256 * kMiB), MakeDisk(1, 64 * kMiB)};
  machine.volumes = {
      MakeVolume('C', 0, kMiB, 100 * kMiB, "NTFS", "System"),
      MakeVolume('D', 0, 101 * kMiB, 100 * kMiB, "NTFS", ""),
      MakeVolume('E', 1, 0, 16 * kMiB, ""),
      MakeVolume('F', 1, 16 * kMiB, 16 * kMiB, ""),
      MakeVolume('G', 0, 201 * kMiB, 16 * kMiB, "FAT32", "LOST"),
  };
  machine.volumes[4].extentsFail = true;  // belongs to no disk
  Load(machine);
  ASSERT_TRUE(sim::WriteVolume('F', 0, RecordBytes(Record(0, 0, 3, 16, "16 MB"))));

  RefreshDriveList();
  RefreshDiskList();

  EXPECT_EQ(LogicalDrivesOf(0), "C:\\ [System] D:\\ [] ");
  EXPECT_EQ(LogicalDrivesOf(1), "E:\\ [] F:\\ [Incomplete wipe, resumable.] ");
}

TEST_F(DiskInventory, NoVolumeIsAddedOnceTheTextIsLongerThan255) {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(0, 8 * kMiB)};
  Load(machine);
  // Each entry is "X:\ [" + label + "] ": 7 characters around the label.
  const struct {
    const char* name;
    std::size_t firstLabel;
    std::string expectedLetters;
  } cases[] = {
      {"255 after C: one more entry, then the walk stops", 248, "CD"},
      {"256 after C: the walk stops at once", 249, "C"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DriveCount = 5;
    PutVolume(0, "C:\\", 0, std::string(c.firstLabel, 'x'));
    PutVolume(1, "Z:\\", kUnknownDisk, "elsewhere");
    PutVolume(2, "D:\\", 0, std::string(240, 'y'));
    PutVolume(3, "E:\\", 0, std::string(240, 'z'));
    PutVolume(4, "F:\\", 0, "");

    RefreshDiskTable();

    const std::string text = LogicalDrivesOf(0);
    std::string letters;
    for (std::size_t at = text.find(":\\ ["); at != std::string::npos; at = text.find(":\\ [", at + 1)) {
      letters += text[at - 1];
    }
    EXPECT_EQ(letters, c.expectedLetters);
    EXPECT_LT(text.size(), sizeof DiskTable[0].LogicalDrives);
  }
}

TEST_F(DiskInventory, DiskWithoutVolumesShowsItsRecord) {
  const struct {
    const char* name;
    bool writeRecord;
    const char* text;
  } cases[] = {{"record", true, "Incomplete wipe, resumable."}, {"no record", false, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = EmptyMachine();
    machine.disks = {MakeDisk(0, 64 * kMiB), MakeDisk(1, 64 * kMiB)};
    machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB, "NTFS", "System")};
    Load(machine);
    if (c.writeRecord) {
      ASSERT_TRUE(sim::WriteDisk(1, 0, RecordBytes(Record(2, 4, 10, 64, "64 MB"))));
    }
    ResumePoint.PassIndex = 9;

    RefreshDriveList();
    RefreshDiskList();

    EXPECT_EQ(LogicalDrivesOf(1), c.text);
    EXPECT_EQ(LogicalDrivesOf(0), "C:\\ [System] ");
    EXPECT_EQ(ResumePoint.PassIndex, 9);
  }
}

TEST_F(DiskInventory, RemovableWhenTheFirstListedVolumeIsOnARemovableDrive) {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(0, 64 * kMiB), MakeDisk(1, 64 * kMiB), MakeDisk(2, 64 * kMiB), MakeDisk(3, 64 * kMiB)};
  sim::Volume stick = MakeVolume('F', 2, 0, 32 * kMiB, "FAT32", "STICK");
  stick.driveType = platform::kDriveRemovable;
  sim::Volume laterRemovable = MakeVolume('H', 1, 32 * kMiB, 16 * kMiB, "FAT32");
  laterRemovable.driveType = platform::kDriveRemovable;
  machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB, "NTFS", "System"),
                     MakeVolume('E', 1, 0, 16 * kMiB, "NTFS"), stick, laterRemovable};
  Load(machine);
  RefreshDriveTable();
  sim::ClearCalls();

  EXPECT_TRUE(IsRemovableDisk(2));
  EXPECT_FALSE(IsRemovableDisk(0));
  EXPECT_FALSE(IsRemovableDisk(1));  // only its first volume counts
  EXPECT_FALSE(IsRemovableDisk(3));  // no lettered volume at all
  // The drive type is asked of the root directory, backslash included.
  const std::vector<sim::Call> asked = CallsOf(sim::Op::DriveType);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0].path, "F:\\");
}

}  // namespace
