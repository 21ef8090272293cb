#include "resume/breakpoint.h"

#include <cstring>

#include "wipe/methods.h"

namespace {

// Byte offsets of BreakpointInfo within the first 4096 bytes of the device.
constexpr std::size_t kSignature = 0;
constexpr std::size_t kSecondSignature = 510;
constexpr std::size_t kStartBlock = 20;
constexpr std::size_t kBlockCount = 24;
constexpr std::size_t kTailBytes = 28;
constexpr std::size_t kPassIndex = 32;
constexpr std::size_t kMethodId = 33;
constexpr std::size_t kCapacityText = 34;
constexpr std::size_t kFillByte = 84;
constexpr std::size_t kCheckedFirst = 20;  // CheckCopy covers 20 to 84 ...
constexpr std::size_t kCheckedLast = 84;
constexpr std::size_t kCheckCopy = 85;     // ... and lies at 85 to 149
constexpr std::uint8_t kCheckMask = 0x53;
constexpr std::size_t kFileSystemName = 200;
constexpr std::size_t kFileSystemNameBytes = 8;
constexpr std::size_t kFileSystemCheck = 220;
constexpr std::uint8_t kFileSystemMask = 0x35;
constexpr std::size_t kSectorBytes = 512;

using Unit = std::uint8_t[kRecordUnit];

void PutU32(Unit& unit, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) unit[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetU32(const Unit& unit, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | unit[offset + i];
  return value;
}

void PutSignature(Unit& unit, std::size_t offset) {
  unit[offset] = 'D';
  unit[offset + 1] = 'M';
}

bool HasSignatures(const Unit& unit) {
  return unit[kSignature] == 'D' && unit[kSignature + 1] == 'M' && unit[kSecondSignature] == 'D' &&
         unit[kSecondSignature + 1] == 'M';
}

bool CheckCopyMatches(const Unit& unit) {
  for (std::size_t k = kCheckedFirst; k <= kCheckedLast; ++k) {
    if (unit[k + (kCheckCopy - kCheckedFirst)] != (unit[k] ^ kCheckMask)) return false;
  }
  return true;
}

std::uint8_t FileSystemCheckOf(const Unit& unit) {
  std::uint8_t check = 0;
  for (std::size_t i = 0; i < kFileSystemNameBytes; ++i) check ^= unit[kFileSystemName + i];
  return static_cast<std::uint8_t>(check ^ kFileSystemMask);
}

bool SeekToStart(const platform::Device& device) {
  return platform::SetPosition(device, 0, platform::Origin::Begin);
}

// Success is the number of bytes moved, whatever the call said.
bool ReadUnit(const platform::Device& device, Unit& unit) {
  return SeekToStart(device) && platform::ReadDevice(device, unit, kRecordUnit) == kRecordUnit;
}

bool WriteUnit(const platform::Device& device, const Unit& unit) {
  return SeekToStart(device) && platform::WriteDevice(device, unit, kRecordUnit) == kRecordUnit;
}

struct RecordFields {
  std::uint32_t startBlock;
  std::uint32_t blockCount;
  std::uint32_t tailBytes;
  std::uint8_t passIndex;
  std::uint8_t methodId;
  const char (&capacityText)[50];
  std::uint8_t fillByte;
};

void PutFields(Unit& unit, const RecordFields& fields) {
  PutSignature(unit, kSignature);
  PutSignature(unit, kSecondSignature);
  PutU32(unit, kStartBlock, fields.startBlock);
  PutU32(unit, kBlockCount, fields.blockCount);
  PutU32(unit, kTailBytes, fields.tailBytes);
  unit[kPassIndex] = fields.passIndex;
  unit[kMethodId] = fields.methodId;
  // The whole field, terminator and whatever follows it.
  std::memcpy(unit + kCapacityText, fields.capacityText, sizeof fields.capacityText);
  unit[kFillByte] = fields.fillByte;
  for (std::size_t k = kCheckedFirst; k <= kCheckedLast; ++k) {
    unit[k + (kCheckCopy - kCheckedFirst)] = static_cast<std::uint8_t>(unit[k] ^ kCheckMask);
  }
}

// The record carries a volume's former file-system name across the wipe: a formatted volume
// stores its name, and a volume that has lost its file system gets it back, so that the format
// after the run can restore the same kind. A disk's records carry none (fileSystem nullptr).
// True when a name was stored.
bool PutFileSystemName(Unit& unit, const char (*fileSystem)[50]) {
  if (fileSystem == nullptr || (*fileSystem)[0] == '\0') return false;
  std::memcpy(unit + kFileSystemName, *fileSystem, kFileSystemNameBytes);
  unit[kFileSystemCheck] = FileSystemCheckOf(unit);
  return true;
}

void ExchangeFileSystemName(Unit& unit, char (*fileSystem)[50]) {
  if (fileSystem == nullptr || PutFileSystemName(unit, fileSystem)) return;
  if (FileSystemCheckOf(unit) != unit[kFileSystemCheck]) return;
  // A name of at most 8 characters: up to its first NUL or all 8 bytes.
  const char* name = reinterpret_cast<const char*>(unit + kFileSystemName);
  const void* nul = std::memchr(name, '\0', kFileSystemNameBytes);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - name) : kFileSystemNameBytes;
  std::memcpy(*fileSystem, name, length);
  (*fileSystem)[length] = '\0';
}

void DecodeFields(const Unit& unit, BreakpointValues* values) {
  values->StartBlock = GetU32(unit, kStartBlock);
  values->BlockCount = GetU32(unit, kBlockCount);
  values->TailBytes = GetU32(unit, kTailBytes);
  values->PassIndex = unit[kPassIndex];
  values->MethodId = unit[kMethodId];
  std::memcpy(values->CapacityText, unit + kCapacityText, sizeof values->CapacityText);
  values->FillByte = unit[kFillByte];
}

// A record whose check bytes agree can still name a pass its method does not have or a block
// past the end; resuming it would skip the wipe or write nothing, so it is no breakpoint.
// Records of unknown methods stay found: the Resume command refuses them itself.
bool DescribesAWipe(const BreakpointValues& values) {
  if (values.StartBlock > values.BlockCount) return false;
  if (values.MethodId < kMethodCount && values.PassIndex >= WipeMethods[values.MethodId].passCount) {
    return false;
  }
  return true;
}

// A run writes the whole length of its device, so a record whose blocks and tail reach past
// the end of this device was not left by a run on it (a copied image, a disk moved to another
// enclosure): a resumed run would count blocks that do not exist among the wiped ones. A range
// that ends short of the end is a run sized by the volume's file system, which ends before its
// volume (NTFS by a sector at least, others by bytes that are not even whole sectors): the
// resumed run takes it and grows it to the device's end. A device that does not tell its
// length (or says 0, as some drivers do) is taken on trust.
bool FitsDevice(const platform::Device& device, const BreakpointValues& values) {
  std::uint64_t length = 0;
  if (!platform::QueryLengthInfo(device, &length) || length == 0) return true;
  const std::uint64_t tail = values.TailBytes < kBlockSize ? values.TailBytes : 0;
  return static_cast<std::uint64_t>(values.BlockCount) * kBlockSize + tail <= length;
}

}  // namespace

