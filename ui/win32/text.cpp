#include "ui/win32/text.h"

#include <windows.h>

namespace winui {

namespace {

std::wstring Convert(const std::string& text, UINT codePage, DWORD flags) {
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), length, wide.data(), needed);
  return wide;
}

}  // namespace

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  std::wstring wide = Convert(text, CP_UTF8, MB_ERR_INVALID_CHARS);
  return wide.empty() ? Convert(text, CP_ACP, 0) : wide;
}

}  // namespace winui
