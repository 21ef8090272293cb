// The size texts of the lists and the progress window, at every boundary between units and
// decimals and at real disk sizes.
#include <gtest/gtest.h>

#include <cstdint>

#include "devices/inventory.h"

namespace {

constexpr std::uint64_t kMiB = 1048576;

struct SizeCase {
  std::uint64_t bytes;
  const char* text;
};

TEST(FormatSizeText, EveryBoundaryAndRealSize) {
  const SizeCase cases[] = {
      {0, "0 MB"},
      {1048575, "0 MB"},
      {524288000, "500 MB"},
      {1073741823, "1023 MB"},
      {1073741824, "1.00 GB"},
      {8004304896, "7.45 GB"},
      {10239 * kMiB, "10.00 GB"},
      {10240 * kMiB, "10.0 GB"},
      {80026361856, "74.5 GB"},
      {102399 * kMiB, "100.0 GB"},
      {102400 * kMiB, "100 GB"},
      {1000204886016, "932 GB"},
      {1048575 * kMiB, "1024 GB"},
      {1048576 * kMiB, "1.00 TB"},
      {2000398934016, "1.82 TB"},
      // Past the terabytes: whole TiB are counted before the last division.
      {1073741823 * kMiB, "1024.00 TB"},
      {1073741824 * kMiB, "1.00 PB"},
      {UINT64_MAX, "16384.00 PB"},
  };
  for (const SizeCase& c : cases) {
    EXPECT_EQ(FormatSizeText(c.bytes), c.text) << c.bytes << " bytes";
  }
}

}  // namespace
