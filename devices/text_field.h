#pragma once
// Fixed-width text fields. A field may come from a device (a breakpoint record) without its
// terminator, so reading one as text never goes past its last byte but one.

#include <cctype>
#include <cstddef>
#include <cstring>
#include <string>

// Equal but for the case of ASCII letters: volume names and serial numbers as Windows and
// people write them.
inline bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The text of a field of N bytes: up to its first NUL, at most N - 1 characters.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  static_assert(N > 0);
  const void* nul = std::memchr(field, '\0', N - 1);
  std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : N - 1;
  return std::string(field, length);
}

// Stores text into a field of N bytes, cut to N - 1 characters, NUL-terminated.
template <std::size_t N>
void SetField(char (&field)[N], const std::string& text) {
  static_assert(N > 0);
  std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}
