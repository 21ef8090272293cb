#include "platform/win32/unbuffered_device.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/platform.h"
#include "platform/win32/unique_handle.h"

namespace platform::win32 {
namespace {

// Every power of two up to it divides it: a disk that will not tell its sector size is served
// right by it whether its sectors are 512 or 4096 bytes.
constexpr std::uint32_t kAssumedSectorBytes = 4096;

struct UnbufferedState {
  std::uint64_t position = 0;
  std::uint32_t sectorBytes = kAssumedSectorBytes;
  IoBuffer bounce;
  std::size_t bounceBytes = 0;
};

std::map<HANDLE, UnbufferedState>& States() {
  static std::map<HANDLE, UnbufferedState> states;
  return states;
}

// Runs on several threads open and close their handles at any time; each state is used only by
// the thread that owns its handle, and a map's entries stay where they are while others come
// and go, so only the map itself is guarded.
std::mutex& StatesMutex() {
  static std::mutex mutex;
  return mutex;
}

UnbufferedState* StateOf(HANDLE handle) {
  const std::lock_guard<std::mutex> lock(StatesMutex());
  auto found = States().find(handle);
  return found == States().end() ? nullptr : &found->second;
}

// One overlapped transfer or control, started and waited for.
class Waiter {
 public:
  Waiter() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) { overlapped_.hEvent = event_.get(); }
  bool ready() const { return event_.valid(); }
  OVERLAPPED* at(std::uint64_t offset) {
    overlapped_.Offset = static_cast<DWORD>(offset);
    overlapped_.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return &overlapped_;
  }
  OVERLAPPED* get() { return &overlapped_; }
  // The transfer's count once it is done; a call that neither finished nor went pending failed.
  BOOL Wait(HANDLE handle, BOOL started, DWORD* transferred) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return FALSE;
    return GetOverlappedResult(handle, &overlapped_, transferred, TRUE);
  }

 private:
  OVERLAPPED overlapped_ = {};
  UniqueHandle event_;
};

std::uint32_t Transfer(HANDLE handle, bool write, std::uint64_t offset, void* buffer, std::uint32_t bytes) {
  Waiter waiter;
  if (!waiter.ready()) return 0;
  DWORD transferred = 0;
  const BOOL started = write ? WriteFile(handle, buffer, bytes, nullptr, waiter.at(offset))
                             : ReadFile(handle, buffer, bytes, nullptr, waiter.at(offset));
  waiter.Wait(handle, started, &transferred);
  return transferred;
}

std::uint8_t* BounceOf(UnbufferedState* state, std::size_t bytes) {
  if (state->bounceBytes < bytes) {
    state->bounce = IoBuffer(bytes);
    state->bounceBytes = state->bounce ? bytes : 0;
  }
  return state->bounce.data();
}

bool Aligned(const UnbufferedState& state, const void* buffer, std::uint32_t bytes) {
  return state.position % state.sectorBytes == 0 && bytes % state.sectorBytes == 0 &&
         reinterpret_cast<std::uintptr_t>(buffer) % state.sectorBytes == 0;
}

// The whole sectors around [position, position + bytes), and the aligned memory that holds them.
struct SectorSpan {
  std::uint64_t start = 0;
  std::uint32_t bytes = 0;
  std::uint8_t* bounce = nullptr;  // null when the memory could not be had
};

SectorSpan SpanAround(UnbufferedState* state, std::uint32_t bytes) {
  SectorSpan span;
  span.start = state->position - state->position % state->sectorBytes;
  const std::uint64_t end = state->position + bytes;
  const std::uint64_t roundedEnd = (end + state->sectorBytes - 1) / state->sectorBytes * state->sectorBytes;
  span.bytes = static_cast<std::uint32_t>(roundedEnd - span.start);
  span.bounce = BounceOf(state, span.bytes);
  return span;
}

// Of `moved` bytes transferred from `start`, those that fall in the caller's range.
std::uint32_t CallerPart(std::uint64_t start, std::uint32_t moved, const UnbufferedState& state, std::uint32_t bytes) {
  const std::uint64_t lead = state.position - start;
  if (moved <= lead) return 0;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, moved - lead));
}

}  // namespace

void AdoptUnbuffered(HANDLE handle) {
  UnbufferedState* adopted = nullptr;
  {
    const std::lock_guard<std::mutex> lock(StatesMutex());
    adopted = &States()[handle];
  }
  UnbufferedState& state = *adopted;
  DISK_GEOMETRY geometry = {};
  DWORD returned = 0;
  if (WaitedControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &returned) &&
      geometry.BytesPerSector != 0 && (geometry.BytesPerSector & (geometry.BytesPerSector - 1)) == 0) {
    state.sectorBytes = geometry.BytesPerSector;
  }
}

void ForgetUnbuffered(HANDLE handle) {
  const std::lock_guard<std::mutex> lock(StatesMutex());
  States().erase(handle);
}

