// BreakpointInfo on a device: the bytes SaveBreakpoint writes, what FindBreakpoint accepts,
// the file-system name exchange, RemoveBreakpoint, and every failure's log line.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "tests/wipe_fixture.h"

namespace {

using namespace wipe_test;

const std::string kE = "\\\\.\\E:";
const std::string kDisk3 = "\\\\.\\physicaldrive3";
constexpr std::uint8_t kOldByte = 0xA7;
constexpr std::uint32_t kRecordBlocks = 1234;
constexpr std::uint64_t kRecordDeviceBytes = kRecordBlocks * kMiB + 4096;

class BreakpointTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // Exactly the range of the records below (1234 blocks and a tail of 4096 bytes): a record
    // is only found on a device of its own length. The stores only keep what is written.
    sim::Machine machine = MachineWithE(kRecordDeviceBytes);
    machine.disks.push_back(MakeDisk(3, kRecordDeviceBytes));
    Load(machine);
    SelectDrive("E:\\");
    ASSERT_TRUE(sim::WriteVolume('E', 0, std::vector<std::uint8_t>(2 * kRecordUnit, kOldByte)));
    ASSERT_TRUE(sim::WriteDisk(3, 0, std::vector<std::uint8_t>(2 * kRecordUnit, kOldByte)));
    SetField(capacity_, "4.00 MB");
    sim::ClearCalls();
  }

  static platform::Device Open(const std::string& path, std::uint64_t position = 0) {
    platform::Device device = platform::OpenDevice(path, platform::Access::ReadWrite);
    EXPECT_TRUE(device.valid()) << path;
    EXPECT_TRUE(platform::SetPosition(device, static_cast<std::int64_t>(position), platform::Origin::Begin));
    return device;
  }

  static std::uint64_t PositionOf(const platform::Device& device) {
    std::uint64_t position = 0;
    EXPECT_TRUE(platform::SetPosition(device, 0, platform::Origin::Current, &position));
    return position;
  }

  bool Save(const std::string& path, std::uint32_t startBlock, std::uint32_t blockCount = kRecordBlocks,
            std::uint8_t passIndex = 0, std::uint8_t methodId = 0, std::uint8_t fillByte = 0x5A) {
    platform::Device device = Open(path, 2 * kMiB);
    // As a run does: a volume's records carry its file-system name, a disk's none.
    char(*fileSystem)[50] = path == kE ? &SelectedDrive().FileSystem : nullptr;
    return SaveBreakpoint(device, startBlock, blockCount, 4096, passIndex, methodId, capacity_, fillByte,
                          fileSystem, context_);
  }

  static std::vector<std::uint8_t> Unit(const std::string& path) { return DeviceBytes(path, 0, kRecordUnit); }

  // Fails the n-th call of this kind from now (1 for the next one).
  static void FailNth(sim::Op op, int n) {
    auto seen = std::make_shared<int>(0);
    sim::SetFaultHook([op, n, seen](const sim::Call& call) { return call.op == op && ++*seen == n; });
  }

  char capacity_[50] = {};
  WindowRunContext context_;
};

TEST_F(BreakpointTest, SaveWritesTheFieldsAndKeepsEveryOtherByte) {
  std::memset(capacity_, 'x', sizeof capacity_);
  SetField(capacity_, "4.00 MB");  // "x" bytes stay after the terminator

  platform::Device device = Open(kE, 2 * kMiB);
  ASSERT_TRUE(SaveBreakpoint(device, 300, 1234, 4096, 2, 1, capacity_, 0x5A, nullptr, context_));
  EXPECT_EQ(PositionOf(device), 2 * kMiB) << "the run's next write must go to its block";

  const std::vector<std::uint8_t> unit = Unit(kE);
  const std::vector<std::uint8_t> expectedFields = {
      0x2C, 0x01, 0x00, 0x00,  // StartBlock 300
      0xD2, 0x04, 0x00, 0x00,  // BlockCount 1234
      0x00, 0x10, 0x00, 0x00,  // TailBytes 4096
      0x02, 0x01};             // PassIndex, MethodId
  EXPECT_EQ(std::vector<std::uint8_t>(unit.begin() + 20, unit.begin() + 34), expectedFields);
  EXPECT_EQ(0, std::memcmp(&unit[34], capacity_, 50)) << "the whole 50-byte field is copied";
  EXPECT_EQ(unit[84], 0x5A);
  for (int k = 20; k <= 84; ++k) EXPECT_EQ(unit[k + 65], unit[k] ^ 0x53) << "CheckCopy of byte " << k;
  EXPECT_EQ(std::string(unit.begin(), unit.begin() + 2), "DM");
  EXPECT_EQ(std::string(unit.begin() + 510, unit.begin() + 512), "DM");
  for (std::size_t i = 0; i < unit.size(); ++i) {
    const bool field = i < 2 || (i >= 20 && i < 150) || i == 510 || i == 511;
    if (!field) {
      ASSERT_EQ(unit[i], kOldByte) << "byte " << i << " is no field and must keep its content";
    }
  }
}

