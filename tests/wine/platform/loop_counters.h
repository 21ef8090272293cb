#pragma once
// A loop device as the host kernel describes it under /sys/block, read through Wine's Z:
// drive (the host's root): what reached the device, and what lies behind it. Shared by the
// platform tests and the flush benchmark.

#include <cstdint>
#include <string>

namespace wine_tests {

// The loop device ("loop3") that a host file names on its first line; empty when the file is
// missing or names anything else.
std::string LoopNamedIn(const std::string& path);

// Field 7 of /sys/block/<loop>/stat: the 512-byte sectors that reached the device since it
// was attached. False when the counters cannot be read.
bool SectorsWritten(const std::string& loop, std::uint64_t* sectors);

// A one-line attribute of the loop driver, /sys/block/<loop>/loop/<name> ("backing_file",
// "dio"), without its line end; empty when it cannot be read.
std::string LoopAttribute(const std::string& loop, const std::string& name);
inline std::string LoopBackingFile(const std::string& loop) {
  return LoopAttribute(loop, "backing_file");
}

}  // namespace wine_tests
