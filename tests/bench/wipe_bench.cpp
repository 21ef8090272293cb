// Wipe speed: the engine writes a simulated volume whose disk is an image file on the host;
// dd writes the same file the same way (1 MiB blocks over the existing file), so the ratio
// shows what the engine adds to the raw write. The pauses between passes are virtual here
// (the simulated clock) and reported apart from the measured time.
#include "app/window_runs.h"
#include "app/target_lists.h"
#include "tests/bench/wipe_bench.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/progress_window.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/sim/machine.h"
#include "ui/headless/headless.h"
#include "wipe/methods.h"
#include "wipe/random_source.h"
#include "wipe/runs.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kMiB = 1048576;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double MiBPerSecond(std::uint64_t mebibytes, double seconds) {
  return seconds > 0 ? static_cast<double>(mebibytes) / seconds : 0;
}

// dd if=/dev/zero of=image bs=1M count=n conv=notrunc, its output silenced; the wall time of
// the whole process, or a negative number when it could not run.
double TimeDd(const std::string& image, std::uint64_t mebibytes) {
  const std::string of = "of=" + image;
  const std::string count = "count=" + std::to_string(mebibytes);
  std::vector<std::string> args = {"dd", "if=/dev/zero", of, "bs=1M", count, "conv=notrunc"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "dd", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return SecondsSince(start);
}

int CaptionPass(const std::string& caption) {
  const std::string marker = "performing overwrite ";
  const std::size_t at = caption.find(marker);
  return at == std::string::npos ? 0 : std::stoi(caption.substr(at + marker.size()));
}

struct MethodTiming {
  std::vector<double> passSeconds;
  double wallSeconds = 0;
  bool succeeded = false;
};

// One fresh run of the method over E:, timed per pass from the event pumps: a pass lasts from
// its first block to the first block of the next pass (or the end of the run). With verify,
// the verification is timed as one more pass after the last.
MethodTiming TimeMethod(int methodId, bool verify) {
  ui::SetOptionChecked(ui::Option::VerifyAfterWipe, verify);
  RefreshDriveList();
  for (int row = 0; row < DriveCount; ++row) {
    if (FieldText(DriveTable[row].RootPath) == "E:\\") SelectedDriveRow = row;
  }
  headless::SetActivePage(ui::kPageWipeDrive);
  ResetProgressWindow(true);
  ui::SetFormatBox(false, true);

  std::vector<Clock::time_point> passStarts;
  int currentPass = 0;
  headless::SetPumpHook([&](long) {
    const int pass = CaptionPass(headless::ProgressCaption());
    if (pass == currentPass) return;
    currentPass = pass;
    passStarts.push_back(Clock::now());
  });
  MethodTiming timing;
  const Clock::time_point start = Clock::now();
  timing.succeeded = DriveWipeRun("E:", false, methodId);
  const Clock::time_point end = Clock::now();
  headless::SetPumpHook(nullptr);
  timing.wallSeconds = std::chrono::duration<double>(end - start).count();
  for (std::size_t i = 0; i < passStarts.size(); ++i) {
    const Clock::time_point passEnd = i + 1 < passStarts.size() ? passStarts[i + 1] : end;
    timing.passSeconds.push_back(std::chrono::duration<double>(passEnd - passStarts[i]).count());
  }
  return timing;
}

// Milliseconds per MiB of filling a 1 MiB buffer, best of several rounds.
template <typename Fill>
double MsPerMiB(Fill fill, int rounds) {
  std::vector<std::uint8_t> buffer(kMiB);
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    const Clock::time_point start = Clock::now();
    fill(buffer.data());
    best = std::min(best, SecondsSince(start) * 1000.0);
  }
  return best;
}

const char* KernelName(RandomKernel kernel) {
  switch (kernel) {
    case RandomKernel::Plain: return "plain";
    case RandomKernel::Sse41: return "sse4.1";
    case RandomKernel::Avx2: return "avx2";
  }
  return "?";
}

void RandomFillBench() {
  std::uint32_t state = 12345;
  const double reference = MsPerMiB([&](std::uint8_t* out) { FillRandomBytesOneByOne(&state, out, kMiB); }, 20);
  std::printf("random fill: one draw per byte %.3f ms/MiB\n", reference);
  for (RandomKernel kernel : {RandomKernel::Plain, RandomKernel::Sse41, RandomKernel::Avx2}) {
    if (!RandomKernelAvailable(kernel)) continue;
    const double fast = MsPerMiB([&](std::uint8_t* out) { FillRandomBytesWith(kernel, &state, out, kMiB); }, 200);
    std::printf("random fill: %-6s lanes   %.3f ms/MiB  (%.1fx the one-draw loop)%s\n", KernelName(kernel), fast,
                reference / fast, kernel == BestRandomKernel() ? "  <- used" : "");
  }
}

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double value : values) sum += value;
  return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

