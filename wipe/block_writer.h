#pragma once
// How the blocks of a pass reach the device: the one piece of the pass loop that knows how a
// block is written (at once, or put in flight and completed later) and that makes what was
// written durable. The pass loop asks it to write block k, to complete everything in flight,
// and to flush; everything it is told about a block comes back as a BlockCompletion, in block
// order.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "wipe/run_context.h"

// What became of one block write.
struct BlockCompletion {
  std::uint32_t block;
  bool whole;  // all kBlockSize bytes were written
};

// How many block writes may be in flight at once on a device opened unbuffered.
inline constexpr std::size_t kWritesInFlight = 4;

class BlockWriter {
 public:
  enum class Pace { OneAtATime, SeveralAtOnce };
  // SeveralAtOnce on a device opened unbuffered: blocks are written from a ring of aligned
  // buffers, several in flight at once. Otherwise (or without the memory for the ring) each
  // block is written and waited for in turn.
  BlockWriter(RunContext& context, const platform::Device& device, Pace pace = Pace::OneAtATime);
  // Waits for whatever is still in flight: no write outlives the buffer it is written from.
  ~BlockWriter();
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // The caller's block data now holds other content than the blocks written so far (a new
  // pass, redrawn random data): a ring buffer takes a copy only when its content is older.
  void ContentChanged() { ++content_; }

  // Positions the device at block k of the pass, from its start. False when the device will
  // not go there.
  bool StartAt(std::uint32_t block);

  // Writes the kBlockSize bytes of data as block k, at k x kBlockSize from the start of the
  // device; blocks come in ascending order from the one StartAt named. data is read only during
  // the call (a write in flight has its own copy). The completions known by now are appended to *done. False when the device could
  // not be positioned for block k + 1 after block k was not written whole: every later block
  // would land off its place, so the run has to stop.
  bool WriteBlock(std::uint32_t block, const std::uint8_t* data, std::vector<BlockCompletion>* done);

  // Waits for every write in flight and appends its completion to *done. Called before a
  // record is saved, at a cancel, before the tail and at the end of a pass.
  void CompleteAll(std::vector<BlockCompletion>* done);

  // Writes the first `bytes` of data right after the last whole block (nothing is in flight:
  // CompleteAll came first). The number of bytes written.
  std::uint32_t WriteTail(const std::uint8_t* data, std::uint32_t bytes);

  // Everything written through the device so far is on the media, the device's own cache
  // included. False, with "Failed to flush the drive's write cache.", when it is not.
  bool Flush();

 private:
  // One buffer of the ring and the write it is in, if any.
  struct Slot {
    platform::IoBuffer memory;
    platform::WriteInFlight write = platform::kNoWrite;
    std::uint32_t block = 0;
    std::uint64_t content = 0;  // which content it holds; 0: none yet
  };
  bool InFlight() const { return !ring_.empty(); }
  bool WriteBlockInFlight(std::uint32_t block, const std::uint8_t* data, std::vector<BlockCompletion>* done);
  void Complete(Slot* slot, std::vector<BlockCompletion>* done);

  RunContext& context_;
  const platform::Device& device_;
  std::vector<Slot> ring_;      // empty: one write at a time
  std::size_t oldest_ = 0;      // the slot the next block goes to, and the oldest in flight
  std::uint32_t nextBlock_ = 0;
  std::uint64_t content_ = 1;
};

// The device flush with its log line: what a record's save or removal is wrapped in.
bool FlushToMedia(RunContext& context, const platform::Device& device);
