// Raw devices of the simulated machine: paths, handles, positions, transfers over the regions
// of a disk, the device controls and the faults a test can inject.
#include <ostream>

#include "tests/sim_fixture.h"

namespace sim_test {
namespace {

using platform::Access;
using platform::Device;
using platform::Origin;

class SimDevicesTest : public SimTest {};

// ---- Paths and handles ----------------------------------------------------------------------

struct PathCase {
  const char* path;
  bool opens;
};

std::ostream& operator<<(std::ostream& out, const PathCase& c) { return out << c.path; }

class SimDevicePathTest : public SimDevicesTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(SimDevicePathTest, OpensOnlyWhatWindowsWould) {
  const PathCase& c = GetParam();
  {
    Device device = platform::OpenDevice(c.path, Access::ReadWrite);
    EXPECT_EQ(device.valid(), c.opens) << c.path;
    EXPECT_EQ(sim::OpenHandles(), c.opens ? 1 : 0);
    ASSERT_FALSE(sim::Calls().empty());
    EXPECT_EQ(sim::Calls()[0].op, sim::Op::Open);
    EXPECT_EQ(sim::Calls()[0].path, c.path);
    EXPECT_EQ(sim::Calls()[0].ok, c.opens);
    EXPECT_EQ(sim::Calls()[0].bytes, static_cast<std::uint64_t>(Access::ReadWrite));
  }
  EXPECT_EQ(sim::OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SimDevicePathTest,
    ::testing::Values(PathCase{"\\\\.\\C:", true}, PathCase{"\\\\.\\c:", true},
                      PathCase{"\\\\.\\E:", true}, PathCase{"\\\\.\\physicaldrive0", true},
                      PathCase{"\\\\.\\PhysicalDrive1", true},
                      PathCase{"\\\\.\\PHYSICALDRIVE1", true},
                      PathCase{"\\\\.\\physicaldrive2", false},  // no such disk
                      PathCase{"\\\\.\\physicaldrive01", false},
                      PathCase{"\\\\.\\physicaldrive100", false},
                      PathCase{"\\\\.\\physicaldrive", false},
                      PathCase{"\\\\.\\physicaldrive-1", false},
                      PathCase{"\\\\.\\C:\\", false},  // the root directory, not the volume
                      PathCase{"\\\\.\\Q:", false},    // no volume
                      PathCase{"\\\\.\\Z:", false},    // a network drive has no raw device
                      PathCase{"C:", false}, PathCase{"\\\\?\\C:", false}, PathCase{"", false}));

TEST_F(SimDevicesTest, UnopenableDevicesAndMissingMediaRefuseEveryOpen) {
  sim::Machine machine = SmallMachine();
  machine.disks[1].openable = false;
  machine.volumes[0].openable = false;      // C:
  machine.volumes[2].hasMedium = false;     // E:
  Load(machine);
  EXPECT_FALSE(platform::OpenDevice("\\\\.\\physicaldrive1", Access::QueryOnly).valid());
  EXPECT_FALSE(platform::OpenDevice("\\\\.\\C:", Access::Read).valid());
  EXPECT_FALSE(platform::OpenDevice("\\\\.\\E:", Access::QueryOnly).valid());
  EXPECT_TRUE(platform::OpenDevice("\\\\.\\physicaldrive0", Access::QueryOnly).valid());
  EXPECT_TRUE(platform::OpenDevice("\\\\.\\D:", Access::Read).valid());
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(SimDevicesTest, CountsOpenHandlesAndLogsACloseOfAClosedHandleAsFailed) {
  Device first = platform::OpenDevice("\\\\.\\C:", Access::Read);
  Device second = platform::OpenDevice("\\\\.\\C:", Access::Read);
  Device third = platform::OpenDevice("\\\\.\\physicaldrive0", Access::ReadWrite);
  EXPECT_EQ(sim::OpenHandles(), 3);
  EXPECT_NE(first.get(), second.get());
  const platform::NativeHandle raw = second.release();
  platform::CloseNative(raw);
  EXPECT_EQ(sim::OpenHandles(), 2);
  platform::CloseNative(raw);  // twice: the bug a copyable handle wrapper has
  EXPECT_EQ(sim::OpenHandles(), 2);
  const std::vector<sim::Call> closes = CallsOf(sim::Op::Close);
  ASSERT_EQ(closes.size(), 2u);
  EXPECT_TRUE(closes[0].ok);
  EXPECT_EQ(closes[0].path, "\\\\.\\C:");
  EXPECT_FALSE(closes[1].ok);
  first.reset();
  third.reset();
  EXPECT_EQ(sim::OpenHandles(), 0);
}

// ---- Positions and transfers ----------------------------------------------------------------

TEST_F(SimDevicesTest, EachHandleKeepsItsOwnPosition) {
  Device a = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
  Device b = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
  std::uint64_t where = 0;
  ASSERT_TRUE(platform::SetPosition(a, 4096, Origin::Begin, &where));
  EXPECT_EQ(where, 4096u);
  const std::vector<std::uint8_t> ones = Bytes(512, 0x11);
  EXPECT_EQ(platform::WriteDevice(a, ones.data(), 512), 512u);
  EXPECT_EQ(platform::WriteDevice(b, ones.data(), 512), 512u);
  ASSERT_TRUE(platform::SetPosition(a, 0, Origin::Current, &where));
  EXPECT_EQ(where, 4608u);
  ASSERT_TRUE(platform::SetPosition(b, 0, Origin::Current, &where));
  EXPECT_EQ(where, 512u);
  ASSERT_TRUE(platform::SetPosition(a, -1024, Origin::Current, &where));
  EXPECT_EQ(where, 3584u);
}

TEST_F(SimDevicesTest, AMoveBeforeByteZeroFailsAndKeepsThePosition) {
  Device device = platform::OpenDevice("\\\\.\\physicaldrive0", Access::ReadWrite);
  ASSERT_TRUE(platform::SetPosition(device, 1000, Origin::Begin));
  std::uint64_t where = 77;
  EXPECT_FALSE(platform::SetPosition(device, -1, Origin::Begin, &where));
  EXPECT_FALSE(platform::SetPosition(device, -1001, Origin::Current, &where));
  EXPECT_FALSE(platform::SetPosition(device, INT64_MIN, Origin::Current, &where));
  EXPECT_EQ(where, 77u);
  ASSERT_TRUE(platform::SetPosition(device, -1000, Origin::Current, &where));
  EXPECT_EQ(where, 0u);
  // Past the end is a legal position, as on Windows; transfers there move nothing.
  ASSERT_TRUE(platform::SetPosition(device, 64 * kMiB, Origin::Begin, &where));
  std::uint8_t byte = 0;
  EXPECT_EQ(platform::ReadDevice(device, &byte, 1), 0u);
  const std::vector<sim::Call> seeks = CallsOf(sim::Op::Seek);
  ASSERT_EQ(seeks.size(), 6u);
  EXPECT_EQ(seeks[0].offset, 1000u);
  EXPECT_FALSE(seeks[1].ok);
  EXPECT_EQ(seeks[5].offset, 64 * kMiB);
}

TEST_F(SimDevicesTest, AVolumeIsARegionOfItsDisk) {
  Device volume = platform::OpenDevice("\\\\.\\D:", Access::ReadWrite);
  ASSERT_TRUE(platform::SetPosition(volume, 3000, Origin::Begin));
  const std::vector<std::uint8_t> pattern = {1, 2, 3, 4, 5};
  ASSERT_EQ(platform::WriteDevice(volume, pattern.data(), 5), 5u);
  EXPECT_EQ(sim::ReadDisk(0, 9 * kMiB + 3000, 5), pattern);
  EXPECT_EQ(sim::ReadVolume('d', 3000, 5), pattern);

  // A disk wipe overwrites what lies on it.
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive0", Access::ReadWrite);
  ASSERT_TRUE(platform::SetPosition(disk, 9 * kMiB + 3002, Origin::Begin));
  const std::uint8_t nine = 9;
  ASSERT_EQ(platform::WriteDevice(disk, &nine, 1), 1u);
  std::uint8_t back[5] = {};
  ASSERT_TRUE(platform::SetPosition(volume, 3000, Origin::Begin));
  ASSERT_EQ(platform::ReadDevice(volume, back, 5), 5u);
  EXPECT_EQ(std::vector<std::uint8_t>(back, back + 5), (std::vector<std::uint8_t>{1, 2, 9, 4, 5}));
  // Volume C: ends where D: begins: nothing of D: leaked into it.
  EXPECT_EQ(sim::ReadVolume('C', 8 * kMiB - 4, 4), Bytes(4, 0));
}

TEST_F(SimDevicesTest, TransfersPastTheEndAreClippedAndAdvanceByWhatMoved) {
  Device volume = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
  const std::vector<std::uint8_t> block = Bytes(kMiB, 0xA5);
  ASSERT_TRUE(platform::SetPosition(volume, 8 * kMiB - 1000, Origin::Begin));
  EXPECT_EQ(platform::WriteDevice(volume, block.data(), kMiB), 1000u);
  std::uint64_t where = 0;
  ASSERT_TRUE(platform::SetPosition(volume, 0, Origin::Current, &where));
  EXPECT_EQ(where, 8 * kMiB);
  EXPECT_EQ(platform::WriteDevice(volume, block.data(), 512), 0u);
  // The bytes beyond C: belong to D: and stay untouched.
  EXPECT_EQ(sim::ReadVolume('D', 0, 512)[0], 0xEB);  // D:'s boot sector
  EXPECT_EQ(sim::ReadVolume('C', 8 * kMiB - 1000, 1000), Bytes(1000, 0xA5));

  std::vector<std::uint8_t> in(4096);
  ASSERT_TRUE(platform::SetPosition(volume, 8 * kMiB - 100, Origin::Begin));
  EXPECT_EQ(platform::ReadDevice(volume, in.data(), 4096), 100u);
  const std::vector<sim::Call> writes = CallsOf(sim::Op::Write);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].offset, 8 * kMiB - 1000);
  EXPECT_EQ(writes[0].bytes, kMiB);
  EXPECT_EQ(writes[0].transferred, 1000u);
  EXPECT_FALSE(writes[0].ok);
  const std::vector<sim::Call> reads = CallsOf(sim::Op::Read);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].transferred, 100u);
}

