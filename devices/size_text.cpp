// The size text of both lists and of the progress window.
#include <cstdio>

#include "devices/inventory.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

// Number, unit, then no leading blanks: every format right-aligns in ten columns.
std::string SizeText(const char* format, float value, const char* unit) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, static_cast<double>(value));
  std::string text = std::string(buffer) + unit;
  return text.substr(text.find_first_not_of(' '));
}

}  // namespace

std::string FormatSizeText(std::uint64_t bytes) {
  const std::uint64_t m = bytes / 1024 / 1024;  // whole MiB, truncated
  // The divisions are single precision on purpose: the texts must round as they always did.
  if (m < 1024) return SizeText("%10.0f", static_cast<float>(m), " MB");
  if (m < 10240) return SizeText("%10.2f", static_cast<float>(m) / 1024.0f, " GB");
  if (m < 102400) return SizeText("%10.1f", static_cast<float>(m) / 1024.0f, " GB");
  if (m < kMiB) return SizeText("%10.0f", static_cast<float>(m) / 1024.0f, " GB");
  if (m < kMiB * 1024) return SizeText("%10.2f", static_cast<float>(m / 1024) / 1024.0f, " TB");
  return SizeText("%10.2f", static_cast<float>(m / kMiB) / 1024.0f, " PB");
}
