#pragma once
// How the blocks of a pass reach the device: the one piece of the pass loop that knows how a
// block is written (at once, or put in flight and completed later) and that makes what was
// written durable. The pass loop asks it to write block k, to complete everything in flight,
// and to flush; everything it is told about a block comes back as a BlockCompletion, in block
// order.

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// What became of one block write.
struct BlockCompletion {
  std::uint32_t block;
  bool whole;  // all kBlockSize bytes were written
};

class BlockWriter {
 public:
  explicit BlockWriter(const platform::Device& device) : device_(device) {}
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // Positions the device at block k of the pass, from its start. False when the device will
  // not go there.
  bool StartAt(std::uint32_t block);

  // Writes the kBlockSize bytes of data as block k, at k x kBlockSize from the start of the
  // device; blocks come in ascending order from the one StartAt named. data is read only during
  // the call. The completions known by now are appended to *done. False when the device could
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
  const platform::Device& device_;
};

// The device flush with its log line: what a record's save or removal is wrapped in.
bool FlushToMedia(const platform::Device& device);