TEST_F(SimDevicesTest, TheAccessModeLimitsTransfers) {
  const std::vector<std::uint8_t> data = Bytes(512, 0x5A);
  std::vector<std::uint8_t> in(512);
  Device query = platform::OpenDevice("\\\\.\\physicaldrive0", Access::QueryOnly);
  EXPECT_EQ(platform::ReadDevice(query, in.data(), 512), 0u);
  EXPECT_EQ(platform::WriteDevice(query, data.data(), 512), 0u);
  Device reader = platform::OpenDevice("\\\\.\\physicaldrive0", Access::Read);
  EXPECT_EQ(platform::ReadDevice(reader, in.data(), 512), 512u);
  EXPECT_EQ(platform::WriteDevice(reader, data.data(), 512), 0u);
  EXPECT_EQ(sim::ReadDisk(0, 512, 512), Bytes(512, 0));
  Device writer = platform::OpenDevice("\\\\.\\physicaldrive0", Access::ReadWrite);
  ASSERT_TRUE(platform::SetPosition(writer, 512, Origin::Begin));
  EXPECT_EQ(platform::WriteDevice(writer, data.data(), 512), 512u);
  EXPECT_EQ(sim::ReadDisk(0, 512, 512), data);
}

TEST_F(SimDevicesTest, MemoryDisksOfTerabytesCostOnlyWhatIsWritten) {
  sim::Machine machine;
  machine.disks = {MemoryDisk(3, 2000398934016ULL)};
  machine.volumes = {VolumeOn('F', 3, kMiB, 2000398934016ULL - kMiB, "NTFS", "Big")};
  Load(machine);
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive3", Access::ReadWrite);
  const std::uint64_t far = 2000398934016ULL - 700;  // beyond 4 GiB, near the end
  ASSERT_TRUE(platform::SetPosition(disk, static_cast<std::int64_t>(far), Origin::Begin));
  const std::vector<std::uint8_t> block = Bytes(kMiB, 0x3C);
  EXPECT_EQ(platform::WriteDevice(disk, block.data(), kMiB), 700u);
  EXPECT_EQ(sim::ReadVolume('F', far - kMiB, 700), Bytes(700, 0x3C));
  EXPECT_EQ(sim::ReadDisk(3, 5ULL << 32, 16), Bytes(16, 0));
  std::uint64_t length = 0;
  ASSERT_TRUE(platform::QueryLengthInfo(disk, &length));
  EXPECT_EQ(length, 2000398934016ULL);
}

