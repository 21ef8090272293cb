#pragma once
// The program's texts are UTF-8; the wide Windows calls that show them take UTF-16.

#include <string>

namespace winui {

// Bytes that are not valid UTF-8 (a volume label read through the ANSI calls) are taken in the
// ANSI code page instead, so they still show as the system named them.
std::wstring Widen(const std::string& text);

}  // namespace winui
