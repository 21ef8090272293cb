// The sector library "korvane.dll", which reads raw sectors where the platform offers no raw
// disk device (the Windows 9x family).
#include <windows.h>

#include <cstdint>

#include "platform/platform.h"
#include "platform/win32/unique_handle.h"

namespace platform {

namespace {
// The library's only export: BIOS drive number, first sector, buffer; 1 when read.
using PxRead = unsigned char(WINAPI*)(unsigned char biosDrive, unsigned int firstSector,
                                      void* buffer);
}  // namespace

// Loads the library by its bare name, so the usual search order finds it beside the program
// or on the path, and frees it again after the one call. A library without the export is
// never called into.
bool CallSectorLibrary(std::uint8_t biosDrive, std::uint32_t firstSector, void* buffer,
                       std::uint8_t* result) {
  win32::UniqueLibrary library(LoadLibraryA("korvane.dll"));
  if (!library) return false;
  FARPROC entry = GetProcAddress(library.get(), "pxRead");
  if (entry == nullptr) return false;
  // GetProcAddress types every export alike; the detour through void(*)() is the conversion
  // GCC accepts between unrelated function pointer types.
  auto pxRead = reinterpret_cast<PxRead>(reinterpret_cast<void (*)()>(entry));
  const unsigned char answer = pxRead(biosDrive, firstSector, buffer);
  if (result != nullptr) *result = answer;
  return true;
}

}  // namespace platform