// ---- Controls -------------------------------------------------------------------------------

struct LockCase {
  sim::LockBehaviour behaviour;
  bool locks;
  bool dismounts;
  bool unlocks;
};

std::ostream& operator<<(std::ostream& out, const LockCase& c) {
  return out << "behaviour " << static_cast<int>(c.behaviour);
}

class SimLockTest : public SimDevicesTest, public ::testing::WithParamInterface<LockCase> {};

TEST_P(SimLockTest, AnswersAsTheVolumeBehaves) {
  sim::Machine machine = SmallMachine();
  machine.volumes[1].lock = GetParam().behaviour;  // D:
  Load(machine);
  Device device = platform::OpenDevice("\\\\.\\D:", Access::ReadWrite);
  EXPECT_EQ(platform::ControlLockVolume(device), GetParam().locks);
  EXPECT_EQ(platform::ControlDismountVolume(device), GetParam().dismounts);
  EXPECT_EQ(platform::ControlUnlockVolume(device), GetParam().unlocks);
  const std::vector<sim::Call>& calls = sim::Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1].op, sim::Op::Lock);
  EXPECT_EQ(calls[1].ok, GetParam().locks);
  EXPECT_EQ(calls[2].op, sim::Op::Dismount);
  EXPECT_EQ(calls[3].op, sim::Op::Unlock);
  EXPECT_EQ(calls[3].path, "\\\\.\\D:");
}

