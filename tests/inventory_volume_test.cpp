// The drive table and drive list built from simulated machines.
#include <gtest/gtest.h>

#include <string>

#include "app/window_runs.h"
#include "app/target_lists.h"
#include "devices/inventory.h"
#include "devices/text_field.h"
#include "tests/inventory_fixture.h"

namespace {

using namespace inventory_test;

class VolumeInventory : public MachineTest {
 protected:
  // Disk 0 holds C: (NTFS "System"); disk 1 is a 64 MiB data disk for the volume under test.
  static sim::Machine TwoDisks() {
    sim::Machine machine = EmptyMachine();
    machine.disks = {MakeDisk(0, 64 * kMiB), MakeDisk(1, 64 * kMiB)};
    machine.volumes = {MakeVolume('C', 0, kMiB, 32 * kMiB, "NTFS", "System")};
    return machine;
  }

  static const DriveRecord* Find(char letter) {
    for (int i = 0; i < DriveCount; ++i) {
      if (DriveTable[i].RootPath[0] == letter) return &DriveTable[i];
    }
    return nullptr;
  }
};

TEST_F(VolumeInventory, AllTwentyFourLettersFromCToZAndNeverAOrB) {
  sim::Machine machine = EmptyMachine();
  machine.disks = {MakeDisk(0, 64 * kMiB)};
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    machine.volumes.push_back(MakeVolume(letter, 0, (letter - 'A') * 2 * kMiB, 2 * kMiB, "FAT32"));
  }
  machine.volumes[0].driveType = platform::kDriveRemovable;  // a floppy drive A:
  Load(machine);
  SetField(DriveTable[24].RootPath, "left alone");

  RefreshDriveTable();

  ASSERT_EQ(DriveCount, 24);
  for (int i = 0; i < 24; ++i) {
    EXPECT_EQ(FieldText(DriveTable[i].RootPath), std::string(1, static_cast<char>('C' + i)) + ":\\");
    EXPECT_EQ(DriveTable[i].DiskNumber, 0);
    EXPECT_EQ(FieldText(DriveTable[i].FileSystem), "FAT32");
    EXPECT_EQ(DriveTable[i].Capacity, 2 * kMiB);
  }
  EXPECT_EQ(FieldText(DriveTable[24].RootPath), "left alone");
  for (const sim::Call& call : sim::Calls()) {
    EXPECT_NE(call.path.rfind("A:", 0), 0u) << "A: was examined";
    EXPECT_NE(call.path.rfind("B:", 0), 0u) << "B: was examined";
  }
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(VolumeInventory, OnlyFixedAndRemovableDrivesAreListedWithOrWithoutMedium) {
  sim::Machine machine = TwoDisks();
  machine.disks.push_back(MakeDisk(2, 16 * kMiB));
  const struct {
    char letter;
    std::uint32_t type;
  } skipped[] = {{'D', platform::kDriveCdRom}, {'E', platform::kDriveRemote}, {'F', platform::kDriveRamDisk},
                 {'G', platform::kDriveNoRootDir}, {'H', platform::kDriveUnknown}};
  for (const auto& s : skipped) {
    sim::Volume volume = MakeVolume(s.letter, -1, 0, 8 * kMiB, "");
    volume.driveType = s.type;
    machine.volumes.push_back(volume);
  }
  sim::Volume stick = MakeVolume('I', 1, 0, 16 * kMiB, "FAT32", "STICK");
  stick.driveType = platform::kDriveRemovable;
  sim::Volume cardReader = MakeVolume('J', 2, 0, 16 * kMiB, "FAT32", "CARD");
  cardReader.driveType = platform::kDriveRemovable;
  cardReader.hasMedium = false;
  machine.volumes.push_back(stick);
  machine.volumes.push_back(cardReader);
  Load(machine);

  RefreshDriveList();

  const std::vector<std::vector<std::string>> expected = {
      {"C:\\", "NTFS", "32 MB", "System"},
      {"I:\\", "FAT32", "16 MB", "STICK"},
      {"J:\\", "", "", ""},
  };
  EXPECT_EQ(headless::Rows(ui::List::Drive), expected);
  for (const sim::Call& call : sim::Calls()) {
    if (call.op == sim::Op::DriveType) continue;
    for (const auto& s : skipped) EXPECT_EQ(call.path.find(std::string(1, s.letter) + ":"), std::string::npos);
  }
  const DriveRecord* noMedium = Find('J');
  ASSERT_NE(noMedium, nullptr);
  EXPECT_EQ(noMedium->DiskNumber, kUnknownDisk);
  EXPECT_EQ(noMedium->Capacity, 0u);
}

TEST_F(VolumeInventory, FormattedVolumeReportsItsFileSystemSizeAndDisk) {
  sim::Machine machine = TwoDisks();
  machine.disks[1].size = 1024 * kMiB;
  sim::Volume data = MakeVolume('E', 1, kMiB, 600 * kMiB, "FAT32", "BACKUP");
  data.fileSystemSize = 524288000;
  machine.volumes.push_back(data);
  Load(machine);

  RefreshDriveTable();

  const DriveRecord* e = Find('E');
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->DiskNumber, 1);
  EXPECT_EQ(e->Capacity, 524288000u);
  EXPECT_EQ(FieldText(e->CapacityText), "500 MB");
  EXPECT_EQ(FieldText(e->FileSystem), "FAT32");
  EXPECT_EQ(FieldText(e->Label), "BACKUP");
  // The extents query opens the volume for reading only.
  bool opened = false;
  for (const sim::Call& call : CallsOf(sim::Op::Open)) {
    if (call.path != "\\\\.\\E:") continue;
    opened = true;
    EXPECT_EQ(call.bytes, static_cast<std::uint64_t>(platform::Access::Read));
  }
  EXPECT_TRUE(opened);
}

