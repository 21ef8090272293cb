// Sampling a disk before and after an erase. The plan is pure arithmetic on sectors, so a test
// can check its rules on any size; the reading hashes each sample as it streams by, so a sample
// of many megabytes of a large disk never sits in memory whole.
#include "wipe/sampling.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint64_t kChunkBytes = 1 << 20;
// At least a tenth of the disk: two samples in each of 1,000 subsections make 2,000 samples, so
// each holds at least 1/20,000 of the disk.
constexpr std::uint64_t kSamplesForATenth = 20000;

std::uint64_t SplitMix(std::uint64_t* state) {
  std::uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A start drawn from [first, last].
std::uint64_t DrawBetween(std::uint64_t* state, std::uint64_t first, std::uint64_t last) {
  return first + SplitMix(state) % (last - first + 1);
}

// A 64-bit hash over whole 8-byte words (samples are whole sectors), fed chunk by chunk.
struct Hasher {
  std::uint64_t value = 0xCBF29CE484222325ull;
  void Add(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i + 8 <= count; i += 8) {
      std::uint64_t word = 0;
      for (int b = 7; b >= 0; --b) word = word << 8 | bytes[i + static_cast<std::size_t>(b)];
      value = (value ^ word) * 0x100000001B3ull;
      value ^= value >> 29;
    }
  }
};

std::string Grouped(std::uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

std::string Samples(std::uint64_t count) { return Grouped(count) + (count == 1 ? " sample" : " samples"); }

}  // namespace

std::vector<SampleSpot> PlanSamples(std::uint64_t deviceBytes, std::uint32_t sectorBytes, std::uint64_t seed) {
  std::vector<SampleSpot> spots;
  if (sectorBytes == 0) return spots;
  const std::uint64_t sectors = deviceBytes / sectorBytes;
  if (sectors <= 2 * kSampleSubsections + 2) {
    for (std::uint64_t s = 0; s < sectors; ++s) spots.push_back({s * sectorBytes, sectorBytes});
    return spots;
  }
  // Subsections between the first and the last sector, each split in two halves that hold one
  // sample each, so the two never overlap.
  const std::uint64_t inner = sectors - 2;
  const std::uint64_t subsection = inner / kSampleSubsections;
  const std::uint64_t half = subsection / 2;
  const std::uint64_t length = std::min((sectors + kSamplesForATenth - 1) / kSamplesForATenth, half);
  std::uint64_t state = seed;
  spots.push_back({0, sectorBytes});
  for (std::uint64_t i = 0; i < kSampleSubsections; ++i) {
    const std::uint64_t start = 1 + i * subsection;
    const std::uint64_t first = DrawBetween(&state, start, start + half - length);
    const std::uint64_t second = DrawBetween(&state, start + half, start + subsection - length);
    spots.push_back({first * sectorBytes, length * sectorBytes});
    spots.push_back({second * sectorBytes, length * sectorBytes});
  }
  spots.push_back({(sectors - 1) * sectorBytes, sectorBytes});
  return spots;
}

bool ReadSamples(const platform::Device& device, const std::vector<SampleSpot>& spots,
                 std::vector<SamplePrint>* prints, const SampleProgress& progress) {
  prints->assign(spots.size(), SamplePrint());
  std::uint64_t total = 0;
  for (const SampleSpot& spot : spots) total += spot.bytes;
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(kChunkBytes));
  std::uint64_t done = 0;
  for (std::size_t i = 0; i < spots.size(); ++i) {
    SamplePrint& print = (*prints)[i];
    Hasher hasher;
    bool whole = platform::SetPosition(device, static_cast<std::int64_t>(spots[i].offset), platform::Origin::Begin);
    bool constant = true;
    std::uint8_t firstByte = 0;
    for (std::uint64_t at = 0; whole && at < spots[i].bytes; at += kChunkBytes) {
      const auto bytes = static_cast<std::uint32_t>(std::min(kChunkBytes, spots[i].bytes - at));
      whole = platform::ReadDevice(device, chunk.data(), bytes) == bytes;
      if (!whole) break;
      if (at == 0) firstByte = chunk[0];
      constant = constant && std::all_of(chunk.begin(), chunk.begin() + bytes,
                                         [firstByte](std::uint8_t b) { return b == firstByte; });
      hasher.Add(chunk.data(), bytes);
    }
    print.read = whole;
    print.constant = whole && constant;
    print.hash = hasher.value;
    done += spots[i].bytes;
    if (progress && !progress(done, total)) return false;
  }
  return true;
}

SampleComparison CompareSamples(const std::vector<SampleSpot>& spots, const std::vector<SamplePrint>& before,
                                const std::vector<SamplePrint>& after) {
  SampleComparison comparison;
  comparison.samples = spots.size();
  for (std::size_t i = 0; i < spots.size(); ++i) {
    comparison.sampledBytes += spots[i].bytes;
    if (i >= before.size() || !before[i].read) {
      ++comparison.unreadableBefore;
    } else if (i >= after.size() || !after[i].read) {
      ++comparison.unreadable;
    } else if (before[i].constant) {
      ++comparison.constant;
    } else if (before[i].hash == after[i].hash) {
      ++comparison.unchanged;
    }
  }
  return comparison;
}

std::string SampleVerificationLine(const SampleComparison& comparison, std::uint64_t deviceBytes,
                                   const std::string& target) {
  char share[32];
  const double percent = deviceBytes == 0 ? 0.0 : 100.0 * static_cast<double>(comparison.sampledBytes) /
                                                        static_cast<double>(deviceBytes);
  std::snprintf(share, sizeof share, "%.1f%%", percent);
  std::string line = "Verification: " + Samples(comparison.samples) + " (" + share + " of " + target +
                     ") read before and after; ";
  if (comparison.unchanged > 0) {
    line += Grouped(comparison.unchanged) +
            (comparison.unchanged == 1 ? " holds its former content." : " hold their former content.");
  } else if (comparison.unreadable > 0) {
    line += Grouped(comparison.unreadable) + " could not be read.";
  } else {
    line += "none holds its former content.";
  }
  if (comparison.constant > 0) {
    line.pop_back();
    line += "; " + Grouped(comparison.constant) + (comparison.constant == 1 ? " was" : " were") +
            " one value throughout before and cannot show a change.";
  }
  if (comparison.unreadableBefore > 0) {
    line.pop_back();
    line += "; " + Grouped(comparison.unreadableBefore) + " could not be read before and cannot show a change.";
  }
  return line;
}
