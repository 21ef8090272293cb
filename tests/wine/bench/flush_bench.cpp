// What the flushes of a durable wipe cost, measured where they are paid: whole three-pass
// drive runs (DoD 5220.22-M (E)) of the core on the real Windows calls under Wine, through a
// letter that flush-bench maps to a loop device with direct I/O over an image. Wine writes
// into Linux's page cache and FlushFileBuffers is fsync, so only a real block device shows
// what a flush costs; the simulated machine's flush is a copy in memory.
//
// Each run is made three ways, on the same device in the same program: with every flush the
// core sends, with only the flushes that do not stand at a checkpoint (end of pass, record
// removal), and with none (the write path before the core flushed). The flushes are taken out
// at the link (--wrap), so the core runs unchanged. Prints figures and ratios, asserts nothing.
//   dunmere_flush_bench.exe <letter> <MiB> <loop device name> [rounds]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/platform.h"
#include "tests/wine/platform/loop_counters.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"
#include "wipe/runs.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kMiB = 1ull << 20;
constexpr int kDoD = 1;

double Seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

enum class Flushes { None, OutsideCheckpoints, All };
const Flushes kAllModes[] = {Flushes::None, Flushes::OutsideCheckpoints, Flushes::All};

const char* ModeName(Flushes mode) {
  switch (mode) {
    case Flushes::None: return "no flushes";
    case Flushes::OutsideCheckpoints: return "no checkpoint flushes";
    case Flushes::All: return "every flush";
  }
  return "?";
}

struct RunFigures {
  bool succeeded = false;
  double runSeconds = 0;         // DriveWipeRun from call to return
  double pauseSeconds = 0;       // the pauses between passes, inside the run
  double finalFlushSeconds = 0;  // what was still cached after the run, put on the device
  std::vector<double> passSeconds;  // first block to the return of the pass's closing flush
  int checkpointFlushes = 0;
  double checkpointFlushSeconds = 0;
  int otherFlushes = 0;
  int skippedFlushes = 0;
  double ranges = 0;  // sectors that reached the device, in ranges of the run

  double WorkSeconds() const { return runSeconds - pauseSeconds + finalFlushSeconds; }
  // The median: one pass that met a busy moment of the machine does not move it.
  double PassSeconds() const {
    if (passSeconds.empty()) return 0;
    std::vector<double> sorted = passSeconds;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
  }
};

// What the intercepted calls of the run in progress report to.
struct Interception {
  Flushes mode = Flushes::All;
  std::uint64_t rangeBytes = 0;
  RunFigures* figures = nullptr;
  std::vector<Clock::time_point> passStarts;
  std::uint64_t startedUpTo = 0;  // the end of the last write started in flight
};
Interception the;

// Writes in flight do not move the handle's position: where the pass stands is the end of the
// last one started, or the position a synchronous write (the tail) left.
std::uint64_t WrittenUpTo(const platform::Device& device, bool* known) {
  std::uint64_t position = 0;
  *known = platform::SetPosition(device, 0, platform::Origin::Current, &position);
  return position > the.startedUpTo ? position : the.startedUpTo;
}

// A checkpoint's flushes stand where its record says the pass goes on: at a block boundary
// inside the range (the record's save puts the position back). The flush that closes a pass
// stands at the end of the range, the one after the record's removal near its start.
bool AtCheckpoint(const platform::Device& device) {
  bool known = false;
  const std::uint64_t position = WrittenUpTo(device, &known);
  return known && position != 0 && position < the.rangeBytes && position % kMiB == 0;
}

bool AtRangeEnd(const platform::Device& device) {
  bool known = false;
  return WrittenUpTo(device, &known) == the.rangeBytes && known;
}

}  // namespace

// The core's calls to FlushDevice and SleepMs come here (-Wl,--wrap); __real_ is the Win32
// implementation.
extern "C" bool __real__ZN8platform11FlushDeviceERKNS_6DeviceE(const platform::Device& device);
extern "C" void __real__ZN8platform7SleepMsEj(std::uint32_t milliseconds);

