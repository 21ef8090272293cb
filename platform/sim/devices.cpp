// Raw devices of the simulated machine: "\\.\X:" and "\\.\physicaldriveN" opened as handles
// with their own positions, transfers clipped at the device's end as a real disk clips them,
// and the device controls answered from the machine's description.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "platform/sector_span.h"
#include "platform/sim/state.h"

namespace sim::detail {
namespace {

constexpr std::uint32_t kRemovableMedia = 11;  // MEDIA_TYPE RemovableMedia
constexpr std::uint32_t kFixedMedia = 12;      // MEDIA_TYPE FixedMedia
constexpr std::uint32_t kTracksPerCylinder = 255;
constexpr std::uint32_t kSectorsPerTrack = 63;

// Any open handle, also one whose device was pulled out.
const HandleState* FindOpenHandle(platform::NativeHandle handle) {
  auto found = TheState().handles.find(handle);
  return found == TheState().handles.end() ? nullptr : &found->second;
}

// A handle that still reaches its device; null for one that was never open or whose device
// was pulled out.
HandleState* FindHandle(platform::NativeHandle handle) {
  auto found = TheState().handles.find(handle);
  return found == TheState().handles.end() || found->second.unplugged ? nullptr : &found->second;
}

std::string PathOf(platform::NativeHandle handle) {
  const HandleState* state = FindOpenHandle(handle);
  return state == nullptr ? std::string() : state->path;
}

bool LockedByAnother(char letter, platform::NativeHandle self) {
  const auto& locks = TheState().volumeLocks;
  auto lock = locks.find(letter);
  return lock != locks.end() && lock->second != self;
}

// Windows refuses to open a volume that another handle holds locked, and any device whose
// medium is missing.
bool Openable(const DeviceId& id) {
  Region region;
  if (!DeviceRegion(id, &region)) return false;
  if (id.isDisk) return FindDisk(id.number)->openable;
  const Volume* volume = FindVolume(id.letter);
  return volume->openable && volume->hasMedium &&
         !LockedByAnother(volume->letter, platform::kNoHandle);
}

}  // namespace

// Logs a control sent to the handle and asks the fault hook. Null (the call answered as failed)
// when the hook fails it or the handle is not open.
HandleState* BeginControl(Op op, const platform::Device& device, std::size_t* record) {
  *record = Record(op, PathOf(device.get()));
  HandleState* handle = FindHandle(device.get());
  if (FaultInjected(*record) || handle == nullptr) {
    Answer(*record, false);
    return nullptr;
  }
  return handle;
}

bool Finish(std::size_t record, bool ok) {
  Answer(record, ok);
  return ok;
}

namespace {

// The disk a handle's geometry comes from: the disk itself, or the one holding the volume.
const Disk* DiskBehind(const HandleState& handle) {
  if (handle.device.isDisk) return FindDisk(handle.device.number);
  const Volume* volume = FindVolume(handle.device.letter);
  return volume == nullptr ? nullptr : FindDisk(volume->disk);
}

// Removable media is a property of the device: a stick stays removable when a wipe has taken its
// volumes, so the description's volumes decide, not the mounted ones.
bool RemovableDisk(int number) {
  for (const Volume& volume : TheState().machine.volumes) {
    if (volume.disk == number && volume.driveType == platform::kDriveRemovable) return true;
  }
  return false;
}

bool FillGeometry(const Disk& disk, platform::DiskGeometry* geometry) {
  if (geometry == nullptr) return false;
  geometry->bytesPerSector = disk.bytesPerSector;
  geometry->sectorsPerTrack = kSectorsPerTrack;
  geometry->tracksPerCylinder = kTracksPerCylinder;
  geometry->cylinders = static_cast<std::int64_t>(
      disk.size / (std::uint64_t{kTracksPerCylinder} * kSectorsPerTrack * disk.bytesPerSector));
  geometry->mediaType = RemovableDisk(disk.number) ? kRemovableMedia : kFixedMedia;
  return true;
}

// The demo's pacing: a real sleep, so a wipe (and its read-back) of a small image lasts long
// enough to watch.
void DelayTransfer(std::uint32_t perMiB, std::size_t bytes) {
  if (perMiB == 0 || bytes == 0) return;
  const auto micros = static_cast<long long>(
      static_cast<double>(perMiB) * 1000.0 * static_cast<double>(bytes) / kMiB);
  std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

// A handle of a volume whose file system is mounted when it is opened stops where the file
// system ends, as NTFS stops it, until the extended-DASD control is sent on it.
std::uint64_t FileSystemLimit(const DeviceId& id) {
  if (id.isDisk || !TheState().machine.fileSystemBounds) return UINT64_MAX;
  const Volume* volume = FindVolume(id.letter);
  BootInfo info;
  if (volume == nullptr || !MountedFileSystem(*volume, &info)) return UINT64_MAX;
  if (info.fileSystemSize == 0 || info.fileSystemSize >= volume->length) return UINT64_MAX;
  return info.fileSystemSize;
}

std::size_t WithinLimit(const HandleState& handle, std::uint64_t position, std::size_t bytes) {
  if (position >= handle.limit) return 0;
  return static_cast<std::size_t>(std::min<std::uint64_t>(bytes, handle.limit - position));
}

void PutUint32(std::vector<std::uint8_t>* bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A STORAGE_DEVICE_DESCRIPTOR as a driver of this disk would fill it: the fixed part, then the
// texts it has, each NUL-terminated; a text it lacks has offset 0.
std::vector<std::uint8_t> DeviceDescriptorOf(const Disk& disk) {
  std::vector<std::uint8_t> bytes(36, 0);
  PutUint32(&bytes, 0, 36);  // Version: the size of the fixed part
  bytes[8] = 0;              // DeviceType: a direct-access device
  bytes[10] = RemovableDisk(disk.number) ? 1 : 0;
  const std::pair<std::size_t, const std::string*> texts[] = {{16, &disk.model}, {24, &disk.serial}};
  for (const auto& [field, text] : texts) {
    if (text->empty()) continue;
    PutUint32(&bytes, field, static_cast<std::uint32_t>(bytes.size()));
    bytes.insert(bytes.end(), text->begin(), text->end());
    bytes.push_back(0);
  }
  PutUint32(&bytes, 28, platform::BusTypeCode(disk.bus));
  PutUint32(&bytes, 4, static_cast<std::uint32_t>(bytes.size()));
  return bytes;
}

std::vector<std::uint8_t> SeekPenaltyDescriptorOf(const Disk& disk) {
  std::vector<std::uint8_t> bytes(12, 0);
  PutUint32(&bytes, 0, 12);
  PutUint32(&bytes, 4, 12);
  bytes[8] = disk.solidState == platform::DeviceAnswer::Yes ? 0 : 1;
  return bytes;
}

std::size_t AllowedBytes(const HandleState& handle, std::uint64_t position, std::size_t bytes) {
  bytes = WithinLimit(handle, position, bytes);
  const std::uint64_t block = position / kMiB;
  for (const WriteFault& fault : TheState().writeFaults) {
    if (SameDevice(fault.device, handle.device) && block >= fault.firstBlock &&
        block - fault.firstBlock < fault.count) {
      bytes = std::min<std::size_t>(bytes, fault.transferred);
    }
  }
  return bytes;
}

bool Writable(platform::Access access) {
  return access == platform::Access::ReadWrite || access == platform::Access::ReadWriteUnbuffered;
}

// A write of the program to the device as its disk keeps it; the bytes it put there.
std::size_t CarryOutWrite(const HandleState& handle, std::uint64_t position, const void* buffer,
                          std::size_t bytes) {
  Region region;
  if (!DeviceRegion(handle.device, &region)) return 0;
  const std::size_t put =
      WriteKeepingLies(handle.device, region, position, buffer, AllowedBytes(handle, position, bytes));
  DelayTransfer(TheState().machine.writeDelayMs, put);
  return put;
}

std::uint64_t NextDraw(std::uint64_t* state) {
  *state ^= *state << 13;
  *state ^= *state >> 7;
  *state ^= *state << 17;
  return *state;
}

// Carries out one write in flight, drawn among those of the handle that are not done yet;
// false when none is left.
bool CompleteOneDrawn(platform::NativeHandle handle) {
  State& state = TheState();
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < state.writesInFlight.size(); ++i) {
    const WriteInFlightState& write = state.writesInFlight[i];
    if (!write.done && (handle == platform::kNoHandle || write.handle == handle)) open.push_back(i);
  }
  if (open.empty()) return false;
  WriteInFlightState& write = state.writesInFlight[open[NextDraw(&state.completionDraw) % open.size()]];
  const HandleState* owner = FindHandle(write.handle);
  write.transferred = owner == nullptr ? 0
                                       : static_cast<std::uint32_t>(CarryOutWrite(*owner, write.offset, write.buffer, write.bytes));
  write.done = true;
  AnswerTransfer(write.record, write.bytes, write.transferred);
  WriteCarriedOut(write.record);
  return true;
}

std::uint32_t SectorBytesOf(const HandleState& handle) {
  const Disk* disk = DiskBehind(handle);
  return disk == nullptr || disk->bytesPerSector == 0 ? kSectorBytes : disk->bytesPerSector;
}

// Windows moves whole sectors on an unbuffered handle, at whole sectors' offsets and from
// memory aligned to a sector, and refuses any other transfer with ERROR_INVALID_PARAMETER. A
// simulated device may end inside a sector (as an image file under Wine may): its last sector
// is whole as far as it goes.
bool RefusedAsUnbuffered(const HandleState& handle, std::uint64_t offset, const void* buffer, std::uint32_t bytes) {
  if (handle.access != platform::Access::ReadWriteUnbuffered) return false;
  const std::uint32_t sector = SectorBytesOf(handle);
  if (platform::InWholeSectors(offset, buffer, bytes, sector)) return false;
  Region region;
  const bool lastSector = bytes % sector != 0 && DeviceRegion(handle.device, &region) && offset + bytes == region.length;
  return !lastSector || !platform::InWholeSectors(offset, buffer, bytes + sector - bytes % sector, sector);
}

// A transfer at `offset` that leaves the handle's position alone: the synchronous calls at the
// handle's position and the waited transfers of an unbuffered handle. The bytes moved.
std::uint32_t ReadAt(const platform::Device& device, std::uint64_t offset, void* buffer, std::uint32_t bytes) {
  HandleState* handle = FindHandle(device.get());
  const std::size_t record = Record(Op::Read, PathOf(device.get()), offset, bytes);
  Region region;
  if (FaultInjected(record) || handle == nullptr || handle->access == platform::Access::QueryOnly ||
      RefusedAsUnbuffered(*handle, offset, buffer, bytes) || !DeviceRegion(handle->device, &region) ||
      !MediaAvailable(handle->device)) {
    AnswerTransfer(record, bytes, 0);
    return 0;
  }
  const std::size_t got = ReadRegion(region, offset, buffer, WithinLimit(*handle, offset, bytes));
  DelayTransfer(TheState().machine.readDelayMs, got);
  AnswerTransfer(record, bytes, got);
  return static_cast<std::uint32_t>(got);
}

std::uint32_t WriteAt(const platform::Device& device, std::uint64_t offset, const void* buffer, std::uint32_t bytes) {
  HandleState* handle = FindHandle(device.get());
  const std::size_t record = Record(Op::Write, PathOf(device.get()), offset, bytes);
  Region region;
  if (PowerFailsAtThisWrite() || FaultInjected(record) || handle == nullptr || !Writable(handle->access) ||
      RefusedAsUnbuffered(*handle, offset, buffer, bytes) || !DeviceRegion(handle->device, &region) ||
      !MediaAvailable(handle->device)) {
    AnswerTransfer(record, bytes, 0);
    return 0;
  }
  const std::size_t put = CarryOutWrite(*handle, offset, buffer, bytes);
  AnswerTransfer(record, bytes, put);
  WriteCarriedOut(record);
  return static_cast<std::uint32_t>(put);
}

}  // namespace

void CompleteWritesInFlight(platform::NativeHandle handle) {
  while (CompleteOneDrawn(handle)) {
  }
  auto& writes = TheState().writesInFlight;
  writes.erase(std::remove_if(writes.begin(), writes.end(),
                              [handle](const WriteInFlightState& write) {
                                return handle == platform::kNoHandle || write.handle == handle;
                              }),
               writes.end());
}

}  // namespace sim::detail

namespace platform {

using namespace sim::detail;
using sim::Op;

Device OpenDevice(const std::string& path, Access access) {
  const std::size_t record = Record(Op::Open, path, 0, static_cast<std::uint64_t>(access));
  DeviceId id;
  if (FaultInjected(record) || !ParseDevicePath(path, &id) || !Openable(id)) {
    Answer(record, false);
    return Device();
  }
  State& state = TheState();
  const NativeHandle handle = state.nextHandle++;
  HandleState& open = state.handles[handle];
  open.path = path;
  open.device = id;
  open.access = access;
  open.limit = FileSystemLimit(id);
  if (access == Access::ReadWriteUnbuffered) return Device(handle, SectorBytesOf(open));
  return Device(handle);
}

// A close the hook fails still gives the slot back: CloseHandle only fails for a handle that
// was not open, and a test that injects it should not see a leak it did not make.
void CloseNative(NativeHandle handle) {
  const std::size_t record = Record(Op::Close, PathOf(handle));
  const bool injected = FaultInjected(record);
  State& state = TheState();
  auto open = state.handles.find(handle);
  if (open == state.handles.end()) {
    Answer(record, false);
    return;
  }
  // Windows finishes what is in flight on a handle before the handle goes; a program that
  // closes it first has lost the count of what those writes moved.
  const bool writesLeft = std::any_of(state.writesInFlight.begin(), state.writesInFlight.end(),
                                      [handle](const WriteInFlightState& write) { return write.handle == handle; });
  if (writesLeft) ++state.closedWithWritesInFlight;
  CompleteWritesInFlight(handle);
  if (!open->second.device.isDisk) {
    auto lock = state.volumeLocks.find(open->second.device.letter);
    if (lock != state.volumeLocks.end() && lock->second == handle) state.volumeLocks.erase(lock);
  }
  state.handles.erase(open);
  Answer(record, !injected);
}

bool SetPosition(const Device& device, std::int64_t distance, Origin origin,
                 std::uint64_t* newPosition) {
  HandleState* handle = FindHandle(device.get());
  // Windows keeps no position for an unbuffered handle: its Device keeps it.
  const std::uint64_t here = device.unbuffered() ? device.position() : handle == nullptr ? 0 : handle->position;
  const std::uint64_t base = origin == Origin::Begin || handle == nullptr ? 0 : here;
  // Windows keeps positions as signed 64-bit numbers: a move before byte 0 or past 2^63 fails.
  bool valid = true;
  std::uint64_t target = 0;
  if (distance < 0) {
    const std::uint64_t back = 0 - static_cast<std::uint64_t>(distance);
    valid = back <= base;
    target = valid ? base - back : 0;
  } else {
    target = base + static_cast<std::uint64_t>(distance);
    valid = target >= base && target <= static_cast<std::uint64_t>(INT64_MAX);
  }
  const std::size_t record = Record(Op::Seek, PathOf(device.get()), target);
  if (FaultInjected(record) || handle == nullptr || !valid) {
    Answer(record, false);
    return false;
  }
  handle->position = target;
  if (device.unbuffered()) device.keepPosition(target);
  if (newPosition != nullptr) *newPosition = target;
  return true;
}

std::uint32_t ReadDevice(const Device& device, void* buffer, std::uint32_t bytes) {
  if (device.unbuffered()) return ReadInSectors(device, buffer, bytes);
  HandleState* handle = FindHandle(device.get());
  const std::uint32_t got = ReadAt(device, handle == nullptr ? 0 : handle->position, buffer, bytes);
  if (handle != nullptr) handle->position += got;
  return got;
}

std::uint32_t WriteDevice(const Device& device, const void* buffer, std::uint32_t bytes) {
  if (device.unbuffered()) return WriteInSectors(device, buffer, bytes);
  HandleState* handle = FindHandle(device.get());
  const std::uint32_t put = WriteAt(device, handle == nullptr ? 0 : handle->position, buffer, bytes);
  if (handle != nullptr) handle->position += put;
  return put;
}

std::uint32_t ReadSectors(const Device& device, std::uint64_t offset, void* buffer, std::uint32_t bytes) {
  return ReadAt(device, offset, buffer, bytes);
}

std::uint32_t WriteSectors(const Device& device, std::uint64_t offset, const void* buffer, std::uint32_t bytes) {
  return WriteAt(device, offset, buffer, bytes);
}

// Whole pages, zeroed, as VirtualAlloc gives them.
void* AllocateIoMemory(std::size_t bytes) {
  const std::size_t rounded = bytes == 0 ? 4096 : (bytes + 4095) / 4096 * 4096;
  void* memory = ::operator new(rounded, std::align_val_t{4096}, std::nothrow);
  if (memory != nullptr) std::memset(memory, 0, rounded);
  return memory;
}

void FreeIoMemory(void* memory) {
  if (memory != nullptr) ::operator delete(memory, std::align_val_t{4096});
}

// Logged as a Write when it starts; its count and answer are filled in when it is carried out.
// An unbuffered write takes whole sectors from aligned memory, or Windows refuses it.
WriteInFlight StartWrite(const Device& device, std::uint64_t offset, const void* buffer,
                         std::uint32_t bytes) {
  const std::size_t record = Record(Op::Write, PathOf(device.get()), offset, bytes);
  HandleState* handle = FindHandle(device.get());
  Region region;
  if (PowerFailsAtThisWrite() || FaultInjected(record) || handle == nullptr ||
      handle->access != Access::ReadWriteUnbuffered || !DeviceRegion(handle->device, &region) ||
      !MediaAvailable(handle->device) || RefusedAsUnbuffered(*handle, offset, buffer, bytes)) {
    AnswerTransfer(record, bytes, 0);
    Answer(record, false);  // a refused write of no bytes still failed
    return kNoWrite;
  }
  // Unanswered until it completes: a write lost in flight stays failed in the log.
  AnswerTransfer(record, bytes, 0);
  State& state = TheState();
  WriteInFlightState write;
  write.id = state.nextWrite++;
  write.handle = device.get();
  write.offset = offset;
  write.buffer = buffer;
  write.bytes = bytes;
  write.record = record;
  state.writesInFlight.push_back(write);
  return write.id;
}

// Other writes of the handle may complete first, as a disk with several commands queued
// finishes them in its own order.
std::uint32_t FinishWrite(const Device& device, WriteInFlight id) {
  State& state = TheState();
  auto find = [&state, id]() {
    return std::find_if(state.writesInFlight.begin(), state.writesInFlight.end(),
                        [id](const WriteInFlightState& write) { return write.id == id; });
  };
  auto write = find();
  if (write == state.writesInFlight.end() || write->handle != device.get()) return 0;
  // A test's write hook may cut the power while the others complete: the write is gone then.
  while (write != state.writesInFlight.end() && !write->done) {
    CompleteOneDrawn(device.get());
    write = find();
  }
  if (write == state.writesInFlight.end()) return 0;
  const std::uint32_t transferred = write->transferred;
  state.writesInFlight.erase(write);
  return transferred;
}

// FlushFileBuffers needs a handle opened for writing; it empties the cache of the whole disk
// behind the handle, as the disk's flush command does.
bool FlushDevice(const Device& device) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::Flush, device, &record);
  if (handle == nullptr) return false;
  Region region;
  if (!Writable(handle->access) || !DeviceRegion(handle->device, &region)) {
    return Finish(record, false);
  }
  return Finish(record, region.cache == nullptr || region.cache->Flush(*region.store));
}

