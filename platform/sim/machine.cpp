// The machine as a whole: loading a description into disks with backing stores, finding disks
// and volumes, the regions device paths stand for, and the test's direct view of the bytes.
#include <algorithm>
#include <cctype>

#include "platform/sim/state.h"

namespace sim::detail {

State& TheState() {
  static State state;
  return state;
}

char UpperLetter(char letter) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

const Disk* FindDisk(int number) {
  for (const Disk& disk : TheState().machine.disks) {
    if (disk.number == number) return &disk;
  }
  return nullptr;
}

const Volume* FindVolume(char letter) {
  const char upper = UpperLetter(letter);
  for (const Volume& volume : TheState().volumes) {
    if (volume.letter == upper) return &volume;
  }
  return nullptr;
}

bool SameDevice(const DeviceId& a, const DeviceId& b) {
  return a.isDisk == b.isDisk && (a.isDisk ? a.number == b.number : a.letter == b.letter);
}

namespace {

bool StartsWithIgnoringCase(const std::string& text, std::size_t at, const std::string& word) {
  if (text.size() < at + word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
  }
  return true;
}

}  // namespace

bool ParseDevicePath(const std::string& path, DeviceId* id) {
  static const std::string kPrefix = "\\\\.\\";
  if (path.compare(0, kPrefix.size(), kPrefix) != 0) return false;
  const std::size_t at = kPrefix.size();
  if (path.size() == at + 2 && path[at + 1] == ':' &&
      std::isalpha(static_cast<unsigned char>(path[at]))) {
    *id = DeviceId{};
    id->letter = UpperLetter(path[at]);
    return true;
  }
  static const std::string kDisk = "physicaldrive";
  if (!StartsWithIgnoringCase(path, at, kDisk)) return false;
  const std::string digits = path.substr(at + kDisk.size());
  if (digits.empty() || digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) {
    return false;
  }
  if (!std::all_of(digits.begin(), digits.end(),
                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
    return false;
  }
  *id = DeviceId{};
  id->isDisk = true;
  id->number = std::stoi(digits);
  return true;
}

bool DeviceRegion(const DeviceId& id, Region* region) {
  State& state = TheState();
  int diskNumber = id.number;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  if (!id.isDisk) {
    const Volume* volume = FindVolume(id.letter);
    if (volume == nullptr || volume->disk < 0) return false;
    diskNumber = volume->disk;
    offset = volume->offset;
    length = volume->length;
  }
  auto store = state.stores.find(diskNumber);
  if (store == state.stores.end()) return false;
  region->store = store->second.get();
  auto cache = state.caches.find(diskNumber);
  region->cache = cache == state.caches.end() ? nullptr : cache->second.get();
  region->offset = offset;
  const Disk* disk = FindDisk(diskNumber);
  region->length = id.isDisk ? (disk != nullptr ? disk->size : store->second->size()) : length;
  return true;
}

std::size_t ReadRegion(const Region& region, std::uint64_t position, void* out,
                       std::size_t bytes) {
  if (position >= region.length) return 0;
  const std::uint64_t room = region.length - position;
  if (bytes > room) bytes = static_cast<std::size_t>(room);
  const std::size_t got = region.store->Read(region.offset + position, out, bytes);
  if (region.cache != nullptr) region.cache->Overlay(region.offset + position, out, got);
  return got;
}

std::size_t WriteRegion(const Region& region, std::uint64_t position, const void* in,
                        std::size_t bytes) {
  if (position >= region.length) return 0;
  const std::uint64_t room = region.length - position;
  if (bytes > room) bytes = static_cast<std::size_t>(room);
  const std::size_t put = region.store->Write(region.offset + position, in, bytes);
  if (region.cache != nullptr) region.cache->Patch(region.offset + position, in, put);
  return put;
}

std::size_t WriteRegionCached(const Region& region, std::uint64_t position, const void* in,
                              std::size_t bytes) {
  if (region.cache == nullptr) return WriteRegion(region, position, in, bytes);
  if (position >= region.length) return 0;
  const std::uint64_t at = region.offset + position;
  if (at >= region.store->size()) return 0;
  bytes = static_cast<std::size_t>(std::min<std::uint64_t>(
      {bytes, region.length - position, region.store->size() - at}));
  return region.cache->Write(*region.store, at, in, bytes);
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

Disk MemoryDisk(int number, std::uint64_t size) {
  Disk disk;
  disk.number = number;
  disk.size = size;
  return disk;
}

Volume VolumeOn(char letter, int disk, std::uint64_t offset, std::uint64_t length,
                const std::string& fileSystem, const std::string& label) {
  Volume volume;
  volume.letter = letter;
  volume.disk = disk;
  volume.offset = offset;
  volume.length = length;
  volume.fileSystem = fileSystem;
  volume.label = label;
  return volume;
}

namespace {

// A new disk gets its table first, so that its volumes are mounted for their boot sectors.
// Every disk's volumes are mounted afresh.
bool PrepareNewDisks(const std::set<int>& newDisks, const std::map<int, SanitizeRun>& keptRuns,
                     std::string* error) {
  State& state = TheState();
  for (const Disk& disk : state.machine.disks) {
    if (newDisks.count(disk.number) == 0 || !DiskHasTable(state.machine, disk)) continue;
    if (!WritePartitionTable(disk)) {
      if (error != nullptr) {
        *error = "disk " + std::to_string(disk.number) + ": the partition table could not be written";
      }
      return false;
    }
  }
  std::map<int, SanitizeRun> runs;
  for (const auto& run : keptRuns) {
    if (newDisks.count(run.first) == 0) runs.insert(run);
  }
  RestoreSanitizeRuns(runs);
  MountAllVolumes();
  for (const Volume& volume : state.machine.volumes) {
    if (volume.fileSystem.empty() || newDisks.count(volume.disk) == 0) continue;
    if (!WriteBootSector(volume, volume.fileSystem, volume.label, FormattedSize(volume), DescribedSerial(volume))) {
      if (error != nullptr) {
        *error = std::string("volume ") + volume.letter + ": the boot sector could not be written";
      }
      return false;
    }
  }
  return true;
}

// The store of a disk of the description that is not taken over: its image opened (or made),
// or fresh memory. *created tells that its media are new.
std::unique_ptr<BackingStore> OpenStore(const Disk& disk, bool* created, std::string* error) {
  *created = true;
  if (disk.image.empty()) return MakeMemoryStore(StoreBytes(disk));
  std::string problem;
  std::unique_ptr<BackingStore> store = OpenImageStore(disk.image, StoreBytes(disk), created, &problem);
  if (!store && error != nullptr) *error = "disk " + std::to_string(disk.number) + ": " + problem;
  return store;
}

Machine Normalised(const Machine& description) {
  Machine machine = description;
  for (Volume& volume : machine.volumes) volume.letter = UpperLetter(volume.letter);
  return machine;
}

// Loads the machine; memory disks found in `kept` with the same size keep those media.
bool LoadKeeping(const Machine& description, std::map<int, std::unique_ptr<BackingStore>> kept,
                 const std::map<int, SanitizeRun>& keptRuns, std::string* error) {
  std::string problem;
  if (!CheckMachine(description, &problem)) {
    if (error != nullptr) *error = problem;
    return false;
  }
  Machine machine = Normalised(description);

  // The new stores are opened before the old machine goes, so a failure leaves it in place.
  std::map<int, std::unique_ptr<BackingStore>> stores;
  std::set<int> newDisks;
  for (const Disk& disk : machine.disks) {
    bool created = true;
    auto old = kept.find(disk.number);
    if (disk.image.empty() && old != kept.end() && old->second && old->second->size() == StoreBytes(disk)) {
      stores[disk.number] = std::move(old->second);
      created = false;
    } else {
      stores[disk.number] = OpenStore(disk, &created, error);
      if (!stores[disk.number]) return false;
    }
    if (created) newDisks.insert(disk.number);
  }

  State& state = TheState();
  state = State{};
  state.machine = std::move(machine);
  state.stores = std::move(stores);
  for (const Disk& disk : state.machine.disks) {
    if (disk.writeCache > 0) {
      state.caches[disk.number] = std::make_unique<WriteCache>(disk.writeCache, disk.cacheSeed);
    }
  }
  return PrepareNewDisks(newDisks, keptRuns, error);
}

// The same device as far as Windows can tell: a disk described alike in what it says of
// itself and held by the same image stays plugged in.
bool SameDisk(const Disk& a, const Disk& b) {
  return a.number == b.number && a.image == b.image && a.size == b.size && a.model == b.model &&
         a.serial == b.serial && a.bus == b.bus && a.bytesPerSector == b.bytesPerSector;
}

bool SameVolume(const Volume& a, const Volume& b) {
  return a.disk == b.disk && a.offset == b.offset && a.length == b.length && a.driveType == b.driveType &&
         a.hasMedium == b.hasMedium;
}

// The disk a handle reaches through: the disk itself, or the one holding its volume; -1 for
// a volume without a disk.
int DiskOfHandle(const HandleState& handle) {
  if (handle.device.isDisk) return handle.device.number;
  const Volume* volume = FindVolume(handle.device.letter);
  return volume == nullptr ? -1 : volume->disk;
}

// Devices present before and not after, as Windows announces them.
PlugChanges Compare(const std::vector<Volume>& volumesBefore, const std::vector<int>& disksBefore,
                    const std::set<int>& keptDisks) {
  const State& state = TheState();
  PlugChanges changes;
  for (int number : disksBefore) {
    if (keptDisks.count(number) == 0) changes.disksGone.push_back(number);
  }
  for (const Disk& disk : state.machine.disks) {
    if (keptDisks.count(disk.number) == 0) changes.disksCome.push_back(disk.number);
  }
  auto unchanged = [&](const Volume& volume, const std::vector<Volume>& other) {
    if (volume.disk >= 0 && keptDisks.count(volume.disk) == 0) return false;
    for (const Volume& candidate : other) {
      if (candidate.letter == volume.letter) return SameVolume(candidate, volume);
    }
    return false;
  };
  for (const Volume& volume : volumesBefore) {
    if (!unchanged(volume, state.volumes)) changes.volumesGone += volume.letter;
  }
  for (const Volume& volume : state.volumes) {
    if (!unchanged(volume, volumesBefore)) changes.volumesCome += volume.letter;
  }
  std::sort(changes.volumesGone.begin(), changes.volumesGone.end());
  std::sort(changes.volumesCome.begin(), changes.volumesCome.end());
  return changes;
}

}  // namespace

bool Load(const Machine& description, std::string* error) {
  return LoadKeeping(description, {}, {}, error);
}

bool Restart(const Machine& description, std::string* error) {
  // What never left the caches is lost, as it is when the power goes.
  for (auto& cache : TheState().caches) cache.second->Drop();
  std::map<int, std::unique_ptr<BackingStore>> kept;
  for (auto& store : TheState().stores) kept[store.first] = std::move(store.second);
  // A memory disk keeps its sanitize state as an image disk keeps it beside its image.
  const std::map<int, SanitizeRun> runs = TheState().sanitizes;
  return LoadKeeping(description, std::move(kept), runs, error);
}

bool Replug(const Machine& description, PlugChanges* changes, std::string* error) {
  std::string problem;
  if (!CheckMachine(description, &problem)) {
    if (error != nullptr) *error = problem;
    return false;
  }
  Machine machine = Normalised(description);
  State& state = TheState();

  // Opened before anything changes, so a disk that cannot be had leaves the machine as it was.
  std::map<int, std::unique_ptr<BackingStore>> stores;
  std::set<int> keptDisks;
  std::set<int> newDisks;
  for (const Disk& disk : machine.disks) {
    const Disk* old = FindDisk(disk.number);
    if (old != nullptr && SameDisk(*old, disk) && state.stores.count(disk.number) != 0) {
      keptDisks.insert(disk.number);
      continue;
    }
    bool created = true;
    stores[disk.number] = OpenStore(disk, &created, error);
    if (!stores[disk.number]) return false;
    if (created) newDisks.insert(disk.number);
  }

  const std::vector<Volume> volumesBefore = state.volumes;
  std::vector<int> disksBefore;
  for (const Disk& disk : state.machine.disks) disksBefore.push_back(disk.number);
  // A handle outlives the device it was opened on; Windows fails every later call on it.
  for (auto& open : state.handles) {
    const int disk = DiskOfHandle(open.second);
    if (disk >= 0 && keptDisks.count(disk) == 0) open.second.unplugged = true;
  }
  // A lock goes with the volume it held, even when another volume takes its letter.
  for (auto lock = state.volumeLocks.begin(); lock != state.volumeLocks.end();) {
    auto holder = state.handles.find(lock->second);
    const bool gone = holder != state.handles.end() && holder->second.unplugged;
    lock = gone ? state.volumeLocks.erase(lock) : std::next(lock);
  }

  std::map<int, std::unique_ptr<WriteCache>> caches;
  for (int number : keptDisks) {
    stores[number] = std::move(state.stores[number]);
    auto cache = state.caches.find(number);
    if (cache != state.caches.end()) caches[number] = std::move(cache->second);
  }
  // What a pulled disk still held in its cache is lost with it.
  for (const Disk& disk : machine.disks) {
    if (keptDisks.count(disk.number) == 0 && disk.writeCache > 0) {
      caches[disk.number] = std::make_unique<WriteCache>(disk.writeCache, disk.cacheSeed);
    }
  }
  for (auto lying = state.lyingWrites.begin(); lying != state.lyingWrites.end();) {
    lying = keptDisks.count(lying->first.first) == 0 ? state.lyingWrites.erase(lying) : std::next(lying);
  }
  // Executable and host folder belong to the program, not to the devices.
  machine.executablePath = state.machine.executablePath;
  machine.hostFolder = state.machine.hostFolder;
  state.machine = std::move(machine);
  state.stores = std::move(stores);
  state.caches = std::move(caches);
  // A disk left plugged in goes on with its sanitize as if nothing happened; the others
  // bring what their images hold.
  std::map<int, SanitizeRun> keptRuns;
  for (const auto& run : state.sanitizes) {
    if (keptDisks.count(run.first) != 0) keptRuns.insert(run);
  }
  state.sanitizes.clear();
  if (!PrepareNewDisks(newDisks, {}, error)) return false;
  for (const auto& run : keptRuns) state.sanitizes[run.first] = run.second;
  if (changes != nullptr) *changes = Compare(volumesBefore, disksBefore, keptDisks);
  return true;
}

const Machine& CurrentMachine() { return TheState().machine; }

const std::string& LoadProblem() { return TheState().loadProblem; }

bool FormatVolume(char letter, const std::string& fileSystem, const std::string& label,
                  std::uint64_t fileSystemSize) {
  const Volume* volume = FindVolume(letter);
  if (volume == nullptr || volume->disk < 0) return false;
  if (fileSystemSize == 0) fileSystemSize = volume->length;
  TheState().pendingFormats.erase(volume->letter);
  return WriteBootSector(*volume, fileSystem, label, fileSystemSize, FormatSerial(*volume));
}

namespace {

std::vector<std::uint8_t> ReadDevice(const DeviceId& id, std::uint64_t offset, std::size_t bytes) {
  Region region;
  if (!DeviceRegion(id, &region) || offset >= region.length) return {};
  std::vector<std::uint8_t> data(
      static_cast<std::size_t>(std::min<std::uint64_t>(bytes, region.length - offset)));
  data.resize(ReadRegion(region, offset, data.data(), data.size()));
  return data;
}

bool WriteDevice(const DeviceId& id, std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
  Region region;
  if (!DeviceRegion(id, &region)) return false;
  return WriteRegion(region, offset, bytes.data(), bytes.size()) == bytes.size();
}

DeviceId DiskId(int disk) {
  DeviceId id;
  id.isDisk = true;
  id.number = disk;
  return id;
}

DeviceId VolumeId(char letter) {
  DeviceId id;
  id.letter = UpperLetter(letter);
  return id;
}

}  // namespace

std::vector<std::uint8_t> ReadDisk(int disk, std::uint64_t offset, std::size_t bytes) {
  return ReadDevice(DiskId(disk), offset, bytes);
}

bool WriteDisk(int disk, std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
  return WriteDevice(DiskId(disk), offset, bytes);
}

std::vector<std::uint8_t> ReadVolume(char letter, std::uint64_t offset, std::size_t bytes) {
  return ReadDevice(VolumeId(letter), offset, bytes);
}

bool WriteVolume(char letter, std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
  return WriteDevice(VolumeId(letter), offset, bytes);
}

}  // namespace sim
