#pragma once
#include <windows.h>

namespace platform::win32 {

// The version Windows really is (RtlGetVersion), whatever the manifest declares; false when
// ntdll will not tell.
bool TrueVersion(OSVERSIONINFOW* info);

}  // namespace platform::win32
