// One whole drive run of the core on the real Windows calls under Wine, through a letter that
// device-bench maps to a loop device with direct I/O, timed pass by pass. Built twice: with the
// real windows (the progress window drawn as a user sees it) and with the headless ones, so the
// bench can tell what the window costs. device-bench runs it between dd and shred on the same
// device and takes the medians; this program only measures one run and prints it.
//   dunmere_device_bench[_windows].exe <letter> <MiB> <method id>
// Prints "pass <index> <seconds>" for each pass, "pass verify <seconds>" for the read-back after
// the last pass when the run makes one, then "run <seconds> <succeeded 0|1>" and
// "memory <private bytes above those before the run, the most seen at a pass's start or end>". A pass runs from its caption to the pause after it
// (to the end of the run, everything put on the device, for a single pass).
#include <windows.h>
#include <psapi.h>

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
#include "ui/ui.h"
#include "wipe/runs.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kMiB = 1ull << 20;

struct Timings {
  bool running = false;
  std::string letter;
  std::size_t memoryBefore = 0;  // private bytes just before the run
  std::size_t memoryPeak = 0;    // the most seen at a pass's start or end
  std::vector<Clock::time_point> passStarts;
  std::vector<Clock::time_point> passEnds;
  bool verified = false;  // the run read its last pass back after writing it
  Clock::time_point verifyStart;
};
Timings the;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

std::size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PagefileUsage;
}

// Puts what the device still caches on it, as dd and shred do before they end.
void FlushWhatIsCached(const std::string& letter) {
  const std::string path = "\\\\.\\" + letter;
  HANDLE device = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  const bool flushed = device != INVALID_HANDLE_VALUE && FlushFileBuffers(device);
  if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
  if (!flushed) std::printf("note: the device could not be flushed\n");
}

void NoteMemory() {
  const std::size_t now = PrivateBytes();
  if (now > the.memoryPeak) the.memoryPeak = now;
}

}  // namespace

// The core's calls come here (-Wl,--wrap); __real_ is the implementation linked in.
extern "C" void __real__ZN2ui18SetProgressCaptionERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    const std::string& text);
extern "C" void __wrap__ZN2ui18SetProgressCaptionERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    const std::string& text) {
  // Each pass names itself before its first block; so does the read-back after the last pass,
  // which is timed apart from the passes.
  if (the.running && text.find("Verifying") != std::string::npos) {
    NoteMemory();
    if (the.passEnds.size() < the.passStarts.size()) {
      FlushWhatIsCached(the.letter);
      the.passEnds.push_back(Clock::now());
    }
    the.verified = true;
    the.verifyStart = Clock::now();
  } else if (the.running) {
    NoteMemory();
    the.passStarts.push_back(Clock::now());
  }
  __real__ZN2ui18SetProgressCaptionERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(text);
}

extern "C" void __real__ZN8platform7SleepMsEj(std::uint32_t milliseconds);
extern "C" void __wrap__ZN8platform7SleepMsEj(std::uint32_t milliseconds) {
  // The pause that follows every pass of a method of several. A pass ends when its writes are
  // on the device: what a write path leaves cached counts against it, as it does for dd.
  if (the.running) {
    NoteMemory();
    FlushWhatIsCached(the.letter);
    the.passEnds.push_back(Clock::now());
  }
  __real__ZN8platform7SleepMsEj(milliseconds);
}

#ifdef DUNMERE_REAL_WINDOWS
// The bench needs the main window's state (the "Wipe resumable" option) but none of the
// program's start-up: no checks, no inventory of the machine's drives.
extern "C" void __wrap__ZN3app10FormCreateEv() {}
#endif

namespace {

// The volume checked on "Wipe drive" as the commands hand it to a run: resumable, so the run
// takes its checkpoints; no format and no shutdown afterwards.
void SelectVolume(const std::string& letter, std::uint64_t bytes) {
  CancelRequested = false;
  DriveRecord& record = DriveTable[0];
  record = DriveRecord{};
  SetField(record.RootPath, letter + "\\");
  SetField(record.FileSystem, "NTFS");
  record.Capacity = bytes;
  SetField(record.CapacityText, FormatSizeText(bytes));
  record.DiskNumber = kUnknownDisk;
  DriveCount = 1;
  SelectedDriveRow = 0;
  ui::SetOptionChecked(ui::Option::WipeResumable, true);
  ResetProgressWindow(true);
  ui::SetFormatBox(false, true);
  ui::SetShutdownBox(false);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::printf("usage: dunmere_device_bench <letter> <MiB> <method id>\n");
    return 2;
  }
  const std::string letter = std::string(1, argv[1][0]) + ":";
  const std::uint64_t bytes = std::strtoull(argv[2], nullptr, 10) * kMiB;
  const int method = std::atoi(argv[3]);
  platform::Initialise(platform::ExecutablePath());
#ifdef DUNMERE_REAL_WINDOWS
  ui::InitFramework();
  ui::CreateMainWindow();
  ui::CreateLogWindow();
  ui::CreateProgressWindow();
#endif
  SelectVolume(letter, bytes);
  ui::ShowProgressWindow();
  ui::ProcessMessages();

  the.letter = letter;
  the.memoryBefore = PrivateBytes();
  the.memoryPeak = the.memoryBefore;
  the.running = true;
  const Clock::time_point start = Clock::now();
  const bool succeeded = DriveWipeRun(letter, false, method);
  FlushWhatIsCached(letter);
  const Clock::time_point end = Clock::now();
  the.running = false;
  NoteMemory();
  if (the.passEnds.size() < the.passStarts.size()) the.passEnds.push_back(end);

  for (std::size_t pass = 0; pass < the.passStarts.size() && pass < the.passEnds.size(); ++pass) {
    std::printf("pass %zu %.4f\n", pass, Seconds(the.passStarts[pass], the.passEnds[pass]));
  }
  if (the.verified) std::printf("pass verify %.4f\n", Seconds(the.verifyStart, end));
  std::printf("run %.4f %d\n", Seconds(start, end), succeeded ? 1 : 0);
  std::printf("memory %zu\n", the.memoryPeak - the.memoryBefore);
  return succeeded ? 0 : 1;
}
