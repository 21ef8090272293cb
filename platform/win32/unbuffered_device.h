#pragma once
// Handles opened with FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED. Windows keeps no position
// for them and takes only whole, aligned sectors: the platform keeps the position the program
// set and moves other transfers through an aligned buffer of its own, so the synchronous calls
// (records, sector reads, the tail) work on them as on any handle.

#include <windows.h>

#include <cstdint>

namespace platform::win32 {

// Called by OpenDevice for a handle it opened unbuffered, and by CloseNative for every handle.
void AdoptUnbuffered(HANDLE handle);
void ForgetUnbuffered(HANDLE handle);
bool IsUnbuffered(HANDLE handle);

// The position SetFilePointer just gave the handle, kept for its next transfer.
void KeepPosition(HANDLE handle, std::uint64_t position);
// The kept position, where the last move or synchronous transfer left it; false for a handle
// that is not unbuffered.
bool KeptPosition(HANDLE handle, std::uint64_t* position);
// A ReadFile or WriteFile at the kept position, waited for; the bytes moved.
std::uint32_t ReadUnbuffered(HANDLE handle, void* buffer, std::uint32_t bytes);
std::uint32_t WriteUnbuffered(HANDLE handle, const void* buffer, std::uint32_t bytes);

// DeviceIoControl that waits also on an overlapped handle (which must be given an OVERLAPPED).
BOOL WaitedControl(HANDLE handle, DWORD code, void* input, DWORD inputBytes, void* output,
                   DWORD outputBytes, DWORD* returned);

}  // namespace platform::win32
