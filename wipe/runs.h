#pragma once
// The two wipe runs. Each returns true when it reached the end of its last pass without being
// cancelled and without more than 10 consecutive failed block writes.

#include <cstdint>
#include <string>

bool DriveWipeRun(const std::string& volumeName, bool resume, int methodId);  // "E:"
bool DiskWipeRun(std::int32_t diskNumber, bool resume, int methodId);
