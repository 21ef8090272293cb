// Raw device access through "\\.\E:", a drive letter that Wine maps to an image file, and
// "\\.\L:", a loop device over an image (when the machine allows one).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "devices/disk_abilities.h"
#include "platform/platform.h"
#include "report/erasure_report.h"
#include "tests/wine/platform/loop_counters.h"
#include "tests/wine/platform/support.h"

namespace {

using platform::Access;
using platform::Device;
using platform::Origin;
using wine_tests::kImageDriveBytes;
using wine_tests::kLoopDriveBytes;

constexpr std::uint32_t kSector = 512;
constexpr std::uint64_t kGiB = 1ull << 30;

// True when the device's first bytes are the marker setup-drives wrote into its image: the
// letter then leads to the test's own image and nowhere else.
bool CarriesMarker(const std::string& path, char letter) {
  Device device = platform::OpenDevice(path, Access::Read);
  if (!device) return false;
  std::vector<std::uint8_t> sector(kSector);
  if (platform::ReadDevice(device, sector.data(), kSector) != kSector) return false;
  const std::string marker = wine_tests::DriveMarker(letter);
  return std::string(sector.begin(), sector.begin() + marker.size()) == marker;
}

// 512 bytes that differ for every position, so a sector that lands elsewhere is noticed.
std::vector<std::uint8_t> TaggedSector(std::uint64_t position) {
  std::vector<std::uint8_t> sector(kSector);
  for (std::uint32_t i = 0; i < kSector; ++i) {
    sector[i] = static_cast<std::uint8_t>((position >> (8 * (i % 8))) + i);
  }
  return sector;
}

class DriveTest : public testing::Test {
 protected:
  DriveTest(const char* path, char letter) : path_(path), letter_(letter) {}
  std::string ImageFile() const {
    return wine_tests::DrivesFolder() + "\\" + static_cast<char>(letter_ - 'A' + 'a') + ".img";
  }
  Device Open(Access access) const { return platform::OpenDevice(path_, access); }

  const std::string path_;
  const char letter_;
};

class ImageDrive : public DriveTest {
 protected:
  ImageDrive() : DriveTest("\\\\.\\E:", 'E') {}
  void SetUp() override {
    ASSERT_TRUE(CarriesMarker(path_, letter_)) << "E: is not the image made by setup-drives";
  }
};

class LoopDrive : public DriveTest {
 protected:
  LoopDrive() : DriveTest("\\\\.\\L:", 'L') {}
  void SetUp() override {
    if (!CarriesMarker(path_, letter_)) GTEST_SKIP() << "no loop device on this machine";
  }
};

TEST_F(ImageDrive, EachAccessModeAllowsWhatItNames) {
  struct Case {
    Access access;
    bool reads;
    bool writes;
  };
  const Case cases[] = {
      {Access::QueryOnly, false, false},
      {Access::Read, true, false},
      {Access::ReadWrite, true, true},
  };
  // Sector 0 is written back with what it holds, so the marker stays.
  const std::vector<std::uint8_t> first = wine_tests::ReadHostFile(ImageFile(), 0, kSector);
  ASSERT_EQ(first.size(), kSector);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.access));
    Device device = Open(c.access);
    ASSERT_TRUE(device.valid());
    std::vector<std::uint8_t> sector(kSector);
    EXPECT_EQ(platform::ReadDevice(device, sector.data(), kSector), c.reads ? kSector : 0u);
    if (c.reads) {
      EXPECT_EQ(sector, first);
    }
    ASSERT_TRUE(platform::SetPosition(device, 0, Origin::Begin));
    EXPECT_EQ(platform::WriteDevice(device, first.data(), kSector), c.writes ? kSector : 0u);
  }
}

TEST_F(ImageDrive, OpensBesideOtherHandlesOfTheVolume) {
  Device reader = Open(Access::Read);
  Device writer = Open(Access::ReadWrite);
  Device second = Open(Access::ReadWrite);
  EXPECT_TRUE(reader.valid());
  EXPECT_TRUE(writer.valid());
  EXPECT_TRUE(second.valid());
}

