// The simulated machine keeps each disk's volumes where Windows finds them: in the master boot
// record at the start of the disk (layout in docs/simulated-machine.md). A disk wipe overwrites
// it, so once Windows reads the disk again (at boot, or when asked to update its properties) the
// disk's volumes and their drive letters are gone, as they are on a real machine.
#include <algorithm>
#include <iterator>

#include "platform/sim/state.h"

namespace sim::detail {

namespace {

constexpr std::size_t kFirstEntry = 446;
constexpr std::size_t kEntryBytes = 16;
constexpr int kEntryCount = 4;
constexpr std::size_t kSignature = 510;  // 0x55 0xAA
constexpr std::uint64_t kMaxSectors = 0xFFFFFFFFULL;
constexpr std::uint64_t kHeads = 255;
constexpr std::uint64_t kSectorsPerTrack = 63;

// Offsets inside one 16-byte entry.
constexpr std::size_t kStatus = 0;      // 0x80 active, 0x00 not; anything else: not a table
constexpr std::size_t kFirstChs = 1;
constexpr std::size_t kType = 4;        // 0x00: unused entry
constexpr std::size_t kLastChs = 5;
constexpr std::size_t kFirstSector = 8; // 4 bytes, little-endian
constexpr std::size_t kSectorCount = 12;

struct Entry {
  int index = 0;  // 1 to 4, as the message names it
  std::uint8_t type = 0;
  std::uint64_t firstSector = 0;
  std::uint64_t sectors = 0;
};

std::vector<const Volume*> DescribedOn(const Machine& machine, int disk) {
  std::vector<const Volume*> volumes;
  for (const Volume& volume : machine.volumes) {
    if (volume.disk == disk) volumes.push_back(&volume);
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const Volume* a, const Volume* b) { return a->offset < b->offset; });
  return volumes;
}

// Windows writes the system id of the file system that the partition is made for.
std::uint8_t PartitionType(const std::string& fileSystem) {
  if (fileSystem == "FAT32") return 0x0C;  // FAT32, addressed by LBA
  if (fileSystem == "FAT") return 0x0E;    // FAT16, addressed by LBA
  return 0x07;                             // NTFS and exFAT, and a partition not formatted yet
}

// Cylinder, head and sector for 255 heads and 63 sectors a track; past cylinder 1023 every
// partitioning tool writes the largest value and Windows reads the LBA fields only.
void PutChs(std::uint8_t* at, std::uint64_t sector) {
  const std::uint64_t cylinder = sector / (kHeads * kSectorsPerTrack);
  if (cylinder > 1023) {
    at[0] = 0xFE;
    at[1] = 0xFF;
    at[2] = 0xFF;
    return;
  }
  at[0] = static_cast<std::uint8_t>(sector / kSectorsPerTrack % kHeads);
  at[1] = static_cast<std::uint8_t>((sector % kSectorsPerTrack + 1) | ((cylinder >> 2) & 0xC0));
  at[2] = static_cast<std::uint8_t>(cylinder & 0xFF);
}

void Put32(std::uint8_t* at, std::uint64_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t Get32(const std::uint8_t* at) {
  std::uint64_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint64_t>(at[i]) << (8 * i);
  return value;
}

bool Extended(std::uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

std::string Letters(const std::vector<const Volume*>& volumes) {
  std::string text;
  for (const Volume* volume : volumes) {
    text += (text.empty() ? "" : ", ") + std::string(1, volume->letter) + ":";
  }
  return text;
}

std::string EntrySectors(const Entry& entry) {
  return "sectors " + std::to_string(entry.firstSector) + " to " +
         std::to_string(entry.firstSector + entry.sectors - 1);
}

// The entries Windows would mount, in table order; what it would refuse is added to *problems.
std::vector<Entry> ValidEntries(const std::uint8_t* sector, std::uint64_t diskSectors,
                                std::vector<std::string>* problems) {
  std::vector<Entry> kept;
  for (int i = 0; i < kEntryCount; ++i) {
    const std::uint8_t* raw = sector + kFirstEntry + kEntryBytes * static_cast<std::size_t>(i);
    Entry entry;
    entry.index = i + 1;
    entry.type = raw[kType];
    entry.firstSector = Get32(raw + kFirstSector);
    entry.sectors = Get32(raw + kSectorCount);
    if (entry.type == 0) continue;
    const std::string name = "entry " + std::to_string(entry.index) + ": ";
    std::string wrong;
    if (raw[kStatus] != 0x00 && raw[kStatus] != 0x80) {
      wrong = "status byte " + std::to_string(raw[kStatus]) + " is neither 0 nor 128";
    } else if (Extended(entry.type) || entry.type == 0xEE) {
      wrong = "type " + std::to_string(entry.type) + " (extended or GPT) is not read";
    } else if (entry.sectors == 0) {
      wrong = "no sectors";
    } else if (entry.firstSector == 0) {
      wrong = "starts in sector 0, which holds the table";
    } else if (entry.firstSector + entry.sectors > diskSectors) {
      wrong = EntrySectors(entry) + " end past the end of the disk (" +
              std::to_string(diskSectors) + " sectors)";
    }
    for (const Entry& other : kept) {
      if (!wrong.empty()) break;
      if (entry.firstSector < other.firstSector + other.sectors &&
          other.firstSector < entry.firstSector + entry.sectors) {
        wrong = EntrySectors(entry) + " overlap entry " + std::to_string(other.index);
      }
    }
    if (wrong.empty()) {
      kept.push_back(entry);
    } else {
      problems->push_back(name + wrong);
    }
  }
  return kept;
}

// Windows' mount manager gives a partition it has not seen before the first free letter; the
// letters of the description stay reserved for their own regions.
char FreeLetter(const std::vector<Volume>& foundOnDisk) {
  const State& state = TheState();
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    const auto same = [letter](const Volume& volume) { return volume.letter == letter; };
    if (std::none_of(state.machine.volumes.begin(), state.machine.volumes.end(), same) &&
        std::none_of(state.volumes.begin(), state.volumes.end(), same) &&
        std::none_of(foundOnDisk.begin(), foundOnDisk.end(), same)) {
      return letter;
    }
  }
  return '\0';
}

// The volume of one entry: the described volume of that region with its letter and behaviour,
// or a new fixed (or, on a removable disk, removable) volume under a free letter.
bool VolumeOfEntry(const Disk& disk, const Entry& entry, const std::vector<Volume>& foundOnDisk,
                   Volume* volume) {
  const Machine& machine = TheState().machine;
  const std::uint64_t offset = entry.firstSector * disk.bytesPerSector;
  const std::uint64_t length = entry.sectors * disk.bytesPerSector;
  bool removable = false;
  for (const Volume* described : DescribedOn(machine, disk.number)) {
    removable = removable || described->driveType == platform::kDriveRemovable;
    if (described->offset == offset && described->length == length) {
      *volume = *described;
      return true;
    }
  }
  const char letter = FreeLetter(foundOnDisk);
  if (letter == '\0') return false;
  *volume = VolumeOn(letter, disk.number, offset, length);
  volume->driveType = removable ? platform::kDriveRemovable : platform::kDriveFixed;
  return true;
}

std::vector<Volume> ReadTable(const Disk& disk, std::vector<std::string>* problems) {
  const std::vector<const Volume*> described = DescribedOn(TheState().machine, disk.number);
  std::vector<Volume> found;
  Region region;
  DeviceId id;
  id.isDisk = true;
  id.number = disk.number;
  std::uint8_t sector[kSectorBytes];
  if (!DeviceRegion(id, &region) || ReadRegion(region, 0, sector, kSectorBytes) != kSectorBytes) {
    problems->push_back("sector 0 cannot be read");
    return found;
  }
  if (sector[kSignature] != 0x55 || sector[kSignature + 1] != 0xAA) {
    // A blank or wiped disk: only worth a word when the description expects volumes on it.
    if (!described.empty()) {
      problems->push_back("no partition table (sector 0 does not end in 55 AA), so " +
                          Letters(described) + " not mounted");
    }
    return found;
  }
  const std::uint64_t diskSectors = region.length / disk.bytesPerSector;
  for (const Entry& entry : ValidEntries(sector, diskSectors, problems)) {
    Volume volume;
    if (VolumeOfEntry(disk, entry, found, &volume)) {
      found.push_back(volume);
    } else {
      problems->push_back("entry " + std::to_string(entry.index) + ": no drive letter is free");
    }
  }
  return found;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "; ") + line;
  return text;
}

}  // namespace

