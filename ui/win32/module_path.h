#pragma once
// The running executable's own path, as the platform needs it before anything else.
#include <windows.h>

#include <string>

namespace winui {

inline std::string ModulePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // cut short: try again with more room
  }
}

}  // namespace winui
