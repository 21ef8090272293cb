#pragma once
// The run's block buffer: kBlockSize bytes that every full block and the tail of a pass are
// written from, filled with the pass's pattern.

#include <cstdint>
#include <memory>

#include "wipe/methods.h"

using BlockBuffer = std::unique_ptr<std::uint8_t[]>;
// Empty when the memory cannot be had.
BlockBuffer AllocateBlockBuffer();

// Fills the buffer for the start of a pass. resumedPass says that this is the pass in which a
// resumed run starts: a drawn-byte or complement pass then continues with fillByte, the byte
// it was writing when the record was saved.
void PreparePassBuffer(const WipeMethod& method, int passIndex, bool resumedPass,
                       std::uint8_t fillByte, std::uint8_t* buffer);

// The random-data counter of a pass starts at 0 (also for a pass resumed mid-target).
inline constexpr int kRandomRefreshBlocks = 10;
// Before each full block of a random-data pass: counts the block and, on the 10th, 20th, ...
// block of the pass, reseeds and redraws the whole buffer. True when it redrew.
bool AdvanceRandomData(int* counter, std::uint8_t* buffer);