TEST(Devices, PathThatLeadsNowhereGivesAnEmptyDevice) {
  for (Access access : {Access::QueryOnly, Access::Read, Access::ReadWrite}) {
    Device device = platform::OpenDevice("\\\\.\\K:", access);
    EXPECT_FALSE(device.valid());
  }
}

// Positions whose low half has its top bit set, is zero, or leaves the first 4 GiB: a
// distance cut to 32 bits or a high part dropped writes these sectors somewhere else.
TEST_F(ImageDrive, WritesLandAtTheirSixtyFourBitPosition) {
  const std::uint64_t positions[] = {
      0x1000,                  // low half only
      0xFFFFF000,              // low half with its top bit set (negative as a LONG)
      4 * kGiB,                // low half 0
      4 * kGiB + 0x7FFFF000,   // high half 1
      5 * kGiB + 512,          // well past 4 GiB
      kImageDriveBytes - 512,  // the last sector
  };
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  for (std::uint64_t position : positions) {
    SCOPED_TRACE(position);
    std::uint64_t reached = 0;
    ASSERT_TRUE(platform::SetPosition(device, static_cast<std::int64_t>(position), Origin::Begin,
                                      &reached));
    EXPECT_EQ(reached, position);
    const std::vector<std::uint8_t> tag = TaggedSector(position);
    EXPECT_EQ(platform::WriteDevice(device, tag.data(), kSector), kSector);
  }
  device.reset();
  // Read back twice: as the plain image file, and through a fresh handle on the drive.
  Device reader = Open(Access::Read);
  ASSERT_TRUE(reader.valid());
  for (std::uint64_t position : positions) {
    SCOPED_TRACE(position);
    EXPECT_EQ(wine_tests::ReadHostFile(ImageFile(), position, kSector), TaggedSector(position));
    ASSERT_TRUE(platform::SetPosition(reader, static_cast<std::int64_t>(position), Origin::Begin));
    std::vector<std::uint8_t> sector(kSector);
    EXPECT_EQ(platform::ReadDevice(reader, sector.data(), kSector), kSector);
    EXPECT_EQ(sector, TaggedSector(position));
  }
}

// A low half of 0xFFFFFFFF is also SetFilePointer's failure value; an error left over from an
// earlier call must not turn such a position into a failure.
TEST_F(ImageDrive, LowHalfOfAllOnesIsAPositionNotAFailure) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  for (std::uint64_t position : {0xFFFFFFFFull, 0x1FFFFFFFFull}) {
    SCOPED_TRACE(position);
    SetLastError(ERROR_ACCESS_DENIED);
    std::uint64_t reached = 0;
    EXPECT_TRUE(platform::SetPosition(device, static_cast<std::int64_t>(position), Origin::Begin,
                                      &reached));
    EXPECT_EQ(reached, position);
  }
}

TEST_F(ImageDrive, MovesFromTheCurrentPositionInBothDirections) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  struct Step {
    std::int64_t distance;
    Origin origin;
    std::uint64_t expected;
  };
  const Step steps[] = {
      {0xFFFFF000, Origin::Begin, 0xFFFFF000},
      {0x2000, Origin::Current, 4 * kGiB + 0x1000},
      {static_cast<std::int64_t>(kGiB), Origin::Current, 5 * kGiB + 0x1000},
      {-static_cast<std::int64_t>(4 * kGiB), Origin::Current, kGiB + 0x1000},
      {0, Origin::Current, kGiB + 0x1000},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.distance);
    std::uint64_t reached = 0;
    ASSERT_TRUE(platform::SetPosition(device, step.distance, step.origin, &reached));
    EXPECT_EQ(reached, step.expected);
  }
  // A write after the moves lands where the last one said.
  const std::vector<std::uint8_t> tag = TaggedSector(kGiB + 0x1000);
  ASSERT_EQ(platform::WriteDevice(device, tag.data(), kSector), kSector);
  device.reset();
  EXPECT_EQ(wine_tests::ReadHostFile(ImageFile(), kGiB + 0x1000, kSector), tag);
}

TEST_F(ImageDrive, MoveBeforeTheStartFails) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  EXPECT_FALSE(platform::SetPosition(device, -512, Origin::Begin));
  ASSERT_TRUE(platform::SetPosition(device, 4096, Origin::Begin));
  EXPECT_FALSE(platform::SetPosition(device, -8192, Origin::Current));
}

