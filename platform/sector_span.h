#pragma once
// Synchronous transfers on a handle opened unbuffered (Access::ReadWriteUnbuffered). The system
// moves only whole sectors there, at offsets of whole sectors, from memory aligned to a sector,
// and keeps no position for the handle. The records, sector reads and tails of a run are
// smaller or lie elsewhere: they go through a buffer of the whole sectors around them, read
// first where those sectors hold bytes beside the transfer, at the position the Device keeps.

#include <cstdint>

#include "platform/platform.h"

namespace platform {

// The whole sectors around a transfer.
struct SectorSpan {
  std::uint64_t start = 0;  // where the first of them starts on the device
  std::uint32_t bytes = 0;  // how many bytes they cover; 0 for a transfer of no bytes
  std::uint32_t lead = 0;   // how far into them the transfer begins
  // The first or the last of them holds bytes that are not the transfer's: a write reads them
  // first, so those bytes stay as they were.
  bool keepsOtherBytes = false;
};

// True when the transfer can go to the device as it stands.
bool InWholeSectors(std::uint64_t position, const void* buffer, std::uint32_t bytes, std::uint32_t sectorBytes);
SectorSpan SpanAround(std::uint64_t position, std::uint32_t bytes, std::uint32_t sectorBytes);
// Of `moved` bytes transferred from the span's start (fewer than its bytes at the end of the
// device), those that fall in the transfer's `bytes`.
std::uint32_t CallerPart(const SectorSpan& span, std::uint32_t moved, std::uint32_t bytes);

// ReadDevice and WriteDevice on an unbuffered Device, at its kept position, which they move by
// the bytes transferred; the number of them.
std::uint32_t ReadInSectors(const Device& device, void* buffer, std::uint32_t bytes);
std::uint32_t WriteInSectors(const Device& device, const void* buffer, std::uint32_t bytes);

}  // namespace platform
