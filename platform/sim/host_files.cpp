// Files next to the executable. The simulated executable lives in a Windows folder
// ("C:\Program Files\Dunmere"); the files in it are kept in a folder of the host, so that
// setting.bin and format.bat really exist where a test (or a restarted demo) can find them.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/sim/state.h"

namespace sim::detail {
namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool WriteHostFile(const std::string& hostPath, const std::string& bytes) {
  std::FILE* file = std::fopen(hostPath.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Both record the call and ask the hook first; false when the call must fail.
bool BeginFileCall(Op op, const std::string& path, std::uint64_t bytes, std::size_t* record,
                   std::string* hostPath) {
  *record = Record(op, path, 0, bytes);
  if (FaultInjected(*record) || !MapToHost(path, hostPath)) {
    Answer(*record, false);
    return false;
  }
  return true;
}

}  // namespace

std::string ExecutableFolder() {
  const std::string& path = TheState().machine.executablePath;
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool MapToHost(const std::string& windowsPath, std::string* hostPath) {
  const std::string& hostFolder = TheState().machine.hostFolder;
  const std::string folder = ExecutableFolder();
  if (hostFolder.empty() || folder.empty()) return false;
  const std::string prefix = folder + "\\";
  if (windowsPath.size() <= prefix.size() ||
      !SameIgnoringCase(windowsPath.substr(0, prefix.size()), prefix)) {
    return false;
  }
  std::filesystem::path host(hostFolder);
  std::size_t start = prefix.size();
  while (start <= windowsPath.size()) {
    std::size_t end = windowsPath.find('\\', start);
    if (end == std::string::npos) end = windowsPath.size();
    const std::string part = windowsPath.substr(start, end - start);
    // Nothing may lead out of the folder or name a stream or another drive.
    if (part.empty() || part == "." || part == ".." ||
        part.find_first_of(":/") != std::string::npos) {
      return false;
    }
    host /= part;
    start = end + 1;
  }
  *hostPath = host.string();
  return true;
}

bool ReadHostFile(const std::string& hostPath, std::size_t maxBytes,
                  std::vector<std::uint8_t>* bytes) {
  std::FILE* file = std::fopen(hostPath.c_str(), "rb");
  if (file == nullptr) return false;
  // Read in pieces: the limit may be far larger than the file.
  std::vector<std::uint8_t> data;
  std::uint8_t chunk[4096];
  while (data.size() < maxBytes) {
    const std::size_t want = std::min(sizeof chunk, maxBytes - data.size());
    const std::size_t got = std::fread(chunk, 1, want, file);
    data.insert(data.end(), chunk, chunk + got);
    if (got < want) break;
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return false;
  if (bytes != nullptr) *bytes = std::move(data);
  return true;
}

}  // namespace sim::detail

namespace platform {

using namespace sim::detail;
using sim::Op;

std::string ExecutablePath() { return TheState().machine.executablePath; }

bool ReadFileBytes(const std::string& path, std::size_t maxBytes,
                   std::vector<std::uint8_t>* bytes) {
  std::size_t record = 0;
  std::string host;
  if (!BeginFileCall(Op::ReadFile, path, maxBytes, &record, &host)) return false;
  const bool ok = ReadHostFile(host, maxBytes, bytes);
  Answer(record, ok);
  return ok;
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::size_t record = 0;
  std::string host;
  if (!BeginFileCall(Op::WriteFile, path, bytes.size(), &record, &host)) return false;
  const bool ok = WriteHostFile(host, std::string(bytes.begin(), bytes.end()));
  Answer(record, ok);
  return ok;
}

// A Windows text-mode stream writes every line end as CR LF, whatever the host does.
bool WriteTextFile(const std::string& path, const std::string& text) {
  std::string windowsText;
  for (char c : text) {
    if (c == '\n') windowsText += '\r';
    windowsText += c;
  }
  std::size_t record = 0;
  std::string host;
  if (!BeginFileCall(Op::WriteFile, path, windowsText.size(), &record, &host)) return false;
  const bool ok = WriteHostFile(host, windowsText);
  Answer(record, ok);
  return ok;
}

bool RemoveFile(const std::string& path) {
  std::size_t record = 0;
  std::string host;
  if (!BeginFileCall(Op::RemoveFile, path, 0, &record, &host)) return false;
  std::error_code ec;
  const bool ok = std::filesystem::is_regular_file(host, ec) && std::filesystem::remove(host, ec);
  Answer(record, ok);
  return ok;
}

bool CreateFolder(const std::string& path) {
  std::size_t record = 0;
  std::string host;
  if (!BeginFileCall(Op::CreateFolder, path, 0, &record, &host)) return false;
  std::error_code ec;
  std::filesystem::create_directory(host, ec);
  const bool ok = std::filesystem::is_directory(host, ec);
  Answer(record, ok);
  return ok;
}

}  // namespace platform