// A file-system control: a disk handle has no file system to take it.
bool ControlAllowExtendedDasd(const Device& device) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::ExtendedDasd, device, &record);
  if (handle == nullptr) return false;
  if (handle->device.isDisk) return Finish(record, false);
  handle->limit = UINT64_MAX;
  return Finish(record, true);
}

bool ControlLockVolume(const Device& device) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::Lock, device, &record);
  if (handle == nullptr) return false;
  if (handle->device.isDisk) return Finish(record, true);
  const sim::Volume* volume = FindVolume(handle->device.letter);
  if (volume == nullptr || volume->lock != sim::LockBehaviour::Locks ||
      LockedByAnother(volume->letter, device.get())) {
    return Finish(record, false);
  }
  TheState().volumeLocks[volume->letter] = device.get();
  return Finish(record, true);
}

bool ControlDismountVolume(const Device& device) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::Dismount, device, &record);
  if (handle == nullptr) return false;
  if (handle->device.isDisk) return Finish(record, true);
  const sim::Volume* volume = FindVolume(handle->device.letter);
  return Finish(record, volume != nullptr && volume->lock != sim::LockBehaviour::Refuses);
}

// Windows answers ERROR_NOT_LOCKED for a handle that holds no lock.
bool ControlUnlockVolume(const Device& device) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::Unlock, device, &record);
  if (handle == nullptr) return false;
  if (handle->device.isDisk) return Finish(record, false);
  auto& locks = TheState().volumeLocks;
  auto lock = locks.find(handle->device.letter);
  if (lock == locks.end() || lock->second != device.get()) return Finish(record, false);
  locks.erase(lock);
  return Finish(record, true);
}

