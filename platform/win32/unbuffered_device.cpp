#include "platform/win32/unbuffered_device.h"

#include <winioctl.h>

#include <memory>

#include "platform/platform.h"
#include "platform/win32/unique_handle.h"

namespace platform::win32 {
namespace {

// Every power of two up to it divides it: a disk that will not tell its sector size is served
// right by it whether its sectors are 512 or 4096 bytes.
constexpr std::uint32_t kAssumedSectorBytes = 4096;

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

std::uint32_t Transfer(const Device& device, bool write, std::uint64_t offset, void* buffer, std::uint32_t bytes) {
  if (!device.valid()) return 0;
  const HANDLE handle = reinterpret_cast<HANDLE>(device.get());
  Waiter waiter;
  if (!waiter.ready()) return 0;
  DWORD transferred = 0;
  const BOOL started = write ? WriteFile(handle, buffer, bytes, nullptr, waiter.at(offset))
                             : ReadFile(handle, buffer, bytes, nullptr, waiter.at(offset));
  waiter.Wait(handle, started, &transferred);
  return transferred;
}

BOOL WaitedControl(HANDLE handle, bool overlapped, DWORD code, void* input, DWORD inputBytes, void* output,
                   DWORD outputBytes, DWORD* returned) {
  if (!overlapped) {
    return DeviceIoControl(handle, code, input, inputBytes, output, outputBytes, returned, nullptr);
  }
  Waiter waiter;
  if (!waiter.ready()) return FALSE;
  const BOOL started = DeviceIoControl(handle, code, input, inputBytes, output, outputBytes, returned, waiter.get());
  return waiter.Wait(handle, started, returned);
}

}  // namespace

std::uint32_t UnbufferedSectorBytes(HANDLE handle) {
  DISK_GEOMETRY geometry = {};
  DWORD returned = 0;
  if (WaitedControl(handle, true, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &returned) &&
      geometry.BytesPerSector != 0 && (geometry.BytesPerSector & (geometry.BytesPerSector - 1)) == 0) {
    return geometry.BytesPerSector;
  }
  return kAssumedSectorBytes;
}

BOOL WaitedControl(const Device& device, DWORD code, void* input, DWORD inputBytes, void* output,
                   DWORD outputBytes, DWORD* returned) {
  return WaitedControl(reinterpret_cast<HANDLE>(device.get()), device.unbuffered(), code, input, inputBytes, output,
                       outputBytes, returned);
}

}  // namespace platform::win32

namespace platform {

std::uint32_t ReadSectors(const Device& device, std::uint64_t offset, void* buffer, std::uint32_t bytes) {
  return win32::Transfer(device, false, offset, buffer, bytes);
}

std::uint32_t WriteSectors(const Device& device, std::uint64_t offset, const void* buffer, std::uint32_t bytes) {
  return win32::Transfer(device, true, offset, const_cast<void*>(buffer), bytes);
}

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
