// A stand-in for the sector library "korvane.dll": pxRead reads nothing from any disk. It
// records the arguments it was called with in the process environment, where the caller can
// see them after the library has been freed again, marks the buffer, and answers 1 (read) for
// the first BIOS hard disk 0x80 and 0 (failed) for every other drive.
#include <windows.h>

#include <cstdio>
#include <cstring>

extern "C" unsigned char WINAPI pxRead(unsigned char biosDrive, unsigned int firstSector,
                                       void* buffer) {
  char call[96];
  std::snprintf(call, sizeof call, "drive=0x%02x sector=%u buffer=%p", biosDrive, firstSector,
                buffer);
  SetEnvironmentVariableA("KORVANE_PXREAD_CALL", call);
  std::memcpy(buffer, "KORVANE", 8);
  return biosDrive == 0x80 ? 1 : 0;
}