TEST_F(BreakpointTest, FindReadsBackWhatWasSavedWithoutWritingOrTouchingResumePoint) {
  struct Case {
    std::string path;
  };
  const Case cases[] = {{kE}, {kDisk3}};
  for (const Case& c : cases) {
    ASSERT_TRUE(Save(c.path, 300, 1234, 2, 1, 0x5A));
    sim::ClearCalls();
    BreakpointValues found;
    ASSERT_TRUE(FindBreakpoint(c.path, &found)) << c.path;
    EXPECT_EQ(found.StartBlock, 300u);
    EXPECT_EQ(found.BlockCount, 1234u);
    EXPECT_EQ(found.TailBytes, 4096u);
    EXPECT_EQ(found.PassIndex, 2);
    EXPECT_EQ(found.MethodId, 1);
    EXPECT_EQ(found.FillByte, 0x5A);
    EXPECT_EQ(FieldText(found.CapacityText), "4.00 MB");
    EXPECT_EQ(CallsOf(sim::Op::Open).at(0).path, c.path);
    EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
    EXPECT_EQ(ResumePoint.StartBlock, 0u) << "only the Resume command fills ResumePoint";
  }
}

TEST_F(BreakpointTest, OneChangedByteMakesTheRecordInvalid) {
  ASSERT_TRUE(Save(kE, 300));
  const std::vector<std::uint8_t> good = Unit(kE);
  struct Case {
    std::size_t offset;
    bool stillValid;
  };
  // Signatures and 20 to 84 are checked (through CheckCopy at 85 to 149); the file-system
  // bytes and everything else are not.
  const Case cases[] = {{0, false},  {1, false},  {510, false}, {511, false}, {20, false},
                        {23, false}, {33, false}, {60, false},  {84, false},  {85, false},
                        {149, false}, {2, true},  {150, true},  {200, true},  {220, true}};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> changed = good;
    changed[c.offset] ^= 0x01;
    ASSERT_TRUE(sim::WriteVolume('E', 0, changed));
    BreakpointValues found;
    found.StartBlock = 99;
    EXPECT_EQ(FindBreakpoint(kE, &found), c.stillValid) << "byte " << c.offset;
    if (!c.stillValid) {
      EXPECT_EQ(found.StartBlock, 0u) << "values are zero unless found";
    }
  }
}

// A record with agreeing check bytes that names a pass its method lacks, or a block past the
// end, is no breakpoint; one of an unknown method is still found.
TEST_F(BreakpointTest, RecordsThatDescribeNoWipeAreNotFound) {
  struct Case {
    std::uint8_t methodId;
    std::uint8_t passIndex;
    std::uint32_t startBlock;
    std::uint32_t blockCount;
    bool found;
  };
  const Case cases[] = {
      {0, 0, 5, kRecordBlocks, true},  {0, 1, 5, kRecordBlocks, false},
      {1, 2, 5, kRecordBlocks, true},  {1, 3, 5, kRecordBlocks, false},
      {2, 6, 5, kRecordBlocks, true},  {2, 7, 5, kRecordBlocks, false},
      {3, 3, 0, kRecordBlocks, false}, {4, 1, kRecordBlocks, kRecordBlocks, true},
      {4, 2, 0, kRecordBlocks, false}, {0, 0, kRecordBlocks + 1, kRecordBlocks, false},
      {7, 9, 5, kRecordBlocks, true},  {5, 0, 0, kRecordBlocks, true},
      {0, 0, 5, kRecordBlocks - 1, true},   // a range that ends short: grown by the resumed run
      {0, 0, 5, kRecordBlocks + 1, false},  // the range of a larger device
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Save(kE, c.startBlock, c.blockCount, c.passIndex, c.methodId));
    BreakpointValues found;
    EXPECT_EQ(FindBreakpoint(kE, &found), c.found)
        << "method " << int(c.methodId) << " pass " << int(c.passIndex) << " block " << c.startBlock << " of "
        << c.blockCount;
    EXPECT_EQ(found.MethodId, c.found ? c.methodId : 0);
  }
}