extern "C" bool __wrap__ZN8platform11FlushDeviceERKNS_6DeviceE(const platform::Device& device) {
  if (the.figures == nullptr) return __real__ZN8platform11FlushDeviceERKNS_6DeviceE(device);
  RunFigures& figures = *the.figures;
  const bool checkpoint = AtCheckpoint(device);
  const bool passEnd = !checkpoint && AtRangeEnd(device);
  if (the.mode == Flushes::None || (the.mode == Flushes::OutsideCheckpoints && checkpoint)) {
    ++figures.skippedFlushes;
    return true;
  }
  const Clock::time_point start = Clock::now();
  const bool flushed = __real__ZN8platform11FlushDeviceERKNS_6DeviceE(device);
  const Clock::time_point end = Clock::now();
  if (checkpoint) {
    ++figures.checkpointFlushes;
    figures.checkpointFlushSeconds += Seconds(end - start);
  } else {
    ++figures.otherFlushes;
  }
  // The first flush at the end of the range after a pass began closes that pass.
  if (passEnd && figures.passSeconds.size() < the.passStarts.size()) {
    figures.passSeconds.push_back(Seconds(end - the.passStarts[figures.passSeconds.size()]));
  }
  return flushed;
}

extern "C" platform::WriteInFlight __real__ZN8platform10StartWriteERKNS_6DeviceEyPKvj(
    const platform::Device& device, std::uint64_t offset, const void* buffer, std::uint32_t bytes);
extern "C" platform::WriteInFlight __wrap__ZN8platform10StartWriteERKNS_6DeviceEyPKvj(
    const platform::Device& device, std::uint64_t offset, const void* buffer, std::uint32_t bytes) {
  the.startedUpTo = offset + bytes;
  return __real__ZN8platform10StartWriteERKNS_6DeviceEyPKvj(device, offset, buffer, bytes);
}

extern "C" void __wrap__ZN8platform7SleepMsEj(std::uint32_t milliseconds) {
  const Clock::time_point start = Clock::now();
  __real__ZN8platform7SleepMsEj(milliseconds);
  if (the.figures != nullptr) the.figures->pauseSeconds += Seconds(Clock::now() - start);
}