bool DiskHasTable(const Machine& machine, const Disk& disk) {
  const std::vector<const Volume*> volumes = DescribedOn(machine, disk.number);
  if (volumes.size() > static_cast<std::size_t>(kEntryCount)) return false;
  for (const Volume* volume : volumes) {
    const std::uint64_t sector = disk.bytesPerSector;
    if (volume->offset < sector || volume->offset % sector != 0 || volume->length % sector != 0 ||
        volume->offset / sector + volume->length / sector > kMaxSectors) {
      return false;
    }
  }
  return true;
}

bool WritePartitionTable(const Disk& disk) {
  const std::vector<const Volume*> volumes = DescribedOn(TheState().machine, disk.number);
  if (volumes.empty()) return true;
  std::vector<std::uint8_t> sector(kSectorBytes, 0);
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    const Volume& volume = *volumes[i];
    std::uint8_t* entry = sector.data() + kFirstEntry + kEntryBytes * i;
    const std::uint64_t first = volume.offset / disk.bytesPerSector;
    const std::uint64_t count = volume.length / disk.bytesPerSector;
    // The volume that holds Windows is the active one, as Windows setup leaves it.
    const std::string& windows = TheState().machine.windowsDirectory;
    entry[kStatus] = !windows.empty() && UpperLetter(windows[0]) == volume.letter ? 0x80 : 0x00;
    PutChs(entry + kFirstChs, first);
    entry[kType] = PartitionType(volume.fileSystem);
    PutChs(entry + kLastChs, first + count - 1);
    Put32(entry + kFirstSector, first);
    Put32(entry + kSectorCount, count);
  }
  sector[kSignature] = 0x55;
  sector[kSignature + 1] = 0xAA;
  Region region;
  DeviceId id;
  id.isDisk = true;
  id.number = disk.number;
  return DeviceRegion(id, &region) &&
         WriteRegion(region, 0, sector.data(), sector.size()) == sector.size();
}

