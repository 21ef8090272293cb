// The most a drive run can get out of the device under this Wine: the writes a run makes, with
// nothing else. 1 MiB blocks from page-aligned memory, 4 in flight on a handle opened unbuffered
// and overlapped; at every twentieth of a pass the writes are completed, the device flushed, a
// 4 KiB record written and flushed again; the pass ends with a flush. No pattern is made, and
// with "pumps" the window messages are processed twice per block, as a run does, on a window of
// its own; with "no-checkpoints" the writes go on without the checkpoints' flushes and records.
// device-bench runs it beside the program's own runs, so the gap between a run and dd
// splits into what the program costs and what the platform does with these writes. Given
// several letters ("QRST") it writes them all at once, one thread and one handle each, as the
// console program runs several targets (parallel-bench).
//   dunmere_write_loop_bench.exe <letters> <MiB> <passes> [pumps] [no-checkpoints]
// Prints "pass <index> <seconds>" for each pass, from its first write to its last flush (the
// last device's, with several).
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kBlock = 1u << 20;
constexpr int kInFlight = 4;
constexpr DWORD kRecord = 4096;

struct Slot {
  void* memory = nullptr;
  OVERLAPPED overlapped = {};
  bool busy = false;
};

bool Complete(HANDLE device, Slot* slot) {
  if (!slot->busy) return true;
  slot->busy = false;
  DWORD moved = 0;
  return GetOverlappedResult(device, &slot->overlapped, &moved, TRUE) && moved == kBlock;
}

bool CompleteAll(HANDLE device, Slot* slots) {
  bool whole = true;
  for (int i = 0; i < kInFlight; ++i) whole = Complete(device, &slots[i]) && whole;
  return whole;
}

bool Start(HANDLE device, Slot* slot, std::uint64_t offset) {
  slot->overlapped.Offset = static_cast<DWORD>(offset);
  slot->overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  ResetEvent(slot->overlapped.hEvent);
  slot->busy = true;
  if (WriteFile(device, slot->memory, kBlock, nullptr, &slot->overlapped) || GetLastError() == ERROR_IO_PENDING) {
    return true;
  }
  slot->busy = false;
  return false;
}

bool WriteRecord(HANDLE device, void* memory) {
  OVERLAPPED overlapped = {};
  overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD moved = 0;
  const bool started = WriteFile(device, memory, kRecord, nullptr, &overlapped) || GetLastError() == ERROR_IO_PENDING;
  const bool done = started && GetOverlappedResult(device, &overlapped, &moved, TRUE) && moved == kRecord;
  CloseHandle(overlapped.hEvent);
  return done;
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// One pass over the first `blocks` blocks; false when a write or a flush failed.
bool WritePass(HANDLE device, Slot* slots, void* record, std::uint32_t blocks, bool pumps, bool checkpoints) {
  const std::uint32_t interval = blocks / 20 == 0 ? 1 : blocks / 20;
  for (std::uint32_t block = 0; block < blocks; ++block) {
    if (checkpoints && (block == 1 || (block != 0 && block % interval == 0))) {
      if (!CompleteAll(device, slots) || !FlushFileBuffers(device) || !WriteRecord(device, record) ||
          !FlushFileBuffers(device)) {
        return false;
      }
    }
    if (pumps) Pump();
    Slot* slot = &slots[block % kInFlight];
    if (!Complete(device, slot) || !Start(device, slot, static_cast<std::uint64_t>(block) * kBlock)) return false;
    if (pumps) Pump();
  }
  return CompleteAll(device, slots) && FlushFileBuffers(device);
}

// One device's handle and memory.
struct Loop {
  std::string path;
  HANDLE device = INVALID_HANDLE_VALUE;
  Slot slots[kInFlight];
  void* record = nullptr;
  bool passed = false;
};

bool Open(Loop* loop) {
  loop->device = CreateFileA(loop->path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED, nullptr);
  if (loop->device == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "write loop: %s will not open (%lu)\n", loop->path.c_str(), GetLastError());
    return false;
  }
  for (Slot& slot : loop->slots) {
    slot.memory = VirtualAlloc(nullptr, kBlock, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    slot.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (slot.memory != nullptr) std::memset(slot.memory, 0x5A, kBlock);
  }
  loop->record = VirtualAlloc(nullptr, kRecord, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  return true;
}

void Close(Loop* loop) {
  for (Slot& slot : loop->slots) CloseHandle(slot.overlapped.hEvent);
  if (loop->device != INVALID_HANDLE_VALUE) CloseHandle(loop->device);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: dunmere_write_loop_bench <letters> <MiB> <passes> [pumps] [no-checkpoints]\n");
    return 2;
  }
  std::vector<Loop> loops(std::strlen(argv[1]));
  for (std::size_t i = 0; i < loops.size(); ++i) loops[i].path = std::string("\\\\.\\") + argv[1][i] + ":";
  const auto blocks = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const int passes = std::atoi(argv[3]);
  bool pumps = false;
  bool checkpoints = true;
  for (int i = 4; i < argc; ++i) {
    pumps = pumps || std::strcmp(argv[i], "pumps") == 0;
    checkpoints = checkpoints && std::strcmp(argv[i], "no-checkpoints") != 0;
  }
  HWND window = nullptr;
  if (pumps) {
    window = CreateWindowExW(0, L"STATIC", L"write loop", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 100, nullptr,
                             nullptr, nullptr, nullptr);
  }
  int status = 0;
  for (Loop& loop : loops) {
    if (!Open(&loop)) status = 1;
  }
  for (int pass = 0; pass < passes && status == 0; ++pass) {
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> threads;
    for (Loop& loop : loops) {
      threads.emplace_back([&loop, blocks, pumps, checkpoints] {
        loop.passed = WritePass(loop.device, loop.slots, loop.record, blocks, pumps, checkpoints);
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (const Loop& loop : loops) {
      if (!loop.passed) {
        std::fprintf(stderr, "write loop: pass %d failed on %s\n", pass, loop.path.c_str());
        status = 1;
      }
    }
    if (status != 0) break;
    std::printf("pass %d %.4f\n", pass, std::chrono::duration<double>(Clock::now() - start).count());
    Sleep(1000);  // the pause a run makes between passes
  }
  for (Loop& loop : loops) Close(&loop);
  if (window != nullptr) DestroyWindow(window);
  return status;
}