TEST_F(ImageDrive, TransfersAnswerWithTheBytesMoved) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  std::vector<std::uint8_t> buffer(4096);
  // Reading across the end of the image gives only the last sector.
  ASSERT_TRUE(platform::SetPosition(device, kImageDriveBytes - kSector, Origin::Begin));
  EXPECT_EQ(platform::ReadDevice(device, buffer.data(), 4096), kSector);
  EXPECT_EQ(platform::ReadDevice(device, buffer.data(), 4096), 0u);
}

// Wine 8 knows no extended-DASD control: it answers ERROR_NOT_SUPPORTED, on an image and on a
// loop device alike, so every drive run under Wine goes on without it (Wine bounds neither by a
// file system, so nothing is lost). The flush is answered.
void ExpectFlushWithoutExtendedDasd(const Device& device) {
  std::vector<std::uint8_t> sector(kSector);
  ASSERT_EQ(platform::ReadDevice(device, sector.data(), kSector), kSector);
  ASSERT_TRUE(platform::SetPosition(device, 0, Origin::Begin));
  ASSERT_EQ(platform::WriteDevice(device, sector.data(), kSector), kSector);
  EXPECT_TRUE(platform::FlushDevice(device));
  SetLastError(NO_ERROR);
  EXPECT_FALSE(platform::ControlAllowExtendedDasd(device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  // The handle still writes after the refused control.
  ASSERT_TRUE(platform::SetPosition(device, 0, Origin::Begin));
  EXPECT_EQ(platform::WriteDevice(device, sector.data(), kSector), kSector);
  EXPECT_TRUE(platform::FlushDevice(device));
}

TEST_F(ImageDrive, FlushesButRefusesExtendedDasd) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  ExpectFlushWithoutExtendedDasd(device);
}

// FSCTL_LOCK_VOLUME is honoured on an image; the dismount and the disk controls are not (Wine
// knows no file system to dismount there and no disk driver behind it). Failed queries leave
// what the caller passed untouched.
TEST_F(ImageDrive, ControlsThatWineAnswersOnAnImage) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  EXPECT_TRUE(platform::ControlLockVolume(device));
  EXPECT_TRUE(platform::ControlUnlockVolume(device));
  EXPECT_FALSE(platform::ControlDismountVolume(device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(platform::ControlUpdateDiskProperties(device));

  std::uint32_t extentCount = 7;
  platform::DiskExtent extent;
  extent.diskNumber = 9;
  EXPECT_FALSE(platform::QueryVolumeDiskExtents(device, &extentCount, &extent));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(extentCount, 7u);
  EXPECT_EQ(extent.diskNumber, 9u);

  platform::DiskGeometry geometry;
  geometry.bytesPerSector = 4096;
  std::uint64_t size = 42;
  EXPECT_FALSE(platform::QueryDriveGeometry(device, &geometry));
  EXPECT_FALSE(platform::QueryDriveGeometryEx(device, &geometry, &size));
  EXPECT_FALSE(platform::QueryLengthInfo(device, &size));
  EXPECT_EQ(geometry.bytesPerSector, 4096u);
  EXPECT_EQ(size, 42u);
}

// An image file has no storage descriptor to give: the identity stays unknown, nothing leaks
// in from the buffers the query used.
TEST_F(ImageDrive, IdentityOfAnImageIsUnknown) {
  Device device = Open(Access::QueryOnly);
  ASSERT_TRUE(device.valid());
  platform::DeviceIdentity identity;
  identity.serial = "left over";
  platform::QueryDeviceIdentity(device, &identity);
  for (const std::string* text : {&identity.vendor, &identity.product, &identity.revision, &identity.serial}) {
    for (char c : *text) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << *text;
  }
  EXPECT_NE(identity.serial, "left over");
  platform::DeviceIdentity empty;
  EXPECT_FALSE(platform::QueryDeviceIdentity(Device(), &empty));
  EXPECT_EQ(empty.solidState, platform::DeviceAnswer::Unknown);
}

// Wine knows none of the protocol-specific queries, ATA pass-through or the sanitize control:
// each is refused with the system's error code (never taken for an answer), and the sanitize
// writes nothing.
void ExpectProtocolControlsRefused(const Device& device, const std::string& path) {
  std::uint32_t error = 0;
  platform::NvmeController controller;
  EXPECT_FALSE(platform::QueryNvmeController(device, &controller, &error));
  EXPECT_NE(error, 0u);
  platform::SanitizeStatus status;
  error = 0;
  EXPECT_FALSE(platform::QuerySanitizeStatus(device, &status, &error));
  EXPECT_NE(error, 0u);
  platform::AtaIdentify identify;
  error = 0;
  EXPECT_FALSE(platform::QueryAtaIdentify(device, &identify, &error));
  EXPECT_NE(error, 0u);
  std::uint64_t last = 0;
  error = 0;
  EXPECT_FALSE(platform::QueryNativeMaxAddress(device, &last, &error));
  EXPECT_NE(error, 0u);

  std::vector<std::uint8_t> before(1 << 20);
  ASSERT_TRUE(platform::SetPosition(device, 0, Origin::Begin));
  ASSERT_EQ(platform::ReadDevice(device, before.data(), 1 << 20), 1u << 20);
  const platform::SanitizeCommand command = platform::StartSanitize(device, platform::SanitizeAction::CryptoErase);
  bool accepted = true;
  error = 0;
  for (int wait = 0; wait < 500 && !platform::SanitizeReturned(command, &accepted, &error); ++wait) Sleep(10);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_NOT_SUPPORTED)) << path;
  Device again = platform::OpenDevice(path, Access::Read);
  std::vector<std::uint8_t> after(1 << 20);
  ASSERT_EQ(platform::ReadDevice(again, after.data(), 1 << 20), 1u << 20);
  EXPECT_EQ(after, before);
}

