#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "devices/tables.h"
#include "ui/headless/headless.h"
#include "wipe/methods.h"

namespace fuzz {

namespace {

constexpr std::size_t kSignatureAt = 0;
constexpr std::size_t kSecondSignatureAt = 510;
constexpr std::size_t kCheckedFirst = 20;
constexpr std::size_t kCheckedLast = 84;
constexpr std::size_t kCheckCopyDistance = 65;
constexpr std::uint8_t kCheckCopyKey = 0x53;

std::uint32_t Little32(const std::vector<std::uint8_t>& unit, std::size_t at) {
  return static_cast<std::uint32_t>(unit[at]) | static_cast<std::uint32_t>(unit[at + 1]) << 8 |
         static_cast<std::uint32_t>(unit[at + 2]) << 16 |
         static_cast<std::uint32_t>(unit[at + 3]) << 24;
}

bool HasSignature(const std::vector<std::uint8_t>& unit, std::size_t at) {
  return unit[at] == 'D' && unit[at + 1] == 'M';
}

template <std::size_t N>
void CheckTerminated(const char (&field)[N], const char* what, int row) {
  FUZZ_CHECK(std::memchr(field, '\0', N) != nullptr,
             std::string(what) + " of row " + std::to_string(row) + " has no terminator");
}

}  // namespace

const std::string& HostFolder() {
  // Never destroyed: the removal at exit still needs the name.
  static const std::string* const folder = [] {
    char memory[] = "/dev/shm/dunmere-fuzz-XXXXXX";
    char disk[] = "/tmp/dunmere-fuzz-XXXXXX";
    const char* made = mkdtemp(memory);
    if (made == nullptr) made = mkdtemp(disk);
    if (made == nullptr) Fail("cannot make a host folder");
    const std::string* name = new std::string(made);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(HostFolder(), ignored);
    });
    return name;
  }();
  return *folder;
}

const char* VolumeRootPath() { return "E:\\"; }
const char* VolumeDevicePathText() { return "\\\\.\\E:"; }
std::string BareDiskDevicePath() { return "\\\\.\\physicaldrive" + std::to_string(kBareDisk); }

void LoadSmallMachine(const std::string& hostFolder) {
  sim::Machine machine;
  machine.windowsDirectory = "C:\\WINDOWS";
  if (!hostFolder.empty()) machine.hostFolder = hostFolder;
  const auto disk = [](int number, std::uint64_t size) {
    sim::Disk made;  // in memory, openable, answering its geometry in 512-byte sectors
    made.number = number;
    made.size = size;
    return made;
  };
  machine.disks = {disk(0, 4 * 1048576), disk(kVolumeDisk, kGuardBytes + kTargetBytes + kGuardBytes),
                   disk(kBareDisk, kTargetBytes)};
  sim::Volume system;
  system.letter = 'C';
  system.disk = 0;
  system.offset = 0;
  system.length = 4 * 1048576;
  system.fileSystem = "NTFS";
  system.label = "System";
  sim::Volume target;
  target.letter = kVolumeLetter;
  target.disk = kVolumeDisk;
  target.offset = kGuardBytes;
  target.length = kTargetBytes;
  machine.volumes = {system, target};
  std::string error;
  if (!sim::Load(machine, &error)) Fail("the small machine does not load: " + error);
  const std::vector<std::uint8_t> guard(kGuardBytes, kGuardByte);
  if (!sim::WriteDisk(kVolumeDisk, 0, guard) ||
      !sim::WriteDisk(kVolumeDisk, kGuardBytes + kTargetBytes, guard)) {
    Fail("the guard zones cannot be written");
  }
}

bool GuardsIntact() {
  for (std::uint64_t at : {std::uint64_t{0}, kGuardBytes + kTargetBytes}) {
    static const std::vector<std::uint8_t> guard(kGuardBytes, kGuardByte);
    if (sim::ReadDisk(kVolumeDisk, at, kGuardBytes) != guard) return false;
  }
  return true;
}

void ResetSession() {
  headless::Reset();
  headless::SetPumpHook(nullptr);
  sim::ClearFaults();
  sim::ClearCalls();
  sim::SetClock(10, 0, 0);
  sim::SetClockStepPerQuery(0);
}

void Fail(const std::string& message) {
  std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

DecodedRecord DecodeRecord(const std::vector<std::uint8_t>& unit, std::uint64_t deviceBytes) {
  DecodedRecord record;
  if (unit.size() < kUnitBytes) return record;
  if (!HasSignature(unit, kSignatureAt) || !HasSignature(unit, kSecondSignatureAt)) return record;
  for (std::size_t k = kCheckedFirst; k <= kCheckedLast; ++k) {
    if (unit[k + kCheckCopyDistance] != (unit[k] ^ kCheckCopyKey)) return record;
  }
  record.sealed = true;
  record.startBlock = Little32(unit, 20);
  record.blockCount = Little32(unit, 24);
  record.tailBytes = Little32(unit, 28);
  record.passIndex = unit[32];
  record.methodId = unit[33];
  std::memcpy(record.capacityText, unit.data() + 34, sizeof record.capacityText);
  record.fillByte = unit[84];
  // A record that starts past its own end or at a pass its method does not have would make a
  // resumed run skip the wipe, and one from a larger device would make it report blocks past
  // this device's end as wiped. One whose range ends short of the device is resumed over the
  // device's whole length.
  const bool knownMethod = record.methodId < kMethodCount;
  const std::uint64_t tail = record.tailBytes < 1048576 ? record.tailBytes : 0;
  const std::uint64_t rangeBytes = std::uint64_t{record.blockCount} * 1048576 + tail;
  record.valid = record.startBlock <= record.blockCount &&
                 (!knownMethod || record.passIndex < WipeMethods[record.methodId].passCount) &&
                 rangeBytes <= deviceBytes;
  return record;
}

void SealRecord(std::vector<std::uint8_t>* unit) {
  std::vector<std::uint8_t>& u = *unit;
  u[0] = 'D';
  u[1] = 'M';
  u[510] = 'D';
  u[511] = 'M';
  for (std::size_t k = kCheckedFirst; k <= kCheckedLast; ++k) {
    u[k + kCheckCopyDistance] = static_cast<std::uint8_t>(u[k] ^ kCheckCopyKey);
  }
}

std::vector<std::uint8_t> UnitFrom(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> unit(kUnitBytes, 0);
  if (size > kUnitBytes) size = kUnitBytes;
  if (size > 0) std::memcpy(unit.data(), data, size);
  return unit;
}

void CheckTablesTerminated() {
  FUZZ_CHECK(DriveCount >= 0 && DriveCount <= kDriveTableSize, "drive count out of range");
  FUZZ_CHECK(DiskCount >= 0 && DiskCount <= kDiskTableSize, "disk count out of range");
  for (int i = 0; i < DriveCount; ++i) {
    const DriveRecord& r = DriveTable[i];
    CheckTerminated(r.RootPath, "RootPath", i);
    CheckTerminated(r.FileSystem, "FileSystem", i);
    CheckTerminated(r.CapacityText, "CapacityText", i);
    CheckTerminated(r.Label, "Label", i);
  }
  for (int i = 0; i < DiskCount; ++i) {
    const DiskRecord& r = DiskTable[i];
    CheckTerminated(r.Name, "Name", i);
    CheckTerminated(r.CapacityText, "CapacityText", i);
    CheckTerminated(r.LogicalDrives, "LogicalDrives", i);
  }
}

}  // namespace fuzz