namespace {

struct Bench {
  std::string letter;      // "B:"
  std::string devicePath;  // "\\.\B:"
  std::string loop;        // "loop3"
  std::uint64_t rangeBytes;
};

// The volume checked on "Wipe drive" as the commands hand it to a run; resumable, so the run
// takes its checkpoints; no format afterwards.
void SelectVolume(const Bench& bench) {
  headless::Reset();
  CancelRequested = false;
  DriveRecord& record = DriveTable[0];
  record = DriveRecord{};
  SetField(record.RootPath, bench.letter + "\\");
  SetField(record.FileSystem, "NTFS");
  record.Capacity = bench.rangeBytes;
  SetField(record.CapacityText, FormatSizeText(bench.rangeBytes));
  record.DiskNumber = kUnknownDisk;
  DriveCount = 1;
  SelectedDriveRow = 0;
  ResetProgressWindow(false);
  ui::SetShutdownBox(false);
  ui::SetOptionChecked(ui::Option::WipeResumable, true);
}

// Puts what the device still caches on it; false when it cannot be opened or flushed.
bool FlushWhatIsCached(const Bench& bench) {
  platform::Device device = platform::OpenDevice(bench.devicePath, platform::Access::ReadWrite);
  return device && __real__ZN8platform11FlushDeviceERKNS_6DeviceE(device);
}

bool Sectors(const Bench& bench, std::uint64_t* sectors) {
  if (wine_tests::SectorsWritten(bench.loop, sectors)) return true;
  std::printf("flush bench: cannot read /sys/block/%s/stat\n", bench.loop.c_str());
  return false;
}

bool Run(const Bench& bench, Flushes mode, RunFigures* figures) {
  SelectVolume(bench);
  std::uint64_t before = 0;
  if (!FlushWhatIsCached(bench) || !Sectors(bench, &before)) return false;
  the = Interception{mode, bench.rangeBytes, figures, {}};
  std::string caption;
  headless::SetPumpHook([&](long) {
    if (headless::ProgressCaption() == caption) return;
    caption = headless::ProgressCaption();
    the.passStarts.push_back(Clock::now());
  });
  const Clock::time_point start = Clock::now();
  figures->succeeded = DriveWipeRun(bench.letter, false, kDoD);
  const Clock::time_point end = Clock::now();
  headless::SetPumpHook(nullptr);
  the.figures = nullptr;
  figures->runSeconds = Seconds(end - start);
  const bool flushed = FlushWhatIsCached(bench);
  figures->finalFlushSeconds = Seconds(Clock::now() - end);
  std::uint64_t after = 0;
  if (!flushed || !Sectors(bench, &after)) return false;
  figures->ranges = static_cast<double>(after - before) * 512 / static_cast<double>(bench.rangeBytes);
  return true;
}

double TotalPassSeconds(const RunFigures& figures) {
  double sum = 0;
  for (double s : figures.passSeconds) sum += s;
  return sum;
}

void PrintRun(Flushes mode, const RunFigures& f) {
  std::string passes;
  for (double s : f.passSeconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%.2f", passes.empty() ? "" : " ", s);
    passes += text;
  }
  std::printf("  %-22s run %6.2f s (pauses %.2f)  final flush %5.2f s  work %6.2f s  on device "
              "%.2f ranges  flushes %d at checkpoints (%.2f s) + %d others, %d left out  "
              "passes [%s] s%s\n",
              ModeName(mode), f.runSeconds, f.pauseSeconds, f.finalFlushSeconds, f.WorkSeconds(),
              f.ranges, f.checkpointFlushes, f.checkpointFlushSeconds, f.otherFlushes,
              f.skippedFlushes, passes.c_str(), f.succeeded ? "" : "  (run failed)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::printf("usage: dunmere_flush_bench <letter> <MiB> <loop device name> [rounds]\n");
    return 2;
  }
  Bench bench{std::string(1, argv[1][0]) + ":", std::string("\\\\.\\") + argv[1][0] + ":",
              argv[3], std::strtoull(argv[2], nullptr, 10) * kMiB};
  const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 2;
  platform::Initialise(platform::ExecutablePath());
  std::printf("flush bench: three-pass drive runs of %llu MiB through %s on %s (direct I/O %s), "
              "resumable, best of %d rounds\n",
              static_cast<unsigned long long>(bench.rangeBytes / kMiB), bench.letter.c_str(),
              bench.loop.c_str(),
              wine_tests::LoopAttribute(bench.loop, "dio") == "1" ? "on" : "OFF", rounds);

  // Rounds alternate the modes, so a busy moment of the machine does not fall on one alone;
  // each mode keeps its fastest run.
  RunFigures best[3];
  for (int round = 0; round < rounds; ++round) {
    for (int m = 0; m < 3; ++m) {
      RunFigures figures;
      if (!Run(bench, kAllModes[m], &figures)) return 1;
      PrintRun(kAllModes[m], figures);
      if (round == 0 || figures.WorkSeconds() < best[m].WorkSeconds()) best[m] = figures;
    }
  }
  const RunFigures& none = best[0];
  const RunFigures& outside = best[1];
  const RunFigures& all = best[2];
  std::printf("best of each:\n");
  for (int m = 0; m < 3; ++m) PrintRun(kAllModes[m], best[m]);
  std::printf("whole run until all is on the device, pauses left out: every flush %.2f s, "
              "no flushes %.2f s: ratio %.3f (%.2f against %.2f ranges on the device)\n",
              all.WorkSeconds(), none.WorkSeconds(),
              none.WorkSeconds() > 0 ? all.WorkSeconds() / none.WorkSeconds() : 0, all.ranges,
              none.ranges);
  std::printf("whole run as timed, pauses included: every flush %.2f s, no flushes %.2f s "
              "(+ %.2f s final flush): ratio %.3f\n",
              all.runSeconds, none.runSeconds, none.finalFlushSeconds,
              none.runSeconds > 0 ? all.runSeconds / none.runSeconds : 0);
  const double pass = outside.PassSeconds();
  if (pass > 0 && all.PassSeconds() > 0) {
    std::printf("checkpoints' flushes: a pass takes %.3f s with them, %.3f s without: "
                "+%.2f%% of a pass (median passes; under 3%% wanted); time inside them %.2f%% of "
                "the passes\n",
                all.PassSeconds(), pass, 100.0 * (all.PassSeconds() / pass - 1),
                100.0 * all.checkpointFlushSeconds / TotalPassSeconds(all));
  } else {
    std::printf("checkpoints' flushes: no pass closed with a flush at the end of the range, so "
                "passes could not be timed (does the core flush at the end of a pass?)\n");
  }
  return 0;
}