INSTANTIATE_TEST_SUITE_P(Behaviours, SimLockTest,
                         ::testing::Values(LockCase{sim::LockBehaviour::Locks, true, true, true},
                                           LockCase{sim::LockBehaviour::DismountsOnly, false, true,
                                                    false},
                                           LockCase{sim::LockBehaviour::Refuses, false, false,
                                                    false}));

TEST_F(SimDevicesTest, ALockedVolumeCanBeReachedOnlyThroughTheHandleThatLockedIt) {
  Device locker = platform::OpenDevice("\\\\.\\D:", Access::ReadWrite);
  ASSERT_TRUE(platform::ControlLockVolume(locker));
  EXPECT_FALSE(platform::OpenDevice("\\\\.\\D:", Access::Read).valid());
  EXPECT_TRUE(platform::OpenDevice("\\\\.\\physicaldrive0", Access::ReadWrite).valid());
  const std::uint8_t byte = 1;
  EXPECT_EQ(platform::WriteDevice(locker, &byte, 1), 1u);
  locker.reset();  // closing ends the lock
  EXPECT_TRUE(platform::OpenDevice("\\\\.\\D:", Access::Read).valid());
  EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(SimDevicesTest, UnlockNeedsTheLockAndUpdatePropertiesADisk) {
  Device volume = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive0", Access::ReadWrite);
  EXPECT_FALSE(platform::ControlUnlockVolume(volume));
  EXPECT_TRUE(platform::ControlUpdateDiskProperties(disk));
  EXPECT_FALSE(platform::ControlUpdateDiskProperties(volume));
}

TEST_F(SimDevicesTest, ExtentsNameTheDiskOffsetAndLength) {
  Device device = platform::OpenDevice("\\\\.\\D:", Access::Read);
  std::uint32_t count = 0;
  platform::DiskExtent extent;
  ASSERT_TRUE(platform::QueryVolumeDiskExtents(device, &count, &extent));
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(extent.diskNumber, 0u);
  EXPECT_EQ(extent.startingOffset, static_cast<std::int64_t>(9 * kMiB));
  EXPECT_EQ(extent.extentLength, static_cast<std::int64_t>(7 * kMiB));
  Device stick = platform::OpenDevice("\\\\.\\e:", Access::Read);
  ASSERT_TRUE(platform::QueryVolumeDiskExtents(stick, &count, &extent));
  EXPECT_EQ(extent.diskNumber, 1u);
}

struct ExtentFailure {
  const char* name;
  bool extentsFail;
  int secondDisk;
};

std::ostream& operator<<(std::ostream& out, const ExtentFailure& c) { return out << c.name; }

class SimExtentFailureTest : public SimDevicesTest,
                             public ::testing::WithParamInterface<ExtentFailure> {};

TEST_P(SimExtentFailureTest, FailsTheControl) {
  sim::Machine machine = SmallMachine();
  machine.volumes[0].extentsFail = GetParam().extentsFail;
  machine.volumes[0].secondDisk = GetParam().secondDisk;
  Load(machine);
  Device device = platform::OpenDevice("\\\\.\\C:", Access::Read);
  std::uint32_t count = 7;
  EXPECT_FALSE(platform::QueryVolumeDiskExtents(device, &count, nullptr));
  EXPECT_EQ(count, 7u);
  EXPECT_FALSE(sim::Calls().back().ok);
  EXPECT_EQ(sim::Calls().back().op, sim::Op::Extents);
}

INSTANTIATE_TEST_SUITE_P(Causes, SimExtentFailureTest,
                         ::testing::Values(ExtentFailure{"flag", true, -1},
                                           ExtentFailure{"second disk", false, 1}));

TEST_F(SimDevicesTest, APhysicalDiskHasNoVolumeExtents) {
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive0", Access::Read);
  std::uint32_t count = 0;
  platform::DiskExtent extent;
  EXPECT_FALSE(platform::QueryVolumeDiskExtents(disk, &count, &extent));
}

TEST_F(SimDevicesTest, GeometryComesFromTheDiskSize) {
  sim::Machine machine = SmallMachine();
  machine.disks.push_back(MemoryDisk(7, 80026361856ULL));
  Load(machine);
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive7", Access::QueryOnly);
  platform::DiskGeometry geometry;
  ASSERT_TRUE(platform::QueryDriveGeometry(disk, &geometry));
  EXPECT_EQ(geometry.bytesPerSector, 512u);
  EXPECT_EQ(geometry.sectorsPerTrack, 63u);
  EXPECT_EQ(geometry.tracksPerCylinder, 255u);
  EXPECT_EQ(geometry.cylinders, 9729);  // 80026361856 / 8225280
  EXPECT_EQ(geometry.mediaType, 12u);   // fixed
  std::uint64_t size = 0;
  platform::DiskGeometry again;
  ASSERT_TRUE(platform::QueryDriveGeometryEx(disk, &again, &size));
  EXPECT_EQ(size, 80026361856ULL);
  EXPECT_EQ(again.cylinders, 9729);

  Device stick = platform::OpenDevice("\\\\.\\physicaldrive1", Access::QueryOnly);
  ASSERT_TRUE(platform::QueryDriveGeometry(stick, &geometry));
  EXPECT_EQ(geometry.mediaType, 11u);  // removable: E: on it is a removable drive
  EXPECT_EQ(geometry.cylinders, 1);    // 8 MiB / 8225280
}

TEST_F(SimDevicesTest, GeometryQueriesFailByTheirFlags) {
  sim::Machine machine = SmallMachine();
  machine.disks[0].geometryFails = true;
  machine.disks[1].geometryExFails = true;
  Load(machine);
  platform::DiskGeometry geometry;
  std::uint64_t size = 0;
  Device first = platform::OpenDevice("\\\\.\\physicaldrive0", Access::QueryOnly);
  EXPECT_FALSE(platform::QueryDriveGeometry(first, &geometry));
  EXPECT_TRUE(platform::QueryDriveGeometryEx(first, &geometry, &size));
  EXPECT_EQ(size, 16 * kMiB);
  Device second = platform::OpenDevice("\\\\.\\physicaldrive1", Access::QueryOnly);
  EXPECT_TRUE(platform::QueryDriveGeometry(second, &geometry));
  EXPECT_FALSE(platform::QueryDriveGeometryEx(second, &geometry, &size));
  EXPECT_EQ(size, 16 * kMiB);
}

TEST_F(SimDevicesTest, LengthInfoGivesTheVolumeLengthOrTheDiskSize) {
  std::uint64_t length = 0;
  Device volume = platform::OpenDevice("\\\\.\\C:", Access::QueryOnly);
  ASSERT_TRUE(platform::QueryLengthInfo(volume, &length));
  EXPECT_EQ(length, 8 * kMiB);
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive1", Access::QueryOnly);
  ASSERT_TRUE(platform::QueryLengthInfo(disk, &length));
  EXPECT_EQ(length, 8 * kMiB);
}

TEST_F(SimDevicesTest, ControlsOnAClosedHandleFail) {
  Device device = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
  const platform::NativeHandle raw = device.get();
  device.reset();
  Device stale(raw);
  EXPECT_FALSE(platform::ControlLockVolume(stale));
  std::uint64_t length = 0;
  EXPECT_FALSE(platform::QueryLengthInfo(stale, &length));
  EXPECT_EQ(platform::ReadDevice(stale, &length, 8), 0u);
  EXPECT_FALSE(platform::SetPosition(stale, 0, Origin::Begin));
  stale.release();
}

// ---- Faults ---------------------------------------------------------------------------------

TEST_F(SimDevicesTest, TheHookSeesTheCallAlreadyLoggedAndCanFailIt) {
  std::size_t loggedWhenAsked = 0;
  int writes = 0;
  sim::SetFaultHook([&](const sim::Call& call) {
    loggedWhenAsked = sim::Calls().size();
    return call.op == sim::Op::Write && ++writes == 2;
  });
  Device device = platform::OpenDevice("\\\\.\\E:", Access::ReadWrite);
  EXPECT_EQ(loggedWhenAsked, 1u);
  const std::vector<std::uint8_t> data = Bytes(4096, 0xEE);
  EXPECT_EQ(platform::WriteDevice(device, data.data(), 4096), 4096u);
  EXPECT_EQ(platform::WriteDevice(device, data.data(), 4096), 0u);
  EXPECT_EQ(platform::WriteDevice(device, data.data(), 4096), 4096u);
  // The failed write moved nothing, so the third continues where the first ended.
  EXPECT_EQ(sim::ReadVolume('E', 4096, 8), Bytes(8, 0xEE));
  EXPECT_EQ(sim::ReadVolume('E', 8192, 8), Bytes(8, 0));
  const std::vector<sim::Call> logged = CallsOf(sim::Op::Write);
  ASSERT_EQ(logged.size(), 3u);
  EXPECT_FALSE(logged[1].ok);
  EXPECT_EQ(logged[1].offset, 4096u);
  EXPECT_EQ(logged[1].transferred, 0u);
}

TEST_F(SimDevicesTest, TheHookFailsOpensSeeksAndControls) {
  sim::SetFaultHook([](const sim::Call& call) {
    return call.op == sim::Op::Open || call.op == sim::Op::Seek || call.op == sim::Op::Lock;
  });
  EXPECT_FALSE(platform::OpenDevice("\\\\.\\C:", Access::ReadWrite).valid());
  EXPECT_EQ(sim::OpenHandles(), 0);
  sim::SetFaultHook([](const sim::Call& call) {
    return call.op == sim::Op::Seek || call.op == sim::Op::Lock;
  });
  Device device = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  EXPECT_FALSE(platform::SetPosition(device, 512, Origin::Begin));
  EXPECT_FALSE(platform::ControlLockVolume(device));
  EXPECT_TRUE(platform::ControlDismountVolume(device));
  sim::ClearFaults();
  EXPECT_TRUE(platform::ControlLockVolume(device));
}

TEST_F(SimDevicesTest, FailWritesShortensWritesStartingInTheBlocks) {
  sim::FailWrites("\\\\.\\c:", 2, 2, 4096);
  Device device = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
  const std::vector<std::uint8_t> block = Bytes(kMiB, 0x77);
  std::vector<std::uint32_t> written;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(platform::SetPosition(device, static_cast<std::int64_t>(i * kMiB), Origin::Begin));
    written.push_back(platform::WriteDevice(device, block.data(), kMiB));
  }
  EXPECT_EQ(written, (std::vector<std::uint32_t>{kMiB, kMiB, 4096, 4096, kMiB}));
  EXPECT_EQ(sim::ReadVolume('C', 2 * kMiB + 4096, 1), Bytes(1, 0));
  // The rule names C:; the same bytes reached through the disk are written in full.
  Device disk = platform::OpenDevice("\\\\.\\physicaldrive0", Access::ReadWrite);
  ASSERT_TRUE(platform::SetPosition(disk, static_cast<std::int64_t>(3 * kMiB), Origin::Begin));
  EXPECT_EQ(platform::WriteDevice(disk, block.data(), kMiB), kMiB);
  sim::ClearFaults();
  ASSERT_TRUE(platform::SetPosition(device, static_cast<std::int64_t>(2 * kMiB), Origin::Begin));
  EXPECT_EQ(platform::WriteDevice(device, block.data(), kMiB), kMiB);
}