TEST_F(ImageDrive, ProtocolControlsAreRefusedAndTheSanitizeWritesNothing) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  ExpectProtocolControlsRefused(device, path_);
}

TEST_F(LoopDrive, ProtocolControlsAreRefusedAndTheSanitizeWritesNothing) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  ExpectProtocolControlsRefused(device, path_);
}

// The hidden-area check of a disk that is not NVMe goes through IDENTIFY DEVICE and READ NATIVE
// MAX ADDRESS, both refused under Wine: the report says it could not be checked, and the
// device keeps every byte (the check only asks).
void ExpectHiddenAreasNotChecked(const std::string& path) {
  std::vector<std::uint8_t> before(1 << 20);
  {
    Device device = platform::OpenDevice(path, Access::Read);
    ASSERT_EQ(platform::ReadDevice(device, before.data(), 1 << 20), 1u << 20);
  }
  ReportTarget target;
  target.isDisk = true;
  target.diskNumber = 1;
  target.abilities = AskDiskAbilitiesAt(path, target.identity);
  EXPECT_EQ(target.abilities.hiddenArea, HiddenArea::NotChecked);
  EXPECT_FALSE(target.abilities.ata);
  EXPECT_EQ(HiddenAreasText(target), "could not be checked");
  EXPECT_TRUE(DiskNotices(target).empty());
  // The same device taken for NVMe: it has no host protected area, and no sanitize to offer.
  target.identity.bus = "NVMe";
  target.abilities = AskDiskAbilitiesAt(path, target.identity);
  EXPECT_EQ(HiddenAreasText(target), "none (NVMe)");
  EXPECT_FALSE(CanSanitize(target.abilities));

  Device again = platform::OpenDevice(path, Access::Read);
  std::vector<std::uint8_t> after(1 << 20);
  ASSERT_EQ(platform::ReadDevice(again, after.data(), 1 << 20), 1u << 20);
  EXPECT_EQ(after, before);
}

TEST_F(ImageDrive, HiddenAreasCannotBeCheckedAndNothingIsChanged) { ExpectHiddenAreasNotChecked(path_); }
TEST_F(LoopDrive, HiddenAreasCannotBeCheckedAndNothingIsChanged) { ExpectHiddenAreasNotChecked(path_); }