TEST_F(BreakpointTest, CapacityTextWithoutTerminatorIsCopiedWholeAndReadAs49Characters) {
  std::memset(capacity_, 'A', sizeof capacity_);
  ASSERT_TRUE(Save(kE, 3));
  BreakpointValues found;
  ASSERT_TRUE(FindBreakpoint(kE, &found));
  EXPECT_EQ(0, std::memcmp(found.CapacityText, capacity_, 50));
  EXPECT_EQ(FieldText(found.CapacityText), std::string(49, 'A'));
}

TEST_F(BreakpointTest, FileSystemNameTravelsWithTheRecordOfAVolume) {
  std::memset(SelectedDrive().FileSystem, 0, sizeof SelectedDrive().FileSystem);
  SetField(SelectedDrive().FileSystem, "FAT32");
  SelectedDrive().FileSystem[6] = 'q';  // the two bytes after the terminator go along
  SelectedDrive().FileSystem[7] = 'r';
  ASSERT_TRUE(Save(kE, 3));
  std::vector<std::uint8_t> unit = Unit(kE);
  const std::vector<std::uint8_t> name = {'F', 'A', 'T', '3', '2', 0, 'q', 'r'};
  EXPECT_EQ(std::vector<std::uint8_t>(unit.begin() + 200, unit.begin() + 208), name);
  std::uint8_t check = 0x35;
  for (std::uint8_t byte : name) check ^= byte;
  EXPECT_EQ(unit[220], check);

  // After a restart the wiped volume has no file system: the next save brings the name back.
  SetField(SelectedDrive().FileSystem, "");
  ASSERT_TRUE(Save(kE, 4));
  EXPECT_EQ(FieldText(SelectedDrive().FileSystem), "FAT32");

  // A check byte that does not match leaves the name empty and the bytes as they were.
  SetField(SelectedDrive().FileSystem, "");
  unit = Unit(kE);
  unit[220] ^= 0xFF;
  ASSERT_TRUE(sim::WriteVolume('E', 0, unit));
  ASSERT_TRUE(Save(kE, 5));
  EXPECT_EQ(FieldText(SelectedDrive().FileSystem), "");
  EXPECT_EQ(Unit(kE)[220], unit[220]);
}

TEST_F(BreakpointTest, NoNameExchangeWithoutAName) {
  SetField(SelectedDrive().FileSystem, "");
  std::vector<std::uint8_t> unit = Unit(kDisk3);
  const char name[8] = {'N', 'T', 'F', 'S', 0, 0, 0, 0};
  std::memcpy(&unit[200], name, 8);
  std::uint8_t check = 0x35;
  for (char byte : name) check ^= static_cast<std::uint8_t>(byte);
  unit[220] = check;
  ASSERT_TRUE(sim::WriteDisk(3, 0, unit));
  ASSERT_TRUE(sim::WriteVolume('E', 0, unit));

  ASSERT_TRUE(Save(kDisk3, 3));
  EXPECT_EQ(FieldText(SelectedDrive().FileSystem), "") << "a disk run never touches DriveTable";
  const std::vector<std::uint8_t> saved = Unit(kDisk3);
  EXPECT_EQ(std::vector<std::uint8_t>(saved.begin() + 200, saved.begin() + 221),
            std::vector<std::uint8_t>(unit.begin() + 200, unit.begin() + 221));

  // The record code reads no window state: whatever page or row is active, a save that is
  // given no name keeps the bytes as they were.
  headless::SetActivePage(ui::kPageWipeDrive);
  platform::Device volume = Open(kE, 2 * kMiB);
  ASSERT_TRUE(SaveBreakpoint(volume, 3, kRecordBlocks, 4096, 0, 0, capacity_, 0, nullptr, context_));
  EXPECT_EQ(Unit(kE)[220], check);
  EXPECT_EQ(FieldText(SelectedDrive().FileSystem), "");
}

