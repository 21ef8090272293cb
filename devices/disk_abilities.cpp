// What a disk can do to itself and what it hides, asked of the disk.
#include "devices/disk_abilities.h"

#include <vector>

#include "devices/disk_identity.h"
#include "devices/inventory.h"

DiskAbilities DiskAbilityTable[kDiskTableSize];

namespace {

bool OnNvme(const platform::DeviceIdentity& identity) { return identity.bus == "NVMe"; }

void AskNvme(const platform::Device& disk, DiskAbilities* abilities) {
  std::uint32_t error = 0;
  abilities->nvme = platform::QueryNvmeController(disk, &abilities->controller, &error);
}

// The host protected area: the sectors between the end the disk reports (IDENTIFY DEVICE) and
// its native end (READ NATIVE MAX ADDRESS EXT). A disk without the feature set has none, and
// does not know the command.
void CheckHiddenArea(const platform::Device& disk, DiskAbilities* abilities) {
  std::uint32_t error = 0;
  abilities->ata = platform::QueryAtaIdentify(disk, &abilities->ataIdentify, &error);
  if (!abilities->ata || abilities->ataIdentify.sectors == 0) return;
  const platform::AtaIdentify& identify = abilities->ataIdentify;
  if (!identify.hpaSupported) {
    abilities->hiddenArea = HiddenArea::None;
    return;
  }
  std::uint64_t lastAddress = 0;
  if (!platform::QueryNativeMaxAddress(disk, &lastAddress, &error)) {
    // The disk says an area is set, but the command that would size it did not get through.
    if (identify.hpaEnabled) abilities->hiddenArea = HiddenArea::Found;
    return;
  }
  // A native end before the reported one is no answer to trust.
  if (lastAddress < identify.sectors - 1) return;
  abilities->hiddenSectors = lastAddress + 1 - identify.sectors;
  abilities->hiddenArea = abilities->hiddenSectors == 0 ? HiddenArea::None : HiddenArea::Found;
}

}  // namespace

// Of an NVMe disk the full answer: it has no host protected area to look for.
DiskAbilities AskSanitizeAbilities(std::int32_t diskNumber, const platform::DeviceIdentity& identity) {
  return OnNvme(identity) ? AskDiskAbilities(diskNumber, identity) : DiskAbilities();
}

DiskAbilities AskDiskAbilities(std::int32_t diskNumber, const platform::DeviceIdentity& identity) {
  if (diskNumber < 0 || diskNumber >= kDiskTableSize) return DiskAbilities();
  return AskDiskAbilitiesAt(DiskDevicePath(diskNumber), identity);
}

// ATA pass-through needs a handle opened for reading and writing, even for a command that only
// reads; nothing is written through it.
DiskAbilities AskDiskAbilitiesAt(const std::string& path, const platform::DeviceIdentity& identity) {
  DiskAbilities abilities;
  const bool nvme = OnNvme(identity);
  const platform::Device disk = platform::OpenDevice(path, nvme ? platform::Access::QueryOnly : platform::Access::ReadWrite);
  if (nvme) {
    abilities.hiddenArea = HiddenArea::NoneOnNvme;
    if (disk) AskNvme(disk, &abilities);
  } else if (disk) {
    CheckHiddenArea(disk, &abilities);
  }
  return abilities;
}

bool CanSanitize(const DiskAbilities& abilities) {
  return abilities.nvme && (abilities.controller.cryptoErase || abilities.controller.blockErase);
}

std::string SanitizeActionsText(const DiskAbilities& abilities) {
  std::vector<const char*> actions;
  if (abilities.nvme) {
    const platform::NvmeController& offers = abilities.controller;
    if (offers.cryptoErase) actions.push_back("crypto erase");
    if (offers.blockErase) actions.push_back("block erase");
    if (offers.overwrite) actions.push_back("overwrite");
  } else if (abilities.ata && abilities.ataIdentify.sanitize) {
    const platform::AtaIdentify& offers = abilities.ataIdentify;
    if (offers.cryptoScramble) actions.push_back("crypto scramble");
    if (offers.blockErase) actions.push_back("block erase");
    if (offers.overwrite) actions.push_back("overwrite");
  }
  std::string text;
  for (const char* action : actions) text += (text.empty() ? "" : ", ") + std::string(action);
  return text;
}

std::string ListedModelText(const platform::DeviceIdentity& identity, const DiskAbilities& abilities) {
  if (!CanSanitize(abilities)) return ModelAndSerialText(identity);
  platform::DeviceIdentity marked = identity;
  // The mark follows the model (vendor and product), before the serial number.
  marked.product += marked.product.empty() ? "(can sanitize)" : " (can sanitize)";
  return ModelAndSerialText(marked);
}
