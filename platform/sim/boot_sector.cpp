// The simulated machine keeps a volume's file system where Windows finds it: in the volume's
// first sector. The layout (docs/simulated-machine.md) borrows the real identifiers at their
// real offsets, so a wipe pattern or a breakpoint record over sector 0 unmounts the volume
// exactly as it would on Windows.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/sim/state.h"

namespace sim::detail {

namespace {

constexpr std::size_t kOemId = 3;            // 8 bytes
constexpr std::size_t kBytesPerSector = 11;  // 2 bytes, little-endian
constexpr std::size_t kFatSerial = 39;       // FAT12/16: 4 bytes, little-endian
constexpr std::size_t kFatLabel = 43;        // FAT12/16: 11 bytes, blank padded
constexpr std::size_t kFat32Serial = 67;     // FAT32: 4 bytes, little-endian
constexpr std::size_t kFatType = 54;         // FAT12/16: "FAT16   "
constexpr std::size_t kFat32Label = 71;      // FAT32: 11 bytes, blank padded
constexpr std::size_t kFat32Type = 82;       // FAT32: "FAT32   "
constexpr std::size_t kNtfsSerial = 72;      // NTFS: 8 bytes, Windows reports the low 4
constexpr std::size_t kExfatSerial = 100;    // exFAT: 4 bytes, little-endian
constexpr std::size_t kSimSize = 400;        // 8 bytes, little-endian: file-system size in bytes
constexpr std::size_t kSimLabel = 408;       // 32 bytes, NUL padded: the label as reported
constexpr std::size_t kSimLabelBytes = 32;
constexpr std::size_t kSignature = 510;      // 0x55 0xAA

void Put(std::vector<std::uint8_t>* sector, std::size_t at, const std::string& text,
         std::size_t width, char pad) {
  for (std::size_t i = 0; i < width; ++i) {
    (*sector)[at + i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : pad);
  }
}

bool Holds(const std::uint8_t* sector, std::size_t at, const char* text) {
  return std::memcmp(sector + at, text, std::strlen(text)) == 0;
}

// Where each file system keeps the serial number GetVolumeInformationA reports.
std::size_t SerialOffset(const std::string& fileSystem) {
  if (fileSystem == "NTFS") return kNtfsSerial;
  if (fileSystem == "exFAT") return kExfatSerial;
  if (fileSystem == "FAT32") return kFat32Serial;
  return kFatSerial;
}

std::uint32_t Mixed(std::uint32_t hash, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) {
    hash ^= static_cast<std::uint8_t>(value >> (8 * i));
    hash *= 16777619u;
  }
  return hash;
}

std::string FatLabel(const std::string& label) {
  std::string upper = label.substr(0, 11);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper.empty() ? "NO NAME" : upper;
}

}  // namespace

bool KnownFileSystem(const std::string& fileSystem) {
  return fileSystem == "NTFS" || fileSystem == "FAT32" || fileSystem == "FAT" ||
         fileSystem == "exFAT";
}

bool CanonicalFileSystem(const std::string& name, std::string* canonical) {
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "NTFS" || upper == "FAT32" || upper == "FAT") {
    *canonical = upper;
  } else if (upper == "EXFAT") {
    *canonical = "exFAT";
  } else {
    return false;
  }
  return true;
}

std::vector<std::uint8_t> MakeBootSector(const std::string& fileSystem, const std::string& label,
                                         std::uint64_t fileSystemSize, std::uint32_t serial) {
  if (!KnownFileSystem(fileSystem)) return {};
  std::vector<std::uint8_t> sector(kSectorBytes, 0);
  sector[0] = 0xEB;
  sector[2] = 0x90;
  sector[kBytesPerSector] = 0x00;
  sector[kBytesPerSector + 1] = 0x02;
  if (fileSystem == "NTFS") {
    sector[1] = 0x52;
    Put(&sector, kOemId, "NTFS", 8, ' ');
  } else if (fileSystem == "exFAT") {
    sector[1] = 0x76;
    Put(&sector, kOemId, "EXFAT", 8, ' ');
  } else if (fileSystem == "FAT32") {
    sector[1] = 0x58;
    Put(&sector, kOemId, "MSDOS5.0", 8, ' ');
    Put(&sector, kFat32Label, FatLabel(label), 11, ' ');
    Put(&sector, kFat32Type, "FAT32", 8, ' ');
  } else {
    sector[1] = 0x3C;
    Put(&sector, kOemId, "MSDOS5.0", 8, ' ');
    Put(&sector, kFatLabel, FatLabel(label), 11, ' ');
    Put(&sector, kFatType, "FAT16", 8, ' ');
  }
  for (std::size_t i = 0; i < 8; ++i) {
    sector[kSimSize + i] = static_cast<std::uint8_t>(fileSystemSize >> (8 * i));
  }
  Put(&sector, kSimLabel, label.substr(0, kSimLabelBytes), kSimLabelBytes, '\0');
  for (std::size_t i = 0; i < 4; ++i) sector[SerialOffset(fileSystem) + i] = static_cast<std::uint8_t>(serial >> (8 * i));
  sector[kSignature] = 0x55;
  sector[kSignature + 1] = 0xAA;
  return sector;
}