TEST_F(SimDevicesTest, ALyingDiskReportsWritesToItsBlocksDoneAndKeepsNothingOrOtherBytes) {
  struct Case {
    bool other;
    std::uint32_t healsAfter;
    std::vector<std::uint8_t> afterFirst;  // block 3 of disk 0 (C:'s block 2) after each write
    std::vector<std::uint8_t> afterSecond;
  };
  const Case cases[] = {
      {false, 0, Bytes(2, 0x00), Bytes(2, 0x00)},
      {true, 0, Bytes(2, 0x88), Bytes(2, 0x88)},
      {false, 1, Bytes(2, 0x00), Bytes(2, 0x77)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.other) + " " + std::to_string(c.healsAfter));
    sim::Machine machine = SmallMachine();
    machine.disks[0].lieFirst = 3;
    machine.disks[0].lieCount = 1;
    machine.disks[0].lieStoresOther = c.other;
    machine.disks[0].lieHealsAfter = c.healsAfter;
    Load(machine);
    Device device = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
    // Three blocks from C:'s block 1: only the middle one lies, the others are kept.
    const std::vector<std::uint8_t> blocks = Bytes(3 * kMiB, 0x77);
    for (const std::vector<std::uint8_t>* expected : {&c.afterFirst, &c.afterSecond}) {
      ASSERT_TRUE(platform::SetPosition(device, static_cast<std::int64_t>(kMiB), Origin::Begin));
      EXPECT_EQ(platform::WriteDevice(device, blocks.data(), 3 * kMiB), 3 * kMiB);
      EXPECT_TRUE(CallsOf(sim::Op::Write).back().ok);
      EXPECT_EQ(sim::ReadDisk(0, 3 * kMiB, 1), Bytes(1, (*expected)[0]));
      EXPECT_EQ(sim::ReadDisk(0, 4 * kMiB - 1, 1), Bytes(1, (*expected)[1]));
      EXPECT_EQ(sim::ReadDisk(0, 3 * kMiB - 1, 1), Bytes(1, 0x77));
      EXPECT_EQ(sim::ReadDisk(0, 4 * kMiB, 1), Bytes(1, 0x77));
    }
  }
}

TEST_F(SimDevicesTest, LoadingAMachineForgetsTheHandlesOfTheLastOne) {
  Device device = platform::OpenDevice("\\\\.\\C:", Access::ReadWrite);
  ASSERT_TRUE(platform::ControlLockVolume(device));
  Load(SmallMachine());
  EXPECT_EQ(sim::OpenHandles(), 0);
  EXPECT_TRUE(platform::OpenDevice("\\\\.\\C:", Access::ReadWrite).valid());
  device.release();
}

}  // namespace
}  // namespace sim_test
