#pragma once
// The targets of a call, found in the tables as the inventory filled them: each named device
// once, a serial matching exactly one disk.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/arguments.h"

namespace cli {

struct ResolvedTarget {
  bool isDisk = false;
  std::string volumeName;      // "E:"
  std::string rootPath;        // "E:\"
  std::int32_t diskNumber = -1;  // the disk, or the disk holding the volume (-1: unknown)
  int row = -1;                // its row in DriveTable or DiskTable
  std::string name;            // as messages and the output name it: "E:", "disk1"
};

// False with one message when a target names no device there is, a serial matches no disk or
// several, or two targets name the same device (a disk twice, or a disk and a volume on it).
bool ResolveTargets(const std::vector<TargetName>& names, std::vector<ResolvedTarget>* targets, std::string* error);

}  // namespace cli
