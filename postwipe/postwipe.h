#pragma once
// After a successful wipe: format the volume, switch the computer off.

#include <string>

inline constexpr int kFormatDialogMode = 0;
inline constexpr int kFormatCommandLineMode = 1;
bool FormatDrive(const std::string& driveText, int mode);  // "E:"
int ShutdownComputer();
