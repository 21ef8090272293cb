#pragma once
// Texts of the ANSI calls (a label, the computer's or the user's name) are in the system code
// page; the report is UTF-8.

#include <string>

namespace platform {

// The text in UTF-8: converted from the system code page (MultiByteToWideChar with CP_ACP,
// then WideCharToMultiByte with CP_UTF8). A text the conversion refuses comes back as it was.
std::string Utf8FromSystemText(const std::string& text);

}  // namespace platform
