// What verification by sampling costs against the erase it checks: the two sample reads of a
// device (before and after, a tenth of it each) against one overwrite pass of the same device,
// on the real Windows calls under Wine, through a letter that sampling-bench maps to a loop
// device with direct I/O. The pass is the bare writes of a run (1 MiB blocks, four in flight,
// one flush at the end), so the ratio errs towards sampling looking dear. Prints figures and
// ratios, asserts nothing.
//   dunmere_sampling_bench.exe <letter> <MiB> <loop device name> [rounds]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "wipe/sampling.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kMiB = 1ull << 20;
constexpr int kInFlight = 4;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One pass of zeros over the whole device; negative when a write or the flush failed.
double TimePass(const platform::Device& device, std::uint64_t bytes) {
  std::vector<platform::IoBuffer> buffers;
  for (int i = 0; i < kInFlight; ++i) {
    buffers.emplace_back(kMiB);
    if (!buffers.back()) return -1;
    std::fill(buffers.back().data(), buffers.back().data() + kMiB, 0);
  }
  std::vector<platform::WriteInFlight> writes(kInFlight, platform::kNoWrite);
  bool ok = true;
  const Clock::time_point start = Clock::now();
  std::uint64_t block = 0;
  for (std::uint64_t offset = 0; offset < bytes && ok; offset += kMiB, ++block) {
    const std::size_t slot = static_cast<std::size_t>(block % kInFlight);
    if (writes[slot] != platform::kNoWrite) ok = platform::FinishWrite(device, writes[slot]) == kMiB;
    const auto length = static_cast<std::uint32_t>(std::min(kMiB, bytes - offset));
    writes[slot] = platform::StartWrite(device, offset, buffers[slot].data(), length);
    ok = ok && writes[slot] != platform::kNoWrite;
  }
  for (platform::WriteInFlight write : writes) {
    if (write != platform::kNoWrite && platform::FinishWrite(device, write) == 0) ok = false;
  }
  ok = ok && platform::FlushDevice(device);
  const double seconds = SecondsSince(start);
  return ok ? seconds : -1;
}

double TimeSampleRead(const platform::Device& device, const std::vector<SampleSpot>& spots) {
  std::vector<SamplePrint> prints;
  const Clock::time_point start = Clock::now();
  if (!ReadSamples(device, spots, &prints)) return -1;
  const double seconds = SecondsSince(start);
  for (const SamplePrint& print : prints) {
    if (!print.read) return -1;
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::printf("usage: dunmere_sampling_bench.exe <letter> <MiB> <loop device name> [rounds]\n");
    return 2;
  }
  const std::string path = std::string("\\\\.\\") + argv[1][0] + ":";
  const std::uint64_t bytes = std::strtoull(argv[2], nullptr, 10) * kMiB;
  const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
  platform::Device device = platform::OpenDevice(path, platform::Access::ReadWriteUnbuffered);
  if (!device.valid()) {
    std::printf("sampling bench: %s could not be opened\n", path.c_str());
    return 1;
  }
  const std::vector<SampleSpot> spots = PlanSamples(bytes, 512, 20261211);
  std::uint64_t sampled = 0;
  for (const SampleSpot& spot : spots) sampled += spot.bytes;

  std::vector<double> passes, before, after;
  for (int round = 0; round < rounds; ++round) {
    const double b = TimeSampleRead(device, spots);
    const double p = TimePass(device, bytes);
    const double a = TimeSampleRead(device, spots);
    if (b < 0 || p < 0 || a < 0) {
      std::printf("sampling bench: round %d failed (a read, a write or the flush)\n", round + 1);
      return 1;
    }
    before.push_back(b);
    passes.push_back(p);
    after.push_back(a);
    std::printf("round %d: samples before %.3f s, pass %.3f s, samples after %.3f s\n", round + 1, b, p, a);
  }
  const double pass = Median(passes);
  const double reads = Median(before) + Median(after);
  std::printf("device %s (%s): %llu MiB; %zu samples of %.1f%% of it\n", path.c_str(), argv[3],
              static_cast<unsigned long long>(bytes / kMiB), spots.size(),
              100.0 * static_cast<double>(sampled) / static_cast<double>(bytes));
  std::printf("one overwrite pass: %.3f s (%.1f MiB/s)\n", pass,
              pass > 0 ? static_cast<double>(bytes) / kMiB / pass : 0.0);
  std::printf("sample reads before + after: %.3f s (%.1f MiB/s of samples)\n", reads,
              reads > 0 ? 2.0 * static_cast<double>(sampled) / kMiB / reads : 0.0);
  std::printf("ratio of the two sample reads to one pass: %.3f (aim: at most 0.25)\n",
              pass > 0 ? reads / pass : 0.0);
  return 0;
}
