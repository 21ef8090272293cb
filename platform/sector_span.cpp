#include "platform/sector_span.h"

#include <algorithm>
#include <cstring>

namespace platform {

bool InWholeSectors(std::uint64_t position, const void* buffer, std::uint32_t bytes, std::uint32_t sectorBytes) {
  return sectorBytes != 0 && bytes != 0 && position % sectorBytes == 0 && bytes % sectorBytes == 0 &&
         reinterpret_cast<std::uintptr_t>(buffer) % sectorBytes == 0;
}

SectorSpan SpanAround(std::uint64_t position, std::uint32_t bytes, std::uint32_t sectorBytes) {
  SectorSpan span;
  if (sectorBytes == 0) return span;
  span.lead = static_cast<std::uint32_t>(position % sectorBytes);
  span.start = position - span.lead;
  if (bytes == 0) return span;
  const std::uint64_t covered = std::uint64_t{span.lead} + bytes;
  span.bytes = static_cast<std::uint32_t>((covered + sectorBytes - 1) / sectorBytes * sectorBytes);
  span.keepsOtherBytes = span.lead != 0 || covered != span.bytes;
  return span;
}

std::uint32_t CallerPart(const SectorSpan& span, std::uint32_t moved, std::uint32_t bytes) {
  if (moved <= span.lead) return 0;
  return std::min(bytes, moved - span.lead);
}

std::uint32_t ReadInSectors(const Device& device, void* buffer, std::uint32_t bytes) {
  const std::uint64_t position = device.position();
  const std::uint32_t sector = device.sectorBytes();
  if (bytes == 0 || sector == 0) return 0;
  std::uint32_t got = 0;
  if (InWholeSectors(position, buffer, bytes, sector)) {
    got = ReadSectors(device, position, buffer, bytes);
  } else {
    const SectorSpan span = SpanAround(position, bytes, sector);
    const IoBuffer bounce(span.bytes);
    if (!bounce) return 0;
    got = CallerPart(span, ReadSectors(device, span.start, bounce.data(), span.bytes), bytes);
    std::memcpy(buffer, bounce.data() + span.lead, got);
  }
  device.keepPosition(position + got);
  return got;
}

// At the end of the device the read of the span comes back short, and only what it returned is
// written back: a write past the end would fail whole.
std::uint32_t WriteInSectors(const Device& device, const void* buffer, std::uint32_t bytes) {
  const std::uint64_t position = device.position();
  const std::uint32_t sector = device.sectorBytes();
  if (bytes == 0 || sector == 0) return 0;
  std::uint32_t put = 0;
  if (InWholeSectors(position, buffer, bytes, sector)) {
    put = WriteSectors(device, position, buffer, bytes);
  } else {
    const SectorSpan span = SpanAround(position, bytes, sector);
    const IoBuffer bounce(span.bytes);
    if (!bounce) return 0;
    const std::uint32_t present =
        span.keepsOtherBytes ? ReadSectors(device, span.start, bounce.data(), span.bytes) : span.bytes;
    const std::uint32_t fits = CallerPart(span, present, bytes);
    if (fits == 0) return 0;
    std::memcpy(bounce.data() + span.lead, buffer, fits);
    put = CallerPart(span, WriteSectors(device, span.start, bounce.data(), present), bytes);
  }
  device.keepPosition(position + put);
  return put;
}

}  // namespace platform
