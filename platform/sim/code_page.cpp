// The simulated machine's system code page, Windows-1252, the one of Western European Windows.
// A description's texts are UTF-8; the ANSI calls answer them in the code page, as Windows
// does, and the program turns them back into UTF-8 where it needs it (the report).
#include <cstdint>

#include "platform/sim/state.h"
#include "platform/system_text.h"

namespace {

// The code points of bytes 0x80 to 0x9F; the five bytes Windows-1252 leaves undefined stand
// for the C1 control of the same number, as MultiByteToWideChar maps them.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint32_t CodePointOf(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

// The byte of a code point, '?' (the default character) where the code page has none.
char ByteOf(std::uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<char>(codePoint);
  for (std::size_t i = 0; i < 32; ++i) {
    if (kHighControls[i] == codePoint) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(std::uint32_t codePoint, std::string* out) {
  if (codePoint < 0x80) {
    *out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    *out += static_cast<char>(0xC0 | (codePoint >> 6));
    *out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (codePoint >> 12));
    *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// The length of the UTF-8 sequence at text[at] and its code point; 0 when none starts there.
std::size_t DecodeUtf8(const std::string& text, std::size_t at, std::uint32_t* codePoint) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  std::uint32_t value = lead & (0x3F >> (length - 1));
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  *codePoint = value;
  return length;
}

}  // namespace

namespace sim::detail {

std::string AnsiText(const std::string& utf8) {
  std::string ansi;
  for (std::size_t at = 0; at < utf8.size();) {
    std::uint32_t codePoint = 0;
    const std::size_t length = static_cast<unsigned char>(utf8[at]) < 0x80 ? 0 : DecodeUtf8(utf8, at, &codePoint);
    if (length == 0) {
      // ASCII, or a byte that is no UTF-8: it is already the code page's.
      ansi += utf8[at++];
      continue;
    }
    ansi += ByteOf(codePoint);
    at += length;
  }
  return ansi;
}

}  // namespace sim::detail

namespace platform {

std::string Utf8FromSystemText(const std::string& text) {
  std::string utf8;
  for (char c : text) AppendUtf8(CodePointOf(static_cast<unsigned char>(c)), &utf8);
  return utf8;
}

}  // namespace platform
