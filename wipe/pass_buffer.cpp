#include "wipe/pass_buffer.h"

#include <cstring>
#include <new>

#include "wipe/random_source.h"

BlockBuffer AllocateBlockBuffer() {
  // Value-initialised so that a complement pass resumed without its drawn pass still reads a
  // defined byte before the resume override replaces it.
  return BlockBuffer(new (std::nothrow) std::uint8_t[kBlockSize]());
}

namespace {

void FillWith(std::uint8_t value, std::uint8_t* buffer) { std::memset(buffer, value, kBlockSize); }

void DrawRandomData(std::uint8_t* buffer) {
  SeedRandomSource();
  DrawRandomBuffer(buffer, kBlockSize);
}

}  // namespace

void PreparePassBuffer(const WipeMethod& method, int passIndex, bool resumedPass,
                       std::uint8_t fillByte, std::uint8_t* buffer) {
  const PassPattern& pattern = method.passes[passIndex];
  switch (pattern.kind) {
    case PatternKind::Fixed:
      FillWith(pattern.fixedByte, buffer);
      return;
    case PatternKind::Random:
      // A resumed random-data pass writes new random data: nothing to carry over.
      DrawRandomData(buffer);
      return;
    case PatternKind::Drawn:
      SeedRandomSource();
      FillWith(DrawRandomByte(), buffer);
      break;
    case PatternKind::Complement:
      FillWith(static_cast<std::uint8_t>(~buffer[0]), buffer);
      break;
  }
  if (resumedPass) FillWith(fillByte, buffer);
}

bool AdvanceRandomData(int* counter, std::uint8_t* buffer) {
  if (++*counter < kRandomRefreshBlocks) return false;
  *counter = 0;
  DrawRandomData(buffer);
  return true;
}
