// The rules a machine must follow before it is loaded. Messages name the field as a
// description file spells it ("volumes[1].offset"), since that is where a person fixes it.
#include <cctype>
#include <set>

#include "platform/sim/state.h"

namespace sim::detail {

namespace {

std::string DiskField(std::size_t index, const char* field) {
  return "disks[" + std::to_string(index) + "]." + field;
}

std::string VolumeField(std::size_t index, const char* field) {
  return "volumes[" + std::to_string(index) + "]." + field;
}

bool Fail(std::string* error, const std::string& message) {
  if (error != nullptr) *error = message;
  return false;
}

bool CheckDisks(const Machine& machine, std::string* error) {
  std::set<int> numbers;
  std::set<std::string> images;
  for (std::size_t i = 0; i < machine.disks.size(); ++i) {
    const Disk& disk = machine.disks[i];
    if (disk.number < 0 || disk.number > 99) {
      return Fail(error, DiskField(i, "number") + ": " + std::to_string(disk.number) +
                             " is not a disk number from 0 to 99");
    }
    if (!numbers.insert(disk.number).second) {
      return Fail(error, DiskField(i, "number") + ": disk " + std::to_string(disk.number) +
                             " is described twice");
    }
    if (disk.size == 0) return Fail(error, DiskField(i, "size") + ": a disk needs a size above 0");
    const std::uint32_t sector = disk.bytesPerSector;
    if (sector != 512 && sector != 1024 && sector != 2048 && sector != 4096) {
      return Fail(error, DiskField(i, "bytesPerSector") + ": " + std::to_string(sector) +
                             " is not 512, 1024, 2048 or 4096");
    }
    if (!disk.sanitize.empty() && disk.bus != "NVMe") {
      return Fail(error, DiskField(i, "sanitize") + ": only a disk whose bus is \"NVMe\" sanitizes itself here");
    }
    if ((disk.hiddenSectors > 0 || disk.securityFrozen) && disk.bus != "SATA" && disk.bus != "ATA") {
      return Fail(error, DiskField(i, disk.hiddenSectors > 0 ? "hiddenSectors" : "securityFrozen") +
                             ": only a disk whose bus is \"SATA\" or \"ATA\" has one");
    }
    if (disk.hiddenSectors > (UINT64_MAX - disk.size) / disk.bytesPerSector) {
      return Fail(error, DiskField(i, "hiddenSectors") + ": too many");
    }
    if (!disk.image.empty() && !images.insert(disk.image).second) {
      return Fail(error, DiskField(i, "image") + ": \"" + disk.image +
                             "\" is the image of another disk too");
    }
  }
  return true;
}

bool CheckVolumePlace(const Machine& machine, std::size_t i, std::string* error) {
  const Volume& volume = machine.volumes[i];
  if (volume.disk < 0) return true;
  const Disk* disk = nullptr;
  for (const Disk& candidate : machine.disks) {
    if (candidate.number == volume.disk) disk = &candidate;
  }
  if (disk == nullptr) {
    return Fail(error, VolumeField(i, "disk") + ": no disk " + std::to_string(volume.disk) +
                           " is described");
  }
  if (volume.length == 0) {
    return Fail(error, VolumeField(i, "length") + ": a volume on a disk needs a length above 0");
  }
  if (volume.offset > disk->size || volume.length > disk->size - volume.offset) {
    return Fail(error, VolumeField(i, "length") + ": the volume ends past the end of disk " +
                           std::to_string(disk->number) + " (" + std::to_string(disk->size) +
                           " bytes)");
  }
  for (std::size_t j = 0; j < i; ++j) {
    const Volume& other = machine.volumes[j];
    if (other.disk != volume.disk) continue;
    const bool apart = volume.offset >= other.offset + other.length ||
                       other.offset >= volume.offset + volume.length;
    if (!apart) {
      return Fail(error, VolumeField(i, "offset") + ": the volume overlaps volumes[" +
                             std::to_string(j) + "] on disk " + std::to_string(volume.disk));
    }
  }
  return true;
}

bool CheckVolume(const Machine& machine, std::size_t i, std::set<char>* letters,
                 std::string* error) {
  const Volume& volume = machine.volumes[i];
  const char letter = UpperLetter(volume.letter);
  if (letter < 'A' || letter > 'Z') {
    return Fail(error, VolumeField(i, "letter") + ": not a drive letter from A to Z");
  }
  if (!letters->insert(letter).second) {
    return Fail(error, VolumeField(i, "letter") + ": " + std::string(1, letter) +
                           ": is described twice");
  }
  if (volume.driveType > platform::kDriveRamDisk) {
    return Fail(error, VolumeField(i, "driveType") + ": " + std::to_string(volume.driveType) +
                           " is not a drive type from 0 to 6");
  }
  if (volume.disk < -1 || volume.disk > 99) {
    return Fail(error, VolumeField(i, "disk") + ": " + std::to_string(volume.disk) +
                           " is not -1 (no disk) or a disk number from 0 to 99");
  }
  if (volume.secondDisk < -1 || volume.secondDisk > 99) {
    return Fail(error, VolumeField(i, "secondDisk") + ": " + std::to_string(volume.secondDisk) +
                           " is not -1 (none) or a disk number from 0 to 99");
  }
  if (!CheckVolumePlace(machine, i, error)) return false;
  if (!volume.fileSystem.empty() && !KnownFileSystem(volume.fileSystem)) {
    return Fail(error, VolumeField(i, "fileSystem") + ": \"" + volume.fileSystem +
                           "\" is not NTFS, FAT32, FAT, exFAT or empty");
  }
  if (volume.label.size() > 32) {
    return Fail(error, VolumeField(i, "label") + ": longer than 32 characters");
  }
  if (volume.disk >= 0 && volume.fileSystemSize > volume.length) {
    return Fail(error, VolumeField(i, "fileSystemSize") + ": larger than the volume's length");
  }
  if (volume.disk >= 0 && !volume.fileSystem.empty() && volume.length < kSectorBytes) {
    return Fail(error, VolumeField(i, "length") + ": a formatted volume needs at least " +
                           std::to_string(kSectorBytes) + " bytes");
  }
  return true;
}

}  // namespace

bool CheckMachine(const Machine& machine, std::string* error) {
  if (!CheckDisks(machine, error)) return false;
  std::set<char> letters;
  for (std::size_t i = 0; i < machine.volumes.size(); ++i) {
    if (!CheckVolume(machine, i, &letters, error)) return false;
  }
  return true;
}

}  // namespace sim::detail