// The quickest of a few runs of the method, so that a busy machine's one slow moment does not
// decide a comparison; with verify, the read-back is the last of its pass times.
MethodTiming QuickestRun(int methodId, bool verify, int rounds) {
  MethodTiming best;
  for (int round = 0; round < rounds; ++round) {
    sim::FormatVolume('E', "NTFS", "", 0);
    const MethodTiming timing = TimeMethod(methodId, verify);
    if (round == 0 || (timing.succeeded && timing.wallSeconds < best.wallSeconds)) best = timing;
  }
  return best;
}

// A verified run against the same method unverified: what the verification adds, in passes of
// that method (at most 1.05 is the aim), and the read-back against the last pass's write. A
// fixed last pass, and a random-data one whose content is regenerated from its seeds.
void VerifyBench(std::uint64_t mebibytes) {
  constexpr int kRounds = 3;
  for (int id : {0, 4}) {
    const MethodTiming plain = QuickestRun(id, false, kRounds);
    const MethodTiming verified = QuickestRun(id, true, kRounds);
    const std::size_t passes = static_cast<std::size_t>(WipeMethods[id].passCount);
    if (!verified.succeeded || verified.passSeconds.size() != passes + 1) {
      std::printf("verify: method %d did not verify\n", id);
      continue;
    }
    const double reading = verified.passSeconds.back();
    const double lastPass = verified.passSeconds[passes - 1];
    const double onePass = Mean(plain.passSeconds);
    const double extra = verified.wallSeconds - plain.wallSeconds;
    std::printf("verify: method %d: read back %.2f s (%.1f MiB/s) after a last pass of %.2f s: %.2f of it\n", id,
                reading, MiBPerSecond(mebibytes, reading), lastPass, lastPass > 0 ? reading / lastPass : 0);
    std::printf("verify: method %d: quickest of %d runs %.2f s verified, %.2f s not: +%.2f s = %.2f passes of "
                "%.2f s (aim: at most 1.05)\n",
                id, kRounds, verified.wallSeconds, plain.wallSeconds, extra, onePass > 0 ? extra / onePass : 0, onePass);
  }
}

double PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux reports KiB
}

}  // namespace

bool WipeBench(const std::string& imageFolder, std::uint64_t mebibytes) {
  const std::string image = imageFolder + "/wipe-disk1.img";
  sim::Machine machine;
  sim::Disk disk;
  disk.number = 1;
  disk.size = mebibytes * kMiB;
  disk.image = image;
  machine.disks = {disk};
  sim::Volume volume;
  volume.letter = 'E';
  volume.disk = 1;
  volume.offset = 0;
  volume.length = mebibytes * kMiB;
  volume.fileSystem = "NTFS";
  machine.volumes = {volume};
  std::string error;
  if (!sim::Load(machine, &error)) {
    std::printf("wipe: the volume could not be made: %s\n", error.c_str());
    return false;
  }
  headless::Reset();
  std::printf("wipe: %llu MiB volume on an image file, dd writes the same file (if=/dev/zero bs=1M conv=notrunc)\n",
              static_cast<unsigned long long>(mebibytes));

  // The first write of a new image file is slower than any later one: not measured.
  if (TimeDd(image, mebibytes) < 0) {
    std::printf("wipe: dd could not be run\n");
    return false;
  }
  double totalWall = 0;
  int totalPauses = 0;
  for (int id = 0; id < kMethodCount; ++id) {
    // dd just before and just after the method, so both see the same state of the page cache
    // and of the disk behind it.
    const double ddBefore = TimeDd(image, mebibytes);
    // The image must look formatted again for the next run's list; the run does not mind.
    sim::FormatVolume('E', "NTFS", "", 0);
    const MethodTiming timing = TimeMethod(id, false);
    const double ddAfter = TimeDd(image, mebibytes);
    if (ddBefore < 0 || ddAfter < 0) {
      std::printf("wipe: dd could not be run\n");
      return false;
    }
    const double dd = MiBPerSecond(2 * mebibytes, ddBefore + ddAfter);
    const int pauses = WipeMethods[id].passCount > 1 ? WipeMethods[id].passCount : 0;
    std::printf("%d %s%s\n", id, WipeMethods[id].boxText, timing.succeeded ? "" : "  (run failed)");
    for (std::size_t pass = 0; pass < timing.passSeconds.size(); ++pass) {
      const double speed = MiBPerSecond(mebibytes, timing.passSeconds[pass]);
      std::printf("  pass %zu: %8.1f MiB/s   dd %8.1f MiB/s   ratio %.2f\n", pass + 1, speed, dd,
                  dd > 0 ? speed / dd : 0);
    }
    std::printf("  total %.2f s measured + %d s of pauses between passes (virtual here) = %.2f s\n",
                timing.wallSeconds, pauses, timing.wallSeconds + pauses);
    totalWall += timing.wallSeconds;
    totalPauses += pauses;
  }
  std::printf("wipe: all methods %.2f s measured + %d s of pauses = %.2f s\n", totalWall, totalPauses,
              totalWall + totalPauses);
  VerifyBench(mebibytes);
  RandomFillBench();
  std::printf("peak resident memory: %.1f MiB\n", PeakMemoryMiB());
  return true;
}
