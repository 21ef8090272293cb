#pragma once
// Little-endian fields of raw device answers. The caller has checked that the field lies inside
// the answer.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::raw {

inline std::uint16_t Read16(const std::uint8_t* data, std::size_t at) {
  return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

inline std::uint32_t Read32(const std::uint8_t* data, std::size_t at) {
  return static_cast<std::uint32_t>(Read16(data, at)) | static_cast<std::uint32_t>(Read16(data, at + 2)) << 16;
}

inline std::uint64_t Read64(const std::uint8_t* data, std::size_t at) {
  return static_cast<std::uint64_t>(Read32(data, at)) | static_cast<std::uint64_t>(Read32(data, at + 4)) << 32;
}

// Drivers and disks pad their texts with blanks on either side.
inline std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace platform::raw
