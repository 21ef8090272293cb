#pragma once
// Where a disk's own sanitize stands, and which it offers: asked of the disk itself (NVMe
// Identify Controller and the Sanitize Status log page), since the disk carries a sanitize on
// by itself, across a restart of the program or of the computer. Kept beside DiskTable for the
// list, and asked again before every command.

#include <cstdint>
#include <string>

#include "devices/tables.h"
#include "platform/platform.h"

struct DiskSanitize {
  bool nvme = false;  // the disk answered NVMe Identify Controller
  bool cryptoErase = false;
  bool blockErase = false;
  bool statusKnown = false;  // the disk answered its Sanitize Status log page
  platform::SanitizeStatus status;

  bool Offered() const { return cryptoErase || blockErase; }
  bool InProgress() const { return statusKnown && status.state == platform::SanitizeState::InProgress; }
  bool Failed() const { return statusKnown && status.state == platform::SanitizeState::Failed; }
};

extern DiskSanitize DiskSanitizes[kDiskTableSize];  // DiskSanitizes[i] belongs to DiskTable[i]

// Through a handle of the caller's, or through one of its own opened for queries only. Nothing
// is known of a disk that does not answer.
DiskSanitize ReadDiskSanitize(const platform::Device& disk);
DiskSanitize DiskSanitizeOf(std::int32_t diskNumber);

// The action a sanitize uses: crypto erase where the disk offers it (it is quick and reaches
// every cell the key covers), else block erase.
platform::SanitizeAction ChosenAction(const DiskSanitize& disk);
const char* ActionText(platform::SanitizeAction action);  // "crypto erase", "block erase"
// SPROG as a whole percentage, 0 to 100.
int SanitizePercent(const platform::SanitizeStatus& status);

// What the disk list says of a disk being sanitized or whose last sanitize failed; empty for
// another disk.
std::string SanitizeStatusText(const DiskSanitize& disk);
// Why no command but a new sanitize may touch the disk ("Disk 1 is sanitizing itself (42%
// done); ..."), or empty when it is free.
std::string BusyDiskLine(std::int32_t diskNumber, const DiskSanitize& disk);
// Why the disk's own sanitize cannot be sent to it ("Disk 1 offers no sanitize of its own;
// ..."), or empty when it can: a disk that does not speak NVMe (Windows passes a sanitize to
// no other), one that offers neither crypto nor block erase, one already sanitizing.
std::string SanitizeRefusal(std::int32_t diskNumber, const DiskSanitize& disk);