// An empty Device holds the value Windows also takes for "this process"; Wine lets the lock
// controls succeed on that, so the layer must not pass it on.
TEST(Devices, NothingIsSentThroughAnEmptyDevice) {
  Device none;
  std::uint64_t size = 0;
  std::uint32_t count = 0;
  platform::DiskGeometry geometry;
  EXPECT_FALSE(platform::ControlLockVolume(none));
  EXPECT_FALSE(platform::ControlDismountVolume(none));
  EXPECT_FALSE(platform::ControlUnlockVolume(none));
  EXPECT_FALSE(platform::ControlUpdateDiskProperties(none));
  EXPECT_FALSE(platform::ControlAllowExtendedDasd(none));
  EXPECT_FALSE(platform::FlushDevice(none));
  EXPECT_FALSE(platform::QueryVolumeDiskExtents(none, &count, nullptr));
  EXPECT_FALSE(platform::QueryDriveGeometry(none, &geometry));
  EXPECT_FALSE(platform::QueryDriveGeometryEx(none, &geometry, &size));
  EXPECT_FALSE(platform::QueryLengthInfo(none, &size));
  EXPECT_FALSE(platform::SetPosition(none, 0, Origin::Begin));
  std::vector<std::uint8_t> buffer(512);
  EXPECT_EQ(platform::ReadDevice(none, buffer.data(), 512), 0u);
  EXPECT_EQ(platform::WriteDevice(none, buffer.data(), 512), 0u);
}

// On a loop device Wine behaves like a disk at its end: a write that runs over the end stops
// there, and positions past the end are refused.
TEST_F(LoopDrive, WriteOverTheEndStopsAtTheEnd) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  std::vector<std::uint8_t> block(1 << 20, 0x5A);
  ASSERT_TRUE(platform::SetPosition(device, kLoopDriveBytes - kSector, Origin::Begin));
  EXPECT_EQ(platform::WriteDevice(device, block.data(), 4096), kSector);
  ASSERT_TRUE(platform::SetPosition(device, kLoopDriveBytes - (1 << 20) + 4096, Origin::Begin));
  EXPECT_EQ(platform::WriteDevice(device, block.data(), 1 << 20), (1u << 20) - 4096);
}

TEST_F(LoopDrive, PositionPastTheEndFails) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  SetLastError(NO_ERROR);
  EXPECT_FALSE(platform::SetPosition(device, kLoopDriveBytes + (1 << 20), Origin::Begin));
  EXPECT_FALSE(platform::SetPosition(device, 5 * kGiB, Origin::Begin));
}

TEST_F(LoopDrive, DismountsWhereAnImageCannot) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  EXPECT_TRUE(platform::ControlLockVolume(device));
  EXPECT_TRUE(platform::ControlDismountVolume(device));
  EXPECT_TRUE(platform::ControlUnlockVolume(device));
}

TEST_F(LoopDrive, FlushesButRefusesExtendedDasd) {
  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  ExpectFlushWithoutExtendedDasd(device);
}

// What a handle writes to a loop device sits in the page cache in front of it; the flush
// returns only once it has reached the device, whose count of written sectors says so.
TEST_F(LoopDrive, FlushPutsTheWritesOnTheDevice) {
  constexpr std::uint64_t kAt = 8 << 20;
  constexpr std::uint32_t kBytes = 4 << 20;
  const std::string loop = wine_tests::LoopDeviceOf('L');
  ASSERT_FALSE(loop.empty()) << "L: opens but setup-drives left no name for its loop device";
  ASSERT_EQ(wine_tests::LoopBackingFile(loop), wine_tests::HostPath(ImageFile()));
  std::vector<std::uint8_t> data(kBytes);
  for (std::uint32_t i = 0; i < kBytes; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);

  Device device = Open(Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  std::uint64_t before = 0;
  ASSERT_TRUE(wine_tests::SectorsWritten(loop, &before));
  ASSERT_TRUE(platform::SetPosition(device, kAt, Origin::Begin));
  ASSERT_EQ(platform::WriteDevice(device, data.data(), kBytes), kBytes);
  ASSERT_TRUE(platform::FlushDevice(device));
  std::uint64_t after = 0;
  ASSERT_TRUE(wine_tests::SectorsWritten(loop, &after));
  EXPECT_GE(after - before, kBytes / kSector);
  EXPECT_EQ(wine_tests::ReadHostFile(ImageFile(), kAt, kBytes), data);
}

}  // namespace
