#include "tests/wine/platform/loop_counters.h"

#include <windows.h>

#include <cstdio>

#include "platform/win32/unique_handle.h"

namespace wine_tests {

namespace {

// The first line of a small host file, without its line end. Files under /sys are made up at
// each read: their size says nothing, one read gives all.
std::string ReadLine(const std::string& path) {
  platform::win32::UniqueFile handle(CreateFileA(path.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
  if (!handle) return std::string();
  char text[4096];
  DWORD got = 0;
  if (!ReadFile(handle.get(), text, sizeof text, &got, nullptr)) return std::string();
  std::string line(text, got);
  return line.substr(0, line.find_first_of("\r\n"));
}

std::string ReadSysBlockLine(const std::string& loop, const std::string& file) {
  return ReadLine("Z:\\sys\\block\\" + loop + "\\" + file);
}

}  // namespace

std::string LoopNamedIn(const std::string& path) {
  const std::string name = ReadLine(path);
  // Only a plain loop device name may become part of a path under /sys.
  if (name.size() <= 4 || name.compare(0, 4, "loop") != 0 ||
      name.find_first_not_of("0123456789", 4) != std::string::npos) {
    return std::string();
  }
  return name;
}

bool SectorsWritten(const std::string& loop, std::uint64_t* sectors) {
  const std::string stat = ReadSysBlockLine(loop, "stat");
  unsigned long long fields[7] = {};
  if (std::sscanf(stat.c_str(), "%llu %llu %llu %llu %llu %llu %llu", &fields[0], &fields[1],
                  &fields[2], &fields[3], &fields[4], &fields[5], &fields[6]) != 7) {
    return false;
  }
  *sectors = fields[6];
  return true;
}

std::string LoopAttribute(const std::string& loop, const std::string& name) {
  return ReadSysBlockLine(loop, "loop\\" + name);
}

}  // namespace wine_tests
