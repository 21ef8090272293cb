#pragma once
// Verification by sampling, for an erase whose result has no pattern to compare with (a disk's
// own sanitize leaves noise or whatever the disk chooses). The disk is read in samples before
// and after: at least 1,000 equal subsections with two non-overlapping pseudorandom samples in
// each, plus the first and the last sector, together at least a tenth of the disk. After the
// erase no sample may hold what it held before; a sample that held one byte value throughout
// cannot show a change and is counted apart.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

inline constexpr std::uint32_t kSampleSubsections = 1000;

struct SampleSpot {
  std::uint64_t offset = 0;  // bytes from the device's start, whole sectors
  std::uint64_t bytes = 0;
};

// The samples of a device of `deviceBytes` in sectors of `sectorBytes`, in address order, the
// same for the same seed. A device too small for two samples of a sector in each subsection is
// sampled whole, a sector a sample.
std::vector<SampleSpot> PlanSamples(std::uint64_t deviceBytes, std::uint32_t sectorBytes, std::uint64_t seed);

// What a sample held: a hash of its bytes, and whether every byte was the same.
struct SamplePrint {
  bool read = false;  // every byte of it could be read
  bool constant = false;
  std::uint64_t hash = 0;
};

// Called after each sample with the bytes read so far and in all; false stops the reading.
using SampleProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Reads every sample through the device; one print per spot. False when the progress stopped it.
bool ReadSamples(const platform::Device& device, const std::vector<SampleSpot>& spots,
                 std::vector<SamplePrint>* prints, const SampleProgress& progress = nullptr);

struct SampleComparison {
  std::uint64_t samples = 0;
  std::uint64_t sampledBytes = 0;
  std::uint64_t constant = 0;    // held one byte value before: cannot show a change
  std::uint64_t unchanged = 0;   // hold their former content
  std::uint64_t unreadable = 0;  // read before, but could not be read after
  // Could not be read before (a disk whose last sanitize failed answers no read): nothing to
  // compare with, so they cannot show a change either.
  std::uint64_t unreadableBefore = 0;
  bool Passed() const { return unchanged == 0 && unreadable == 0; }
};
SampleComparison CompareSamples(const std::vector<SampleSpot>& spots, const std::vector<SamplePrint>& before,
                                const std::vector<SamplePrint>& after);

// "Verification: 2,002 samples (10.0% of disk 1) read before and after; none holds its former
// content." and its variants; `target` names the device ("disk 1").
std::string SampleVerificationLine(const SampleComparison& comparison, std::uint64_t deviceBytes,
                                   const std::string& target);
