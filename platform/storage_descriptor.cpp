// The answers of IOCTL_STORAGE_QUERY_PROPERTY read from their raw bytes, shared by the real and
// the simulated platform. Drivers answer with whatever they have: a descriptor cut short by a
// small buffer, offsets of 0 for texts they lack, offsets past the end, serial numbers padded
// with blanks, and now and then bytes that are no text at all. None of it may reach a report.
#include <cstring>

#include "platform/platform.h"
#include "platform/raw_bytes.h"

namespace platform {
namespace {

// STORAGE_DEVICE_DESCRIPTOR: Version, Size, DeviceType, DeviceTypeModifier, RemovableMedia,
// CommandQueueing, then the four text offsets, BusType and RawPropertiesLength.
constexpr std::size_t kSizeAt = 4;
constexpr std::size_t kRemovableMediaAt = 10;
constexpr std::size_t kVendorAt = 12;
constexpr std::size_t kProductAt = 16;
constexpr std::size_t kRevisionAt = 20;
constexpr std::size_t kSerialAt = 24;
constexpr std::size_t kBusTypeAt = 28;
constexpr std::size_t kDeviceHeaderBytes = 8;  // Version and Size
// DEVICE_SEEK_PENALTY_DESCRIPTOR: Version, Size, IncursSeekPenalty.
constexpr std::size_t kIncursSeekPenaltyAt = 8;

constexpr const char* kBusNames[] = {
    "",     "SCSI",  "ATAPI",         "ATA",   "1394",         "SSA",  "Fibre Channel",
    "USB",  "RAID",  "iSCSI",         "SAS",   "SATA",         "SD",   "MMC",
    "Virtual", "File-backed virtual", "Storage Spaces", "NVMe", "SCM", "UFS",
};
constexpr std::uint32_t kBusNameCount = sizeof kBusNames / sizeof kBusNames[0];

using raw::Read32;
using raw::Trimmed;

// The part of the answer that is both returned and claimed by the descriptor's own Size.
std::size_t UsableBytes(const std::uint8_t* data, std::size_t bytes) {
  const std::uint32_t claimed = Read32(data, kSizeAt);
  return claimed != 0 && claimed < bytes ? claimed : bytes;
}

// The NUL-terminated text at the offset stored at `field`; empty when the offset is 0 (the
// device has no such text), points into the fixed part or past the answer, the text has no
// terminator inside the answer, or any of its bytes is not printable ASCII.
std::string TextAt(const std::uint8_t* data, std::size_t usable, std::size_t field,
                   std::size_t fixedPart) {
  if (field + 4 > usable) return std::string();
  const std::uint32_t offset = Read32(data, field);
  if (offset < fixedPart || offset >= usable) return std::string();
  const void* nul = std::memchr(data + offset, '\0', usable - offset);
  if (nul == nullptr) return std::string();
  const std::size_t length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (data + offset));
  for (std::size_t i = 0; i < length; ++i) {
    if (data[offset + i] < 0x20 || data[offset + i] > 0x7E) return std::string();
  }
  return Trimmed(std::string(reinterpret_cast<const char*>(data + offset), length));
}

}  // namespace

bool ReadDeviceDescriptor(const std::uint8_t* data, std::size_t bytes, DeviceIdentity* identity) {
  if (data == nullptr || bytes < kDeviceHeaderBytes) return false;
  const std::size_t usable = UsableBytes(data, bytes);
  if (usable < kDeviceHeaderBytes) return false;
  // Texts start after the fixed fields that were returned; an offset into them is garbage.
  const std::size_t fixedPart = usable < kBusTypeAt + 4 ? usable : kBusTypeAt + 4;
  if (usable > kRemovableMediaAt) {
    identity->removableMedia = data[kRemovableMediaAt] != 0 ? DeviceAnswer::Yes : DeviceAnswer::No;
  }
  identity->vendor = TextAt(data, usable, kVendorAt, fixedPart);
  identity->product = TextAt(data, usable, kProductAt, fixedPart);
  identity->revision = TextAt(data, usable, kRevisionAt, fixedPart);
  identity->serial = TextAt(data, usable, kSerialAt, fixedPart);
  identity->bus = usable >= kBusTypeAt + 4 ? BusTypeName(Read32(data, kBusTypeAt)) : std::string();
  return true;
}

bool ReadSeekPenaltyDescriptor(const std::uint8_t* data, std::size_t bytes, DeviceIdentity* identity) {
  if (data == nullptr || bytes <= kIncursSeekPenaltyAt) return false;
  if (UsableBytes(data, bytes) <= kIncursSeekPenaltyAt) return false;
  identity->solidState = data[kIncursSeekPenaltyAt] != 0 ? DeviceAnswer::No : DeviceAnswer::Yes;
  return true;
}

std::string BusTypeName(std::uint32_t code) {
  return code < kBusNameCount ? std::string(kBusNames[code]) : std::string();
}

std::uint32_t BusTypeCode(const std::string& name) {
  for (std::uint32_t code = 1; code < kBusNameCount; ++code) {
    if (name == kBusNames[code]) return code;
  }
  return 0;
}

}  // namespace platform