TEST_F(VolumeInventory, VolumeWhoseDiskIsUnknownIsListedWithoutSize) {
  const struct {
    const char* name;
    bool extentsFail;
    int secondDisk;
  } cases[] = {{"extents query fails", true, -1}, {"spans two disks", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = TwoDisks();
    sim::Volume data = MakeVolume('E', 1, 0, 32 * kMiB, "FAT32", "DATA");
    data.extentsFail = c.extentsFail;
    data.secondDisk = c.secondDisk;
    machine.volumes.push_back(data);
    Load(machine);

    RefreshDriveTable();

    const DriveRecord* e = Find('E');
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->DiskNumber, kUnknownDisk);
    EXPECT_EQ(e->Capacity, 0u);
    EXPECT_EQ(FieldText(e->CapacityText), "");
    EXPECT_EQ(FieldText(e->FileSystem), "FAT32");
    EXPECT_EQ(FieldText(e->Label), "DATA");
  }
}

TEST_F(VolumeInventory, UnformattedVolumeIsResumableOnlyWithAValidRecord) {
  const BreakpointValues good = Record(1, 1, 5, 32, "32 MB");
  const BreakpointValues passPastMethod = Record(1, 3, 5, 32, "32 MB");  // method 1: passes 0 to 2
  const BreakpointValues blockPastEnd = Record(1, 1, 33, 32, "32 MB");
  const BreakpointValues unknownMethod = Record(7, 1, 5, 32, "32 MB");

  std::vector<std::uint8_t> changedStartBlock = RecordBytes(good);
  changedStartBlock[20] ^= 0x01;
  std::vector<std::uint8_t> secondSignatureMissing = RecordBytes(good);
  secondSignatureMissing[510] = 0;

  const struct {
    const char* name;
    std::vector<std::uint8_t> firstBytes;
    const char* label;
  } cases[] = {
      {"nothing written", {}, ""},
      {"valid record", RecordBytes(good), "Incomplete wipe, resumable."},
      {"one byte of StartBlock changed", changedStartBlock, ""},
      {"second signature missing", secondSignatureMissing, ""},
      {"pass beyond the method", RecordBytes(passPastMethod), ""},
      {"start block beyond the block count", RecordBytes(blockPastEnd), ""},
      {"unknown method, checks pass", RecordBytes(unknownMethod), "Incomplete wipe, resumable."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Machine machine = TwoDisks();
    machine.volumes.push_back(MakeVolume('E', 1, 0, 32 * kMiB, ""));
    Load(machine);
    if (!c.firstBytes.empty()) {
      ASSERT_TRUE(sim::WriteVolume('E', 0, c.firstBytes));
    }
    ResumePoint.StartBlock = 77;  // the inventory must leave it alone

    RefreshDriveTable();

    const DriveRecord* e = Find('E');
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(FieldText(e->Label), c.label);
    EXPECT_EQ(FieldText(e->FileSystem), "");
    EXPECT_EQ(e->Capacity, 0u);
    EXPECT_EQ(FieldText(e->CapacityText), "");
    EXPECT_EQ(e->DiskNumber, 1);
    EXPECT_EQ(ResumePoint.StartBlock, 77u);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

TEST_F(VolumeInventory, RefillLeavesNoRowChecked) {
  sim::Machine machine = TwoDisks();
  machine.volumes.push_back(MakeVolume('E', 1, 0, 32 * kMiB, "FAT32"));
  Load(machine);
  RefreshDriveList();
  headless::ClickCheckBox(ui::List::Drive, 1);
  ASSERT_EQ(SelectedDriveRow, 1);

  RefreshDriveList();

  EXPECT_EQ(SelectedDriveRow, -1);
  EXPECT_FALSE(ui::RowChecked(ui::List::Drive, 0));
  EXPECT_FALSE(ui::RowChecked(ui::List::Drive, 1));
  EXPECT_EQ(headless::Rows(ui::List::Drive).size(), 2u);
}

}  // namespace
