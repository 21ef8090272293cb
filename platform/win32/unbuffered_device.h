#pragma once
// Handles opened with FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED. Windows keeps no position
// for them and takes only whole, aligned sectors: the Device keeps the position the program
// set, and other transfers go through an aligned buffer (platform/sector_span.h), so the
// synchronous calls (records, sector reads, the tail) work on them as on any handle.

#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

namespace platform::win32 {

// The sectors a handle just opened unbuffered moves whole.
std::uint32_t UnbufferedSectorBytes(HANDLE handle);

// DeviceIoControl that waits also on an overlapped handle (which must be given an OVERLAPPED).
BOOL WaitedControl(const Device& device, DWORD code, void* input, DWORD inputBytes, void* output,
                   DWORD outputBytes, DWORD* returned);

}  // namespace platform::win32
