#pragma once
// A target of a run as a value: what both commands hand the core, what the report names, and
// what a later check compares the device with. Taken from the tables (or a console's own
// inventory) before the run changes anything; unknown texts are empty.

#include <cstdint>
#include <string>

#include "devices/disk_abilities.h"
#include "devices/tables.h"
#include "platform/platform.h"

struct Target {
  bool isDisk = false;
  std::string volumeName;                  // "E:" for a volume
  std::int32_t diskNumber = kUnknownDisk;  // the disk, or the disk holding the volume
  platform::DeviceIdentity identity;       // of that disk
  DiskAbilities abilities;                 // of that disk; the hidden area of a whole disk only
  std::uint64_t sizeBytes = 0;             // a volume's file system, a whole disk; 0: unknown
  std::string sizeText;                    // as the list shows it
  std::string fileSystem;                  // a volume's file system and label
  std::string label;
  // A volume's identity as the system told it when it was chosen, kept apart from the texts
  // above, which the lists and the report show; empty and 0: unknown.
  platform::VolumeIdentity volumeIdentity;
  platform::DiskExtent volumeExtent;       // where a volume lies on its disk; length 0: unknown
};

// The target of a row as the tables describe it now, without asking the disk anything.
Target DriveTarget(const DriveRecord& record);
Target DiskTarget(const DiskRecord& record);
// The same with what identifies it now: the identity its disk gives, what the disk can do to
// itself, and a volume's serial number and length. Taken when a target is chosen, and compared
// before its first write.
Target WithIdentity(Target target);

// "Drive E:" or "Disk 1", as the log lines of a run begin.
std::string TargetSubject(const Target& target);
// "\\.\E:" or "\\.\physicaldrive1"
std::string TargetDevicePath(const Target& target);
