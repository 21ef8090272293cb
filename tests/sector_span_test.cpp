// The arithmetic that puts a transfer of any size and place into the whole sectors an
// unbuffered handle takes.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/sector_span.h"

namespace {

TEST(SectorSpanTest, ATransferIsCoveredByTheWholeSectorsAroundIt) {
  struct Case {
    const char* what;
    std::uint64_t position;
    std::uint32_t bytes;
    std::uint32_t sector;
    std::uint64_t start;  // the span
    std::uint32_t spanBytes;
    std::uint32_t lead;
    bool keepsOtherBytes;
  };
  const Case cases[] = {
      {"whole sectors", 1024, 1024, 512, 1024, 1024, 0, false},
      {"a record in the first sector", 0, 300, 512, 0, 512, 0, true},
      {"inside one sector", 700, 100, 512, 512, 512, 188, true},
      {"across a sector boundary", 1000, 100, 512, 512, 1024, 488, true},
      {"starting inside a sector, ending on a boundary", 100, 412, 512, 0, 512, 100, true},
      {"starting on a boundary, ending inside a sector", 4096, 3000, 4096, 4096, 4096, 0, true},
      {"no bytes on a boundary", 1024, 0, 512, 1024, 0, 0, false},
      {"no bytes inside a sector", 1030, 0, 512, 1024, 0, 6, false},
      {"whole 4096-byte sectors", 8192, 8192, 4096, 8192, 8192, 0, false},
      {"a 512-byte record on 4096-byte sectors", 8192 + 512, 512, 4096, 8192, 4096, 512, true},
      {"a tail over three 4096-byte sectors", 4095, 4098, 4096, 0, 12288, 4095, true},
      {"past 4 GiB", (5ull << 30) + 7, 9, 512, 5ull << 30, 512, 7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const platform::SectorSpan span = platform::SpanAround(c.position, c.bytes, c.sector);
    EXPECT_EQ(span.start, c.start);
    EXPECT_EQ(span.bytes, c.spanBytes);
    EXPECT_EQ(span.lead, c.lead);
    EXPECT_EQ(span.keepsOtherBytes, c.keepsOtherBytes);
    EXPECT_EQ(span.start + span.lead, c.position) << "the caller's bytes do not start where it asked";
    if (c.bytes != 0) {
      EXPECT_LE(std::uint64_t{span.lead} + c.bytes, span.bytes) << "the span ends before the transfer";
    }
  }
}

TEST(SectorSpanTest, OnlyWholeAlignedSectorsGoAsTheyStand) {
  alignas(4096) static std::uint8_t memory[8192];
  struct Case {
    const char* what;
    std::uint64_t position;
    std::size_t shift;  // of the memory from a 4096-byte boundary
    std::uint32_t bytes;
    std::uint32_t sector;
    bool whole;
  };
  const Case cases[] = {
      {"whole sectors", 512, 0, 1024, 512, true},
      {"memory aligned to the sector only", 0, 512, 512, 512, true},
      {"memory off the sector", 0, 8, 512, 512, false},
      {"offset inside a sector", 100, 0, 512, 512, false},
      {"part of a sector", 0, 0, 700, 512, false},
      {"no bytes", 0, 0, 0, 512, false},
      {"512-byte units on 4096-byte sectors", 512, 0, 4096, 4096, false},
      {"memory aligned to 512 on 4096-byte sectors", 0, 512, 4096, 4096, false},
      {"no sector size", 0, 0, 512, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::InWholeSectors(c.position, memory + c.shift, c.bytes, c.sector), c.whole);
  }
}

// At the end of a device the span is read or written only in part: the caller is told the part
// of its own bytes that was moved.
TEST(SectorSpanTest, TheCallersPartOfAShortTransfer) {
  struct Case {
    const char* what;
    std::uint64_t position;
    std::uint32_t bytes;
    std::uint32_t moved;  // of the span, from its start
    std::uint32_t part;
  };
  const Case cases[] = {
      {"all of it", 700, 100, 512, 100},
      {"the span moved whole around a transfer across two sectors", 1000, 100, 1024, 100},
      {"stopped in the transfer", 1000, 100, 512, 24},
      {"stopped before the transfer", 1000, 100, 400, 0},
      {"stopped exactly where the transfer starts", 1000, 100, 488, 0},
      {"nothing moved", 700, 100, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const platform::SectorSpan span = platform::SpanAround(c.position, c.bytes, 512);
    EXPECT_EQ(platform::CallerPart(span, c.moved, c.bytes), c.part);
  }
}

}  // namespace
