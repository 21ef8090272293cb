#include "wipe/block_writer.h"

#include <cstring>

#include "wipe/methods.h"

namespace {

bool PositionAtBlock(const platform::Device& device, std::uint32_t block) {
  return platform::SetPosition(device, static_cast<std::int64_t>(block) * kBlockSize, platform::Origin::Begin);
}

}  // namespace

BlockWriter::BlockWriter(RunContext& context, const platform::Device& device, Pace pace)
    : context_(context), device_(device) {
  if (pace != Pace::SeveralAtOnce || !device.unbuffered()) return;
  ring_.resize(kWritesInFlight);
  for (Slot& slot : ring_) {
    slot.memory = platform::IoBuffer(kBlockSize);
    if (slot.memory) continue;
    // Without the ring's memory the blocks still go out, one at a time.
    ring_.clear();
    return;
  }
}

BlockWriter::~BlockWriter() {
  std::vector<BlockCompletion> ignored;
  CompleteAll(&ignored);
}

bool BlockWriter::StartAt(std::uint32_t block) {
  nextBlock_ = block;
  return PositionAtBlock(device_, block);
}

// A short write leaves the position wherever the device stopped; the next block is placed
// from the start of the device, so one bad block never shifts the rest of the pass.
bool BlockWriter::WriteBlock(std::uint32_t block, const std::uint8_t* data, std::vector<BlockCompletion>* done) {
  nextBlock_ = block + 1;
  if (InFlight()) return WriteBlockInFlight(block, data, done);
  const bool whole = platform::WriteDevice(device_, data, kBlockSize) == kBlockSize;
  done->push_back({block, whole});
  return whole || PositionAtBlock(device_, block + 1);
}

// Every write names its own offset, so a failed block cannot shift the others. The ring is
// used in order, so the slot a block goes to holds the oldest write in flight: completions
// come back in block order.
bool BlockWriter::WriteBlockInFlight(std::uint32_t block, const std::uint8_t* data,
                                     std::vector<BlockCompletion>* done) {
  Slot& slot = ring_[oldest_];
  Complete(&slot, done);
  if (slot.content != content_) {
    std::memcpy(slot.memory.data(), data, kBlockSize);
    slot.content = content_;
  }
  slot.block = block;
  slot.write = platform::StartWrite(device_, static_cast<std::uint64_t>(block) * kBlockSize,
                                    slot.memory.data(), kBlockSize);
  if (slot.write == platform::kNoWrite) {
    // The blocks before it are still in flight; their completions come first.
    CompleteAll(done);
    done->push_back({block, false});
    return true;
  }
  oldest_ = (oldest_ + 1) % ring_.size();
  return true;
}

void BlockWriter::Complete(Slot* slot, std::vector<BlockCompletion>* done) {
  if (slot->write == platform::kNoWrite) return;
  const bool whole = platform::FinishWrite(device_, slot->write) == kBlockSize;
  slot->write = platform::kNoWrite;
  done->push_back({slot->block, whole});
}

void BlockWriter::CompleteAll(std::vector<BlockCompletion>* done) {
  for (std::size_t i = 0; i < ring_.size(); ++i) Complete(&ring_[(oldest_ + i) % ring_.size()], done);
}

// Writes in flight never move the handle's position; the tail's place is set here.
std::uint32_t BlockWriter::WriteTail(const std::uint8_t* data, std::uint32_t bytes) {
  if (InFlight() && !PositionAtBlock(device_, nextBlock_)) return 0;
  return platform::WriteDevice(device_, data, bytes);
}

bool BlockWriter::Flush() { return FlushToMedia(context_, device_); }

bool FlushToMedia(RunContext& context, const platform::Device& device) {
  if (platform::FlushDevice(device)) return true;
  context.Log("Failed to flush the drive's write cache.");
  return false;
}
