#pragma once
// The wipe engine against dd on the same file: every method over a file-backed simulated
// volume of `mebibytes` MiB, each pass's speed beside dd's (bs=1M conv=notrunc) and their
// ratio, the time with the pauses between passes, peak memory, and the fast random fill
// against one draw per byte, and what a verification adds to a run (in passes). Prints its
// figures; false when the volume or dd could not be had.

#include <cstdint>
#include <string>

bool WipeBench(const std::string& imageFolder, std::uint64_t mebibytes);