void MountDiskVolumes(int number) {
  State& state = TheState();
  const Disk* disk = FindDisk(number);
  if (disk == nullptr) return;
  std::vector<Volume>& mounted = state.volumes;
  mounted.erase(std::remove_if(mounted.begin(), mounted.end(),
                               [number](const Volume& volume) { return volume.disk == number; }),
                mounted.end());
  state.tableProblems.erase(number);
  std::vector<std::string> problems;
  if (DiskHasTable(state.machine, *disk)) {
    const std::vector<Volume> found = ReadTable(*disk, &problems);
    mounted.insert(mounted.end(), found.begin(), found.end());
  } else {
    for (const Volume* volume : DescribedOn(state.machine, number)) mounted.push_back(*volume);
  }
  if (!problems.empty()) {
    state.tableProblems[number] = "disk " + std::to_string(number) + ": " + Joined(problems);
  }
  // Windows forgets a lock and a pending format together with the volume they were for.
  for (auto lock = state.volumeLocks.begin(); lock != state.volumeLocks.end();) {
    lock = FindVolume(lock->first) == nullptr ? state.volumeLocks.erase(lock) : std::next(lock);
  }
  for (auto format = state.pendingFormats.begin(); format != state.pendingFormats.end();) {
    format = FindVolume(format->first) == nullptr ? state.pendingFormats.erase(format)
                                                  : std::next(format);
  }
}

void MountAllVolumes() {
  State& state = TheState();
  state.volumes.clear();
  state.tableProblems.clear();
  for (const Volume& volume : state.machine.volumes) {
    if (volume.disk < 0) state.volumes.push_back(volume);
  }
  for (const Disk& disk : state.machine.disks) MountDiskVolumes(disk.number);
}

}  // namespace sim::detail

namespace sim {

std::vector<std::string> PartitionTableProblems() {
  std::vector<std::string> lines;
  for (const auto& problem : detail::TheState().tableProblems) lines.push_back(problem.second);
  return lines;
}

}  // namespace sim
