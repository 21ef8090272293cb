// Verification by sampling: the plan's rules on disks of several sizes (first and last sector,
// two non-overlapping samples in each of 1,000 subsections, a tenth of the disk, the same plan
// from the same seed), and the reading before and after on a simulated disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "wipe/sampling.h"

namespace {

constexpr std::uint64_t kMiB = 1048576;

TEST(SamplingTest, ThePlanKeepsItsRulesOnEverySize) {
  struct Case {
    const char* name;
    std::uint64_t bytes;
    std::uint32_t sector;
  };
  const std::vector<Case> cases = {
      {"4 MiB", 4 * kMiB, 512},
      {"just above 2,002 sectors", 2003 * 512, 512},
      {"1 GiB and an odd tail", (1ull << 30) + 7 * 512 + 100, 512},
      {"64 GiB of 4096-byte sectors", 64ull << 30, 4096},
      {"2 TiB", 2ull << 40, 512},
  };
  for (const Case& c : cases) {
    const std::vector<SampleSpot> spots = PlanSamples(c.bytes, c.sector, 42);
    const std::uint64_t sectors = c.bytes / c.sector;
    ASSERT_EQ(spots.size(), 2 * kSampleSubsections + 2) << c.name;
    EXPECT_EQ(spots.front().offset, 0u) << c.name;
    EXPECT_EQ(spots.front().bytes, c.sector) << c.name;
    EXPECT_EQ(spots.back().offset, (sectors - 1) * c.sector) << c.name;
    EXPECT_EQ(spots.back().bytes, c.sector) << c.name;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < spots.size(); ++i) {
      total += spots[i].bytes;
      ASSERT_EQ(spots[i].offset % c.sector, 0u) << c.name << " sample " << i;
      ASSERT_EQ(spots[i].bytes % c.sector, 0u) << c.name << " sample " << i;
      ASSERT_GT(spots[i].bytes, 0u) << c.name << " sample " << i;
      if (i > 0) {
        ASSERT_LE(spots[i - 1].offset + spots[i - 1].bytes, spots[i].offset) << c.name << " sample " << i;
      }
    }
    EXPECT_LE(spots.back().offset + spots.back().bytes, c.bytes) << c.name;
    EXPECT_GE(total * 10, sectors * c.sector) << c.name << ": less than a tenth";
    // Two samples lie wholly in each equal subsection between the first and the last sector.
    const std::uint64_t subsection = (sectors - 2) / kSampleSubsections * c.sector;
    for (std::uint32_t s = 0; s < kSampleSubsections; ++s) {
      const std::uint64_t start = c.sector + s * subsection;
      for (int k = 1; k <= 2; ++k) {
        const SampleSpot& spot = spots[2 * s + static_cast<std::size_t>(k)];
        ASSERT_GE(spot.offset, start) << c.name << " subsection " << s;
        ASSERT_LE(spot.offset + spot.bytes, start + subsection) << c.name << " subsection " << s;
      }
    }
  }
}

TEST(SamplingTest, TheSameSeedGivesTheSamePlanAndAnotherSeedAnother) {
  const std::vector<SampleSpot> a = PlanSamples(1ull << 30, 512, 7);
  const std::vector<SampleSpot> b = PlanSamples(1ull << 30, 512, 7);
  const std::vector<SampleSpot> c = PlanSamples(1ull << 30, 512, 8);
  auto offsets = [](const std::vector<SampleSpot>& spots) {
    std::vector<std::uint64_t> out;
    for (const SampleSpot& spot : spots) out.push_back(spot.offset);
    return out;
  };
  EXPECT_EQ(offsets(a), offsets(b));
  EXPECT_NE(offsets(a), offsets(c));
}

TEST(SamplingTest, ADiskTooSmallForTheSubsectionsIsSampledWhole) {
  const std::vector<SampleSpot> spots = PlanSamples(kMiB / 2, 512, 1);
  ASSERT_EQ(spots.size(), 1024u);
  for (std::size_t i = 0; i < spots.size(); ++i) EXPECT_EQ(spots[i].offset, i * 512);
  EXPECT_TRUE(PlanSamples(kMiB, 0, 1).empty());
}

class SamplingDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Machine machine;
    machine.disks = {sim::MemoryDisk(0, 4 * kMiB)};
    std::string error;
    ASSERT_TRUE(sim::Load(machine, &error)) << error;
    std::vector<std::uint8_t> bytes(4 * kMiB);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 512);
    ASSERT_TRUE(sim::WriteDisk(0, 0, bytes));
  }
  void TearDown() override { sim::ClearFaults(); }
};