bool RecogniseBootSector(const std::uint8_t* sector, BootInfo* info) {
  if (sector[kSignature] != 0x55 || sector[kSignature + 1] != 0xAA) return false;
  if (Holds(sector, kOemId, "NTFS    ")) {
    info->fileSystem = "NTFS";
  } else if (Holds(sector, kOemId, "EXFAT   ")) {
    info->fileSystem = "exFAT";
  } else if (Holds(sector, kFat32Type, "FAT32   ")) {
    info->fileSystem = "FAT32";
  } else if (Holds(sector, kFatType, "FAT")) {
    info->fileSystem = "FAT";
  } else {
    return false;
  }
  info->fileSystemSize = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    info->fileSystemSize |= static_cast<std::uint64_t>(sector[kSimSize + i]) << (8 * i);
  }
  const char* label = reinterpret_cast<const char*>(sector + kSimLabel);
  info->label.assign(label, std::find(label, label + kSimLabelBytes, '\0'));
  info->serial = 0;
  const std::size_t serial = SerialOffset(info->fileSystem);
  for (std::size_t i = 0; i < 4; ++i) info->serial |= static_cast<std::uint32_t>(sector[serial + i]) << (8 * i);
  return true;
}

bool MountedFileSystem(const Volume& volume, BootInfo* info) {
  if (!volume.hasMedium) return false;
  if (volume.disk < 0) {
    // A network share, CD or RAM disk: nothing to read, the description is the answer.
    if (volume.fileSystem.empty()) return false;
    info->fileSystem = volume.fileSystem;
    info->label = volume.label;
    info->fileSystemSize = FormattedSize(volume);
    info->serial = DescribedSerial(volume);
    return true;
  }
  Region region;
  DeviceId id;
  id.letter = volume.letter;
  std::uint8_t sector[kSectorBytes];
  if (!DeviceRegion(id, &region) || ReadRegion(region, 0, sector, kSectorBytes) != kSectorBytes) {
    return false;
  }
  if (!RecogniseBootSector(sector, info)) return false;
  if (info->fileSystemSize == 0) info->fileSystemSize = volume.length;
  return true;
}

std::uint64_t FormattedSize(const Volume& volume) {
  return volume.fileSystemSize != 0 ? volume.fileSystemSize : volume.length;
}

// Two volumes of a machine differ by letter at least, so their serial numbers differ as well.
std::uint32_t DescribedSerial(const Volume& volume) {
  if (volume.volumeSerial != 0) return volume.volumeSerial;
  std::uint32_t hash = Mixed(2166136261u, static_cast<unsigned char>(volume.letter));
  hash = Mixed(hash, static_cast<std::uint64_t>(volume.disk));
  hash = Mixed(Mixed(hash, volume.offset), volume.length);
  return hash == 0 ? 1 : hash;
}

// Windows draws a new serial number at every format; the simulation counts its formats instead,
// so a run is repeatable and a volume formatted again is told from the one it was.
std::uint32_t FormatSerial(const Volume& volume) {
  const std::uint32_t hash = Mixed(DescribedSerial(volume), ++TheState().formatsDone);
  return hash == 0 ? 1 : hash;
}

bool WriteBootSector(const Volume& volume, const std::string& fileSystem, const std::string& label,
                     std::uint64_t fileSystemSize, std::uint32_t serial) {
  const std::vector<std::uint8_t> sector = MakeBootSector(fileSystem, label, fileSystemSize, serial);
  Region region;
  DeviceId id;
  id.letter = volume.letter;
  if (sector.empty() || !DeviceRegion(id, &region)) return false;
  return WriteRegion(region, 0, sector.data(), sector.size()) == sector.size();
}

}  // namespace sim::detail
