#include "wipe/run_context.h"

#include "devices/inventory.h"

bool RunContext::FormatVolume(const std::string& /*volumeName*/, const std::string& /*formerFileSystem*/) {
  Log("Please format the drive manually.");
  return false;
}

std::vector<std::string> RunContext::VolumesOfDisk(std::int32_t diskNumber) { return LetteredVolumesOfDisk(diskNumber); }
