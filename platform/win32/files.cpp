// The executable's own path and the small files the program keeps beside it.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/unique_handle.h"

namespace platform {

namespace {
struct CloseStdioFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using StdioFile = std::unique_ptr<std::FILE, CloseStdioFile>;

constexpr std::size_t kReadChunk = 1 << 20;  // ReadFile counts in 32 bits
}  // namespace

// GetModuleFileNameA cuts a path that does not fit and still succeeds, so the buffer grows
// until the answer is shorter than it.
std::string ExecutablePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Reads at most maxBytes from the start of the file. False when the file cannot be opened or
// read; a file shorter than maxBytes gives what it holds.
bool ReadFileBytes(const std::string& path, std::size_t maxBytes,
                   std::vector<std::uint8_t>* bytes) {
  win32::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::vector<std::uint8_t> data(maxBytes);
  std::size_t filled = 0;
  while (filled < maxBytes) {
    DWORD got = 0;
    const std::size_t left = maxBytes - filled;
    const DWORD ask = static_cast<DWORD>(left < kReadChunk ? left : kReadChunk);
    if (!ReadFile(file.get(), data.data() + filled, ask, &got, nullptr)) return false;
    if (got == 0) break;  // end of file
    filled += got;
  }
  data.resize(filled);
  if (bytes != nullptr) *bytes = std::move(data);
  return true;
}

// Creates or truncates the file; true only when every byte was written.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  win32::UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return false;
  }
  return written == bytes.size();
}

// The C runtime's text mode turns each "\n" into the "\r\n" that cmd.exe expects of a batch
// file line.
bool WriteTextFile(const std::string& path, const std::string& text) {
  StdioFile file(std::fopen(path.c_str(), "w"));
  if (!file) return false;
  const bool written = std::fputs(text.c_str(), file.get()) >= 0;
  return std::fclose(file.release()) == 0 && written;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

// A folder that is there already (ERROR_ALREADY_EXISTS) is as good as a new one, unless the
// name belongs to a file.
bool CreateFolder(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace platform