bool ControlUpdateDiskProperties(const Device& device) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::UpdateProperties, device, &record);
  if (handle == nullptr) return false;
  // Windows reads the partition table again: a wiped disk loses its volumes and their letters.
  if (handle->device.isDisk) MountDiskVolumes(handle->device.number);
  return Finish(record, handle->device.isDisk);
}

bool QueryVolumeDiskExtents(const Device& device, std::uint32_t* extentCount, DiskExtent* first) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::Extents, device, &record);
  if (handle == nullptr) return false;
  // A physical disk is no volume; a volume over two disks does not fit one extent.
  const sim::Volume* volume = handle->device.isDisk ? nullptr : FindVolume(handle->device.letter);
  if (volume == nullptr || volume->extentsFail || volume->secondDisk >= 0 || volume->disk < 0) {
    return Finish(record, false);
  }
  if (extentCount != nullptr) *extentCount = 1;
  if (first != nullptr) {
    first->diskNumber = static_cast<std::uint32_t>(volume->disk);
    first->startingOffset = static_cast<std::int64_t>(volume->offset);
    first->extentLength = static_cast<std::int64_t>(volume->length);
  }
  return Finish(record, true);
}

// Logged as a volume query on the device's path.
bool QueryVolumeIdentity(const Device& device, VolumeIdentity* identity) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::VolumeInfo, device, &record);
  if (handle == nullptr) return false;
  const sim::Volume* volume = handle->device.isDisk ? nullptr : FindVolume(handle->device.letter);
  BootInfo info;
  if (identity == nullptr || volume == nullptr || !MountedFileSystem(*volume, &info)) return Finish(record, false);
  identity->label = AnsiText(info.label).substr(0, 255);
  identity->fileSystem = info.fileSystem;
  identity->serialNumber = info.serial;
  return Finish(record, true);
}

