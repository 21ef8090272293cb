#pragma once
// What a disk can do to itself (its own sanitize) and what it keeps from every overwrite (a host
// protected area), asked of the disk through its protocol-specific answers. Asked when a target
// is taken and with every disk list; the windows, the log and the report say what was found.

#include <cstdint>
#include <string>

#include "devices/tables.h"
#include "platform/platform.h"

enum class HiddenArea {
  NotChecked,  // the disk or its driver would not tell (a USB bridge, a driver that refuses)
  NoneOnNvme,  // NVMe has no host protected area
  None,        // the disk reports every sector it has
  Found,       // sectors past the end the disk reports: a host protected area
};

struct DiskAbilities {
  bool nvme = false;  // the disk answered NVMe Identify Controller
  platform::NvmeController controller;
  bool ata = false;  // the disk answered ATA IDENTIFY DEVICE
  platform::AtaIdentify ataIdentify;
  HiddenArea hiddenArea = HiddenArea::NotChecked;
  std::uint64_t hiddenSectors = 0;  // with Found: how many, 0 when the disk would not say
};

// What the disk list shows, kept beside DiskTable: DiskAbilityTable[i] belongs to DiskTable[i]
// and holds only what the disk can do to itself (no hidden-area check).
extern DiskAbilities DiskAbilityTable[kDiskTableSize];

// Disk N's own sanitize: NVMe Identify Controller, asked only of a disk on the NVMe bus.
DiskAbilities AskSanitizeAbilities(std::int32_t diskNumber, const platform::DeviceIdentity& identity);
// The same and, for a disk that is not NVMe, IDENTIFY DEVICE and READ NATIVE MAX ADDRESS EXT
// compared: the host protected area. Nothing is ever changed on the disk.
DiskAbilities AskDiskAbilities(std::int32_t diskNumber, const platform::DeviceIdentity& identity);
// The same through the disk's device path ("\\.\physicaldrive1").
DiskAbilities AskDiskAbilitiesAt(const std::string& path, const platform::DeviceIdentity& identity);

// The erase a "Device sanitize" can ask of the disk: crypto erase or block erase.
bool CanSanitize(const DiskAbilities& abilities);
// "crypto erase, block erase, overwrite": every sanitize action the disk offers; empty: none.
std::string SanitizeActionsText(const DiskAbilities& abilities);
// The disk list's Model column: "DUNMERE NVME DISK 128 (can sanitize) · S/N DM0004".
std::string ListedModelText(const platform::DeviceIdentity& identity, const DiskAbilities& abilities);
