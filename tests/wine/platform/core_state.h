#pragma once
// What the Wine tests of the portable core share: its process-wide state as a fresh start
// leaves it, a check that a drive letter leads to the test's own image file, a volume checked
// on "Wipe drive" the way the commands hand it to a run, and the message log.

#include <cstdint>
#include <string>

namespace wine_tests {

// Tables empty, nothing selected, no resume point, no cancel, headless windows fresh.
void ResetCoreState();

// Writes a token sector into the image file at `offset` as a plain file and reads it back
// through the device ("\\.\D:"): true only when the letter is that image.
bool LetterLeadsToImage(const std::string& devicePath, const std::string& imageFile,
                        std::uint64_t offset);

// The drive table holds only this volume, checked, on a disk Wine cannot name; the progress
// window as "Wipe it now" leaves it (format box ticked, shutdown box clear).
void SelectDrive(const char* rootPath, const char* fileSystem, std::uint64_t capacity,
                 const std::string& capacityText);

// True when the message log holds the line (without its time stamp).
bool LogHas(const std::string& text);

}  // namespace wine_tests
