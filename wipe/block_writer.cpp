#include "wipe/block_writer.h"

#include "app/log.h"
#include "wipe/methods.h"

namespace {

bool PositionAtBlock(const platform::Device& device, std::uint32_t block) {
  return platform::SetPosition(device, static_cast<std::int64_t>(block) * kBlockSize, platform::Origin::Begin);
}

}  // namespace

bool BlockWriter::StartAt(std::uint32_t block) { return PositionAtBlock(device_, block); }

// A short write leaves the position wherever the device stopped; the next block is placed
// from the start of the device, so one bad block never shifts the rest of the pass.
bool BlockWriter::WriteBlock(std::uint32_t block, const std::uint8_t* data, std::vector<BlockCompletion>* done) {
  const bool whole = platform::WriteDevice(device_, data, kBlockSize) == kBlockSize;
  done->push_back({block, whole});
  return whole || PositionAtBlock(device_, block + 1);
}

// Every write completes before WriteBlock returns: nothing is ever in flight.
void BlockWriter::CompleteAll(std::vector<BlockCompletion>* /*done*/) {}

std::uint32_t BlockWriter::WriteTail(const std::uint8_t* data, std::uint32_t bytes) {
  return platform::WriteDevice(device_, data, bytes);
}

bool BlockWriter::Flush() { return FlushToMedia(device_); }

bool FlushToMedia(const platform::Device& device) {
  if (platform::FlushDevice(device)) return true;
  LogMessage("Failed to flush the drive's write cache.");
  return false;
}