TEST_F(SamplingDiskTest, FindsSamplesThatKeptTheirContentAndCountsConstantOnesApart) {
  platform::Device disk = platform::OpenDevice("\\\\.\\physicaldrive0", platform::Access::ReadWrite);
  const std::vector<SampleSpot> spots = PlanSamples(4 * kMiB, 512, 99);
  // Sample 10 held zeros before; the erase left it as it was.
  ASSERT_TRUE(sim::WriteDisk(0, spots[10].offset, std::vector<std::uint8_t>(spots[10].bytes, 0)));
  std::vector<SamplePrint> before;
  std::uint64_t lastDone = 0;
  ASSERT_TRUE(ReadSamples(disk, spots, &before, [&lastDone](std::uint64_t done, std::uint64_t) {
    lastDone = done;
    return true;
  }));
  std::uint64_t total = 0;
  for (const SampleSpot& spot : spots) total += spot.bytes;
  EXPECT_EQ(lastDone, total);

  // An erase that changed every sample but samples 0 and 500 (a disk that kept them).
  const std::vector<std::uint8_t> kept0 = sim::ReadDisk(0, spots[0].offset, spots[0].bytes);
  const std::vector<std::uint8_t> kept500 = sim::ReadDisk(0, spots[500].offset, spots[500].bytes);
  ASSERT_TRUE(sim::WriteDisk(0, 0, std::vector<std::uint8_t>(4 * kMiB, 0xA5)));
  ASSERT_TRUE(sim::WriteDisk(0, spots[0].offset, kept0));
  ASSERT_TRUE(sim::WriteDisk(0, spots[500].offset, kept500));
  std::vector<SamplePrint> after;
  ASSERT_TRUE(ReadSamples(disk, spots, &after));
  const SampleComparison comparison = CompareSamples(spots, before, after);
  EXPECT_EQ(comparison.samples, spots.size());
  EXPECT_EQ(comparison.unchanged, 2u);
  EXPECT_EQ(comparison.constant, 1u);
  EXPECT_EQ(comparison.unreadable, 0u);
  EXPECT_FALSE(comparison.Passed());
  EXPECT_EQ(SampleVerificationLine(comparison, 4 * kMiB, "disk 0"),
            "Verification: 2,002 samples (" + std::to_string(comparison.sampledBytes * 1000 / (4 * kMiB) / 10) + "." +
                std::to_string(comparison.sampledBytes * 1000 / (4 * kMiB) % 10) +
                "% of disk 0) read before and after; 2 hold their former content; 1 was one value throughout "
                "before and cannot show a change.");
}

TEST_F(SamplingDiskTest, AnErasedDiskPassesAndAnUnreadableSampleFails) {
  platform::Device disk = platform::OpenDevice("\\\\.\\physicaldrive0", platform::Access::ReadWrite);
  const std::vector<SampleSpot> spots = PlanSamples(4 * kMiB, 512, 5);
  std::vector<SamplePrint> before;
  ASSERT_TRUE(ReadSamples(disk, spots, &before));
  ASSERT_TRUE(sim::WriteDisk(0, 0, std::vector<std::uint8_t>(4 * kMiB, 0)));
  std::vector<SamplePrint> after;
  ASSERT_TRUE(ReadSamples(disk, spots, &after));
  SampleComparison comparison = CompareSamples(spots, before, after);
  EXPECT_TRUE(comparison.Passed());
  const std::string line = SampleVerificationLine(comparison, 4 * kMiB, "disk 0");
  EXPECT_EQ(line.substr(line.find(')')), ") read before and after; none holds its former content.");

  // The read of the 7th sample fails after the erase.
  int reads = 0;
  sim::SetFaultHook([&reads](const sim::Call& call) { return call.op == sim::Op::Read && ++reads == 7; });
  ASSERT_TRUE(ReadSamples(disk, spots, &after));
  comparison = CompareSamples(spots, before, after);
  EXPECT_EQ(comparison.unreadable, 1u);
  EXPECT_FALSE(comparison.Passed());
  EXPECT_NE(SampleVerificationLine(comparison, 4 * kMiB, "disk 0").find("; 1 could not be read."), std::string::npos);

  // Samples that could not be read before have nothing to compare with: counted apart, not
  // held against the erase.
  std::vector<SamplePrint> unreadBefore = before;
  unreadBefore[3].read = false;
  unreadBefore[4].read = false;
  comparison = CompareSamples(spots, unreadBefore, before);
  EXPECT_EQ(comparison.unreadableBefore, 2u);
  EXPECT_EQ(comparison.unreadable, 0u);
  EXPECT_EQ(comparison.unchanged + comparison.constant, spots.size() - 2);
  comparison = CompareSamples(spots, unreadBefore, after);
  EXPECT_EQ(comparison.unreadableBefore, 2u);
  EXPECT_EQ(comparison.unreadable, 1u);
  EXPECT_NE(SampleVerificationLine(comparison, 4 * kMiB, "disk 0")
                .find("; 1 could not be read; 2 could not be read before and cannot show a change."),
            std::string::npos);

  // The progress can stop the reading.
  EXPECT_FALSE(ReadSamples(disk, spots, &after, [](std::uint64_t, std::uint64_t) { return false; }));
}

}  // namespace