// Rewrites the first 4096 bytes of the device read-modify-write and puts the device back at
// the position the run left it. False only when that position could not be restored.
bool SaveBreakpoint(const platform::Device& device, std::uint32_t startBlock,
                    std::uint32_t blockCount, std::uint32_t tailBytes, std::uint8_t passIndex,
                    std::uint8_t methodId, const char (&capacityText)[50], std::uint8_t fillByte,
                    char (*fileSystem)[50], RunContext& context) {
  std::uint64_t position = 0;
  if (!platform::SetPosition(device, 0, platform::Origin::Current, &position)) {
    context.Log("Failed to save current progress.");
    return true;
  }
  Unit unit = {};
  if (!ReadUnit(device, unit)) {
    context.Log("Failed to save current progress.");
  } else {
    PutFields(unit, {startBlock, blockCount, tailBytes, passIndex, methodId, capacityText, fillByte});
    ExchangeFileSystemName(unit, fileSystem);
    if (!WriteUnit(device, unit)) context.Log("Failed to save current progress.");
  }
  if (!platform::SetPosition(device, static_cast<std::int64_t>(position), platform::Origin::Begin)) {
    context.Log("Fatal error! Unable to restore drive point!");
    return false;
  }
  return true;
}

void PutBreakpoint(std::uint8_t* block, std::uint32_t startBlock, std::uint32_t blockCount,
                   std::uint32_t tailBytes, std::uint8_t passIndex, std::uint8_t methodId,
                   const char (&capacityText)[50], std::uint8_t fillByte, const char (*fileSystem)[50]) {
  Unit& unit = *reinterpret_cast<Unit*>(block);
  PutFields(unit, {startBlock, blockCount, tailBytes, passIndex, methodId, capacityText, fillByte});
  // The name read back from an earlier record is in fileSystem by now: the run's first save
  // exchanged it.
  PutFileSystemName(unit, fileSystem);
}

// Opens the volume or disk by itself and reads the record. Nothing is written, and the values
// stay zero unless a valid record is found.
bool FindBreakpoint(const std::string& devicePath, BreakpointValues* values) {
  *values = BreakpointValues{};
  Unit unit = {};
  platform::Device device = platform::OpenDevice(devicePath, platform::Access::ReadWrite);
  if (!device || !ReadUnit(device, unit)) return false;
  if (!HasSignatures(unit) || !CheckCopyMatches(unit)) return false;
  BreakpointValues found;
  DecodeFields(unit, &found);
  ExchangeFileSystemName(unit, &found.FileSystem);
  if (!DescribesAWipe(found) || !FitsDevice(device, found)) return false;
  *values = found;
  return true;
}

// The first sector takes the content of the second, which the run wrote with the same pattern,
// so nothing of the record is left. The position is not restored: the run is over.
bool RemoveBreakpoint(const platform::Device& device, RunContext& context, bool* removed) {
  if (removed != nullptr) *removed = false;
  Unit unit = {};
  if (!ReadUnit(device, unit)) {
    context.Log("Failed to remove breakpoint info.");
    return false;
  }
  if (!HasSignatures(unit)) return true;
  std::memcpy(unit, unit + kSectorBytes, kSectorBytes);
  if (!WriteUnit(device, unit)) {
    context.Log("Failed to remove breakpoint info.");
    return false;
  }
  if (removed != nullptr) *removed = true;
  return true;
}

bool DeviceHoldsRecord(const std::string& devicePath) {
  BreakpointValues found;
  return FindBreakpoint(devicePath, &found);
}