TEST_F(BreakpointTest, SaveFailuresAreLoggedAndOnlyALostPositionStopsTheRun) {
  struct Case {
    const char* what;
    sim::Op op;
    int nth;  // seeks: 1 asks the position, 2 and 3 go to byte 0, 4 restores
    bool result;
    std::vector<std::string> lines;
    bool restored;
  };
  const std::vector<Case> cases = {
      {"position unknown", sim::Op::Seek, 1, true, {"Failed to save current progress."}, false},
      {"seek before the read", sim::Op::Seek, 2, true, {"Failed to save current progress."}, true},
      {"read", sim::Op::Read, 1, true, {"Failed to save current progress."}, true},
      {"seek before the write", sim::Op::Seek, 3, true, {"Failed to save current progress."}, true},
      {"write", sim::Op::Write, 1, true, {"Failed to save current progress."}, true},
      {"restore", sim::Op::Seek, 4, false, {"Fatal error! Unable to restore drive point!"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    headless::Reset();
    ASSERT_TRUE(sim::WriteVolume('E', 0, std::vector<std::uint8_t>(kRecordUnit, kOldByte)));
    platform::Device device = Open(kE, 2 * kMiB);
    sim::ClearCalls();
    FailNth(c.op, c.nth);
    EXPECT_EQ(SaveBreakpoint(device, 2, 4, 0, 0, 0, capacity_, 0, nullptr, context_), c.result);
    sim::ClearFaults();
    EXPECT_EQ(Log(), c.lines);
    EXPECT_EQ(Unit(kE)[0] == 'D', c.op == sim::Op::Seek && c.nth == 4) << "written only when just the restore failed";
    const std::vector<sim::Call> seeks = CallsOf(sim::Op::Seek);
    EXPECT_EQ(!seeks.empty() && seeks.back().offset == 2 * kMiB && seeks.back().ok, c.restored);
  }
}

TEST_F(BreakpointTest, FailedWriteAndFailedRestoreGiveBothLines) {
  platform::Device device = Open(kE, kMiB);
  sim::ClearCalls();
  sim::SetFaultHook([](const sim::Call& call) {
    return call.op == sim::Op::Write || (call.op == sim::Op::Seek && call.offset == kMiB && call.path == kE &&
                                         IndexOf(sim::Op::Write) >= 0);
  });
  EXPECT_FALSE(SaveBreakpoint(device, 1, 4, 0, 0, 0, capacity_, 0, nullptr, context_));
  EXPECT_EQ(Log(), (std::vector<std::string>{"Failed to save current progress.",
                                             "Fatal error! Unable to restore drive point!"}));
}

TEST_F(BreakpointTest, RemoveGivesTheFirstSectorTheSecondsContent) {
  ASSERT_TRUE(Save(kE, 3));
  std::vector<std::uint8_t> before = Unit(kE);
  for (std::size_t i = 512; i < before.size(); ++i) before[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(sim::WriteVolume('E', 0, before));

  platform::Device device = Open(kE);
  ASSERT_TRUE(RemoveBreakpoint(device, context_));
  const std::vector<std::uint8_t> after = Unit(kE);
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + 512, after.begin() + 512));
  EXPECT_TRUE(std::equal(after.begin() + 512, after.end(), before.begin() + 512));
  BreakpointValues found;
  EXPECT_FALSE(FindBreakpoint(kE, &found));
}

TEST_F(BreakpointTest, RemoveWithoutSignatureWritesNothing) {
  platform::Device device = Open(kE);
  sim::ClearCalls();
  EXPECT_TRUE(RemoveBreakpoint(device, context_));
  EXPECT_TRUE(CallsOf(sim::Op::Write).empty());
  EXPECT_TRUE(Log().empty());
}

TEST_F(BreakpointTest, RemoveFailuresAreLogged) {
  const std::pair<sim::Op, int> failures[] = {
      {sim::Op::Seek, 1}, {sim::Op::Read, 1}, {sim::Op::Seek, 2}, {sim::Op::Write, 1}};
  for (const auto& [op, nth] : failures) {
    headless::Reset();
    ASSERT_TRUE(Save(kE, 3));
    platform::Device device = Open(kE);
    FailNth(op, nth);
    EXPECT_FALSE(RemoveBreakpoint(device, context_));
    sim::ClearFaults();
    EXPECT_EQ(Log(), std::vector<std::string>{"Failed to remove breakpoint info."});
    BreakpointValues found;
    EXPECT_TRUE(FindBreakpoint(kE, &found)) << "the record is still there";
  }
}

TEST_F(BreakpointTest, FindOnAnUnopenableOrShortDeviceFindsNothing) {
  ASSERT_TRUE(Save(kE, 3));
  const sim::Op failing[] = {sim::Op::Open, sim::Op::Seek, sim::Op::Read};
  for (sim::Op op : failing) {
    FailNth(op, 1);
    BreakpointValues found;
    EXPECT_FALSE(FindBreakpoint(kE, &found));
    sim::ClearFaults();
  }
  EXPECT_TRUE(Log().empty());
}

}  // namespace