bool QueryDriveGeometry(const Device& device, DiskGeometry* geometry) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::Geometry, device, &record);
  if (handle == nullptr) return false;
  const sim::Disk* disk = DiskBehind(*handle);
  return Finish(record, disk != nullptr && !disk->geometryFails && FillGeometry(*disk, geometry));
}

bool QueryDriveGeometryEx(const Device& device, DiskGeometry* geometry, std::uint64_t* diskSize) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::GeometryEx, device, &record);
  if (handle == nullptr) return false;
  const sim::Disk* disk = DiskBehind(*handle);
  if (disk == nullptr || disk->geometryExFails || !FillGeometry(*disk, geometry)) {
    return Finish(record, false);
  }
  if (diskSize != nullptr) *diskSize = disk->size;
  return Finish(record, true);
}

// Only a physical disk answers; its answers go through the same reading as a real driver's.
bool QueryDeviceIdentity(const Device& device, DeviceIdentity* identity) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::Identity, device, &record);
  if (handle == nullptr || identity == nullptr) return false;
  *identity = DeviceIdentity();
  const sim::Disk* disk = handle->device.isDisk ? FindDisk(handle->device.number) : nullptr;
  if (disk == nullptr) return Finish(record, false);
  bool answered = false;
  if (!disk->model.empty() || !disk->serial.empty() || !disk->bus.empty()) {
    const std::vector<std::uint8_t> bytes = DeviceDescriptorOf(*disk);
    answered = ReadDeviceDescriptor(bytes.data(), bytes.size(), identity);
  }
  if (disk->solidState != DeviceAnswer::Unknown) {
    const std::vector<std::uint8_t> bytes = SeekPenaltyDescriptorOf(*disk);
    answered = ReadSeekPenaltyDescriptor(bytes.data(), bytes.size(), identity) || answered;
  }
  return Finish(record, answered);
}

bool QueryLengthInfo(const Device& device, std::uint64_t* length) {
  std::size_t record = 0;
  HandleState* handle = BeginControl(Op::LengthInfo, device, &record);
  if (handle == nullptr) return false;
  Region region;
  if (!DeviceRegion(handle->device, &region)) return Finish(record, false);
  if (length != nullptr) *length = region.length;
  return Finish(record, true);
}

}  // namespace platform

namespace sim {

int OpenHandles() { return static_cast<int>(detail::TheState().handles.size()); }
int HandlesClosedWithWritesInFlight() { return detail::TheState().closedWithWritesInFlight; }

}  // namespace sim
