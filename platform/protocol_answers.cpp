// The protocol-specific answers of a disk read from their raw bytes, shared by the real and the
// simulated platform: NVMe Identify Controller, the NVMe Sanitize Status log page and ATA
// IDENTIFY DEVICE, the envelope Windows wraps them in, and the task file of an ATA command.
// A driver may return fewer bytes than the structure has, zeros for a query it half answers, or
// bytes that are no answer at all; a capability read from those would send a sanitize to a
// disk that cannot do it, so every field is read only where it arrived and looks sound.
#include <string>

#include "platform/platform.h"
#include "platform/raw_bytes.h"

namespace platform {
namespace {

using raw::Read16;
using raw::Read32;

// NVMe Identify Controller (4096 bytes).
constexpr std::size_t kNvmeSerialAt = 4;
constexpr std::size_t kNvmeSerialBytes = 20;
constexpr std::size_t kNvmeModelAt = 24;
constexpr std::size_t kNvmeModelBytes = 40;
constexpr std::size_t kSanicapAt = 328;
constexpr std::size_t kFnaAt = 524;

// Sanitize Status log page (512 bytes).
constexpr std::size_t kSprogAt = 0;
constexpr std::size_t kSstatAt = 2;
constexpr std::size_t kOverwriteEstimateAt = 8;
constexpr std::size_t kBlockEstimateAt = 12;
constexpr std::size_t kCryptoEstimateAt = 16;

// ATA IDENTIFY DEVICE (256 words).
constexpr std::size_t kAtaIdentifyBytes = 512;
constexpr std::size_t kSanitizeWord = 59;
constexpr std::size_t kSectors28Word = 60;
constexpr std::size_t kSupportedWord = 82;
constexpr std::size_t kSupported2Word = 83;
constexpr std::size_t kEnabledWord = 85;
constexpr std::size_t kEnabled3Word = 87;
constexpr std::size_t kSectors48Word = 100;
constexpr std::size_t kSecurityWord = 128;
constexpr std::size_t kIntegrityWord = 255;

// STORAGE_PROTOCOL_DATA_DESCRIPTOR: Version, Size, then STORAGE_PROTOCOL_SPECIFIC_DATA (ten
// DWORDs) whose ProtocolDataOffset counts from its own start.
constexpr std::size_t kSpecificDataAt = 8;
constexpr std::size_t kSpecificDataBytes = 40;
constexpr std::size_t kDataOffsetAt = kSpecificDataAt + 16;
constexpr std::size_t kDataLengthAt = kSpecificDataAt + 20;

bool Has(std::size_t bytes, std::size_t at, std::size_t width) { return at + width <= bytes; }

bool Bit(std::uint32_t value, int bit) { return (value >> bit & 1u) != 0; }

// An NVMe text field: ASCII padded with blanks (some firmware pads with NULs). Nonsense when
// any byte is neither.
bool NvmeText(const std::uint8_t* data, std::size_t at, std::size_t width, std::string* text) {
  std::string value;
  for (std::size_t i = 0; i < width; ++i) {
    const std::uint8_t byte = data[at + i];
    if (byte == 0) {
      value.push_back(' ');
      continue;
    }
    if (byte < 0x20 || byte > 0x7E) return false;
    value.push_back(static_cast<char>(byte));
  }
  *text = raw::Trimmed(value);
  return true;
}

std::uint16_t Word(const std::uint8_t* data, std::size_t word) { return Read16(data, 2 * word); }

// Words 82-84 and 85-87 count only when their group's word 83 or 87 carries bits 15-14 = 01:
// disks that do not implement them answer 0000h or FFFFh.
bool WordsValid(const std::uint8_t* data, std::size_t bytes, std::size_t markerWord) {
  return Has(bytes, 2 * markerWord, 2) && (Word(data, markerWord) & 0xC000) == 0x4000;
}

// Word 255: with the signature A5h in its low byte, all 512 bytes sum to 0 modulo 256.
bool AtaChecksumHolds(const std::uint8_t* data, std::size_t bytes) {
  if (bytes < kAtaIdentifyBytes || (Word(data, kIntegrityWord) & 0xFF) != 0xA5) return true;
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kAtaIdentifyBytes; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
  return sum == 0;
}

}  // namespace

bool ReadNvmeIdentifyController(const std::uint8_t* data, std::size_t bytes, NvmeController* controller) {
  if (data == nullptr || !Has(bytes, kNvmeModelAt, kNvmeModelBytes)) return false;
  NvmeController read;
  if (!NvmeText(data, kNvmeSerialAt, kNvmeSerialBytes, &read.serial)) return false;
  if (!NvmeText(data, kNvmeModelAt, kNvmeModelBytes, &read.model) || read.model.empty()) return false;
  if (Has(bytes, kSanicapAt, 4)) {
    const std::uint32_t sanicap = Read32(data, kSanicapAt);
    read.cryptoErase = Bit(sanicap, 0);
    read.blockErase = Bit(sanicap, 1);
    read.overwrite = Bit(sanicap, 2);
  }
  if (Has(bytes, kFnaAt, 1)) read.cryptoEraseByFormat = Bit(data[kFnaAt], 2);
  *controller = read;
  return true;
}

bool ReadSanitizeStatusLog(const std::uint8_t* data, std::size_t bytes, SanitizeStatus* status) {
  if (data == nullptr || !Has(bytes, kSstatAt, 2)) return false;
  SanitizeStatus read;
  const std::uint16_t sstat = Read16(data, kSstatAt);
  switch (sstat & 0x7) {
    case 0: read.state = SanitizeState::NeverSanitized; break;
    case 1:
    case 4: read.state = SanitizeState::Succeeded; break;  // 4: without deallocating after it
    case 2: read.state = SanitizeState::InProgress; break;
    case 3: read.state = SanitizeState::Failed; break;
    default: return false;
  }
  read.progress = Read16(data, kSprogAt);
  read.globalDataErased = Bit(sstat, 8);
  if (Has(bytes, kOverwriteEstimateAt, 4)) read.overwriteSeconds = Read32(data, kOverwriteEstimateAt);
  if (Has(bytes, kBlockEstimateAt, 4)) read.blockEraseSeconds = Read32(data, kBlockEstimateAt);
  if (Has(bytes, kCryptoEstimateAt, 4)) read.cryptoEraseSeconds = Read32(data, kCryptoEstimateAt);
  *status = read;
  return true;
}

bool ReadAtaIdentify(const std::uint8_t* data, std::size_t bytes, AtaIdentify* identify) {
  if (data == nullptr || !Has(bytes, 2 * kSanitizeWord, 2)) return false;
  // Word 0 bit 15 set: an ATAPI device (or no identify at all).
  if ((Word(data, 0) & 0x8000) != 0 || !AtaChecksumHolds(data, bytes)) return false;
  AtaIdentify read;
  const std::uint16_t sanitize = Word(data, kSanitizeWord);
  read.sanitize = Bit(sanitize, 12);
  read.cryptoScramble = read.sanitize && Bit(sanitize, 13);
  read.overwrite = read.sanitize && Bit(sanitize, 14);
  read.blockErase = read.sanitize && Bit(sanitize, 15);
  const bool supportedValid = WordsValid(data, bytes, kSupported2Word);
  if (supportedValid) read.hpaSupported = Bit(Word(data, kSupportedWord), 10);
  if (read.hpaSupported && WordsValid(data, bytes, kEnabled3Word)) {
    read.hpaEnabled = Bit(Word(data, kEnabledWord), 10);
  }
  const bool lba48 = supportedValid && Bit(Word(data, kSupported2Word), 10);
  if (lba48 && Has(bytes, 2 * kSectors48Word, 8)) read.sectors = raw::Read64(data, 2 * kSectors48Word);
  if (read.sectors == 0 && Has(bytes, 2 * kSectors28Word, 4)) read.sectors = Read32(data, 2 * kSectors28Word);
  if (Has(bytes, 2 * kSecurityWord, 2)) {
    const std::uint16_t security = Word(data, kSecurityWord);
    read.securitySupported = Bit(security, 0);
    read.securityEnabled = read.securitySupported && Bit(security, 1);
    read.securityLocked = read.securitySupported && Bit(security, 2);
    read.securityFrozen = read.securitySupported && Bit(security, 3);
  }
  *identify = read;
  return true;
}

bool ProtocolDataPlace(const std::uint8_t* data, std::size_t bytes, std::size_t* offset,
                       std::size_t* length) {
  if (data == nullptr || !Has(bytes, kSpecificDataAt, kSpecificDataBytes)) return false;
  const std::uint64_t from = Read32(data, kDataOffsetAt);
  const std::uint64_t count = Read32(data, kDataLengthAt);
  if (from < kSpecificDataBytes || count == 0) return false;
  const std::uint64_t start = kSpecificDataAt + from;
  if (start + count > bytes) return false;
  *offset = static_cast<std::size_t>(start);
  *length = static_cast<std::size_t>(count);
  return true;
}

bool ReadNativeMaxAddress(const std::uint8_t current[8], const std::uint8_t previous[8],
                          std::uint64_t* lastAddress) {
  // On return the command register holds the status: BSY (bit 7) or ERR (bit 0) means no answer.
  const std::uint8_t status = current[6];
  if ((status & 0x81) != 0) return false;
  std::uint64_t address = 0;
  for (int i = 0; i < 3; ++i) {
    address |= static_cast<std::uint64_t>(current[2 + i]) << (8 * i);
    address |= static_cast<std::uint64_t>(previous[2 + i]) << (24 + 8 * i);
  }
  *lastAddress = address;
  return true;
}

}  // namespace platform