bool IsUnbuffered(HANDLE handle) { return StateOf(handle) != nullptr; }

void KeepPosition(HANDLE handle, std::uint64_t position) {
  if (UnbufferedState* state = StateOf(handle)) state->position = position;
}

bool KeptPosition(HANDLE handle, std::uint64_t* position) {
  const UnbufferedState* state = StateOf(handle);
  if (state == nullptr) return false;
  *position = state->position;
  return true;
}

std::uint32_t ReadUnbuffered(HANDLE handle, void* buffer, std::uint32_t bytes) {
  UnbufferedState* state = StateOf(handle);
  if (state == nullptr || bytes == 0) return 0;
  std::uint32_t got = 0;
  if (Aligned(*state, buffer, bytes)) {
    got = Transfer(handle, false, state->position, buffer, bytes);
  } else {
    const SectorSpan span = SpanAround(state, bytes);
    if (span.bounce == nullptr) return 0;
    got = CallerPart(span.start, Transfer(handle, false, span.start, span.bounce, span.bytes), *state, bytes);
    std::memcpy(buffer, span.bounce + (state->position - span.start), got);
  }
  state->position += got;
  return got;
}

// A transfer that does not cover whole sectors keeps the bytes around it: the sectors are read,
// patched and written back. At the end of the device the read comes back short and only what
// it returned is written back.
std::uint32_t WriteUnbuffered(HANDLE handle, const void* buffer, std::uint32_t bytes) {
  UnbufferedState* state = StateOf(handle);
  if (state == nullptr || bytes == 0) return 0;
  std::uint32_t put = 0;
  if (Aligned(*state, buffer, bytes)) {
    put = Transfer(handle, true, state->position, const_cast<void*>(buffer), bytes);
  } else {
    const SectorSpan span = SpanAround(state, bytes);
    if (span.bounce == nullptr) return 0;
    const bool wholeSectors = state->position == span.start && bytes == span.bytes;
    const std::uint32_t present =
        wholeSectors ? span.bytes : Transfer(handle, false, span.start, span.bounce, span.bytes);
    const std::uint32_t lead = static_cast<std::uint32_t>(state->position - span.start);
    const std::uint32_t fits = CallerPart(span.start, present, *state, bytes);
    if (fits == 0) return 0;
    std::memcpy(span.bounce + lead, buffer, fits);
    put = CallerPart(span.start, Transfer(handle, true, span.start, span.bounce, present), *state, bytes);
  }
  state->position += put;
  return put;
}

BOOL WaitedControl(HANDLE handle, DWORD code, void* input, DWORD inputBytes, void* output,
                   DWORD outputBytes, DWORD* returned) {
  if (!IsUnbuffered(handle)) {
    return DeviceIoControl(handle, code, input, inputBytes, output, outputBytes, returned, nullptr);
  }
  Waiter waiter;
  if (!waiter.ready()) return FALSE;
  const BOOL started = DeviceIoControl(handle, code, input, inputBytes, output, outputBytes, returned, waiter.get());
  return waiter.Wait(handle, started, returned);
}

}  // namespace platform::win32

namespace platform {

void* AllocateIoMemory(std::size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreeIoMemory(void* memory) {
  if (memory != nullptr) VirtualFree(memory, 0, MEM_RELEASE);
}

namespace {

// The OVERLAPPED of a write in flight and the event it completes on; it lives from StartWrite
// to FinishWrite, whose WriteInFlight is its address.
struct PendingWrite {
  OVERLAPPED overlapped = {};
  win32::UniqueHandle event;
};

}  // namespace

WriteInFlight StartWrite(const Device& device, std::uint64_t offset, const void* buffer, std::uint32_t bytes) {
  if (!device.valid()) return kNoWrite;
  auto write = std::make_unique<PendingWrite>();
  write->event.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!write->event) return kNoWrite;
  write->overlapped.hEvent = write->event.get();
  write->overlapped.Offset = static_cast<DWORD>(offset);
  write->overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const HANDLE handle = reinterpret_cast<HANDLE>(device.get());
  if (!WriteFile(handle, buffer, bytes, nullptr, &write->overlapped) && GetLastError() != ERROR_IO_PENDING) {
    return kNoWrite;
  }
  return reinterpret_cast<WriteInFlight>(write.release());
}

std::uint32_t FinishWrite(const Device& device, WriteInFlight id) {
  if (id == kNoWrite) return 0;
  std::unique_ptr<PendingWrite> write(reinterpret_cast<PendingWrite*>(id));
  // A write that failed part-way still says through the count how much reached the device.
  DWORD transferred = 0;
  GetOverlappedResult(reinterpret_cast<HANDLE>(device.get()), &write->overlapped, &transferred, TRUE);
  return transferred;
}

}  // namespace platform
