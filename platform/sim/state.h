#pragma once
// Internals shared by the files of the simulated machine. Nothing outside platform/sim includes
// this header: tests and the demo use machine.h, the program uses platform.h.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"

namespace sim::detail {

inline constexpr std::uint64_t kMiB = 1048576;

// A description's text (UTF-8) as the ANSI calls answer it, in the system code page.
std::string AnsiText(const std::string& utf8);
inline constexpr std::size_t kSectorBytes = 512;

// ---- Backing stores ---------------------------------------------------------------------------

// The bytes of one disk: an image file on the host or sparse memory. Transfers are clipped at
// the store's end and return the number of bytes moved.
class BackingStore {
 public:
  explicit BackingStore(std::uint64_t size) : size_(size) {}
  virtual ~BackingStore() = default;
  BackingStore(const BackingStore&) = delete;
  BackingStore& operator=(const BackingStore&) = delete;

  std::uint64_t size() const { return size_; }
  std::uint64_t written() const { return written_; }  // bytes written since it was opened
  std::size_t Read(std::uint64_t offset, void* out, std::size_t bytes);
  std::size_t Write(std::uint64_t offset, const void* in, std::size_t bytes);

 protected:
  // Called with offset + bytes inside the store.
  virtual std::size_t ReadInside(std::uint64_t offset, void* out, std::size_t bytes) = 0;
  virtual std::size_t WriteInside(std::uint64_t offset, const void* in, std::size_t bytes) = 0;

 private:
  std::uint64_t size_;
  std::uint64_t written_ = 0;
};

std::unique_ptr<BackingStore> MakeMemoryStore(std::uint64_t size);

// A disk's volatile write cache, in lines of kCacheLine bytes of the disk. A line holds the
// whole line as the program sees it; the media gets it at a flush or when it is evicted.
inline constexpr std::size_t kCacheLine = 4096;
class WriteCache {
 public:
  WriteCache(std::uint64_t capacityBytes, std::uint32_t seed);
  // Into the cache, evicting lines at random while it holds more than its capacity.
  std::size_t Write(BackingStore& store, std::uint64_t offset, const void* in, std::size_t bytes);
  // Lays the cached lines over bytes read from the media.
  void Overlay(std::uint64_t offset, void* out, std::size_t bytes) const;
  // Keeps cached lines in step with a write that went to the media directly.
  void Patch(std::uint64_t offset, const void* in, std::size_t bytes);
  bool Flush(BackingStore& store);
  // The power goes while the disk writes back: each line reaches the media or not, as the
  // seed draws, and the cache is empty.
  void WriteBackSome(BackingStore& store);
  void Drop() {
    lines_.clear();
    where_.clear();
  }

 private:
  struct Line {
    std::uint64_t index;
    std::vector<std::uint8_t> bytes;
  };
  Line& LineOf(BackingStore& store, std::uint64_t index);
  std::uint64_t Draw();
  void Evict(BackingStore& store, std::size_t at);

  std::size_t capacityLines_;
  std::uint64_t rng_;
  std::vector<Line> lines_;
  std::map<std::uint64_t, std::size_t> where_;  // line index: its place in lines_
};
// Opens the image file, creating it sparse when it is missing (*created says so) and growing a
// shorter one to size. Null and a message in *error when the file cannot be used.
std::unique_ptr<BackingStore> OpenImageStore(const std::string& path, std::uint64_t size,
                                             bool* created, std::string* error);

// ---- Devices ----------------------------------------------------------------------------------

// What a device path names: physical disk `number`, or the volume of drive `letter`.
struct DeviceId {
  bool isDisk = false;
  int number = -1;
  char letter = 0;
};
bool SameDevice(const DeviceId& a, const DeviceId& b);
// "\\.\X:" and "\\.\physicaldriveN", both case-insensitive; N is 0 to 99 without leading zeros.
bool ParseDevicePath(const std::string& path, DeviceId* id);

// The bytes a device covers: [offset, offset + length) of its disk's store.
struct Region {
  BackingStore* store = nullptr;
  WriteCache* cache = nullptr;  // null: writes reach the media at once
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};
bool DeviceRegion(const DeviceId& id, Region* region);  // false when it has no backing store
std::size_t ReadRegion(const Region& region, std::uint64_t position, void* out, std::size_t bytes);
// Straight to the media (a format, a test's own bytes); the cache stays in step.
std::size_t WriteRegion(const Region& region, std::uint64_t position, const void* in,
                        std::size_t bytes);
// A write of the program: through the disk's cache when it has one.
std::size_t WriteRegionCached(const Region& region, std::uint64_t position, const void* in,
                              std::size_t bytes);

// Writes the transfer as the disk under the device keeps it: a lying disk drops (or alters) the
// bytes of its lying blocks and still reports them written. Clipped as WriteRegion clips.
std::size_t WriteKeepingLies(const DeviceId& id, const Region& region, std::uint64_t position,
                             const void* in, std::size_t bytes);

struct HandleState {
  std::string path;  // as the program passed it to OpenDevice
  DeviceId device;
  platform::Access access = platform::Access::QueryOnly;
  std::uint64_t position = 0;
  std::uint64_t limit = UINT64_MAX;  // transfers stop here: the end of a mounted file system
  bool unplugged = false;  // its device was pulled out: every call on it fails until it is closed
};

// Logs a control sent to the handle and asks the fault hook. Null (the call answered as failed)
// when the hook fails it or the handle is not open.
HandleState* BeginControl(Op op, const platform::Device& device, std::size_t* record);
bool Finish(std::size_t record, bool ok);  // answers the call: ok

const Disk* FindDisk(int number);
// A volume mounted now (from its disk's partition table, or described without a disk); null for
// a letter the machine does not have at the moment.
const Volume* FindVolume(char letter);  // any case
char UpperLetter(char letter);

// ---- Boot sectors -----------------------------------------------------------------------------

struct BootInfo {
  std::string fileSystem;
  std::string label;
  std::uint64_t fileSystemSize = 0;
  std::uint32_t serial = 0;  // the volume serial number
};
bool KnownFileSystem(const std::string& fileSystem);  // exact spelling
// Upper-case spellings as FORMAT accepts them ("fat32", "EXFAT") to the spelling Windows reports.
bool CanonicalFileSystem(const std::string& name, std::string* canonical);
// One 512-byte sector; empty when the file system is not known.
std::vector<std::uint8_t> MakeBootSector(const std::string& fileSystem, const std::string& label,
                                         std::uint64_t fileSystemSize, std::uint32_t serial);
bool RecogniseBootSector(const std::uint8_t* sector, BootInfo* info);
// What Windows would mount on the volume now: from its boot sector, or from the description for
// a volume without a disk. False when it has no medium or nothing is recognised.
bool MountedFileSystem(const Volume& volume, BootInfo* info);
// The file-system size a format gives the volume.
std::uint64_t FormattedSize(const Volume& volume);
// The serial number a volume's boot sector gets when the machine is loaded, and one drawn anew
// for each later format.
std::uint32_t DescribedSerial(const Volume& volume);
std::uint32_t FormatSerial(const Volume& volume);
bool WriteBootSector(const Volume& volume, const std::string& fileSystem, const std::string& label,
                     std::uint64_t fileSystemSize, std::uint32_t serial);

// ---- Partition tables --------------------------------------------------------------------------

// Whether the disk keeps its volumes in a partition table. A disk whose described volumes a
// table cannot hold (one in sector 0, off sector boundaries, more than four, past 2^32 sectors)
// has none: its described volumes are always mounted, as on a disk formatted without partitions.
bool DiskHasTable(const Machine& machine, const Disk& disk);
// Writes the table of the disk's described volumes into its sector 0. Nothing is written for a
// disk without described volumes: a new disk out of the box is blank.
bool WritePartitionTable(const Disk& disk);
// Mounts the volumes the disk holds now, replacing those it held: for a disk with a table, one
// per valid entry, lettered as the description letters the same region (else the first free
// letter); a wiped or damaged table leaves the disk without volumes and its problem noted.
void MountDiskVolumes(int number);
// All disks afresh, and the volumes without a disk.
void MountAllVolumes();

// ---- Host files next to the executable ----------------------------------------------------------

// "C:\Program Files\Dunmere\dunmere.exe" gives "C:\Program Files\Dunmere".
std::string ExecutableFolder();
// A path inside the executable's folder to the same name inside machine.hostFolder.
bool MapToHost(const std::string& windowsPath, std::string* hostPath);
bool ReadHostFile(const std::string& hostPath, std::size_t maxBytes,
                  std::vector<std::uint8_t>* bytes);

// ---- Checking a machine ------------------------------------------------------------------------

// Every rule a machine must follow, with messages that name the field ("volumes[1].offset").
bool CheckMachine(const Machine& machine, std::string* error);

// ---- The state ---------------------------------------------------------------------------------

struct WriteFault {
  DeviceId device;
  std::uint64_t firstBlock = 0;
  std::uint64_t count = 0;
  std::uint32_t transferred = 0;
};

// A write started in flight and not yet carried out: its bytes are taken from the buffer when
// it completes.
struct WriteInFlightState {
  platform::WriteInFlight id = platform::kNoWrite;
  platform::NativeHandle handle = platform::kNoHandle;
  std::uint64_t offset = 0;
  const void* buffer = nullptr;
  std::uint32_t bytes = 0;
  std::size_t record = 0;  // its Write call in the log
  bool done = false;
  std::uint32_t transferred = 0;
};

// The sanitize a disk carries out, or the last one it carried out.
struct SanitizeRun {
  platform::SanitizeAction action = platform::SanitizeAction::CryptoErase;
  platform::SanitizeState state = platform::SanitizeState::NeverSanitized;
  std::uint32_t startedMs = 0;  // TickCount when it started (or restarted at power-on)
  bool failMidway = false;
};
// The bytes a disk's store holds: what it reports and its hidden sectors past that.
std::uint64_t StoreBytes(const Disk& disk);
// False while the disk behind the device sanitizes or its last sanitize failed: every read and
// write is refused then, as the disk refuses them.
bool MediaAvailable(const DeviceId& id);
// The sanitize state a disk keeps over a power cut (image disks in a file beside the image).
void RestoreSanitizeRuns(const std::map<int, SanitizeRun>& keptMemoryDisks);

struct PendingFormat {
  std::string fileSystem;
  std::string label;
  int pollsLeft = 0;
};

// Uptime at the start: an hour after boot, so the tick count is not near zero.
inline constexpr std::uint64_t kStartUptimeMs = 3600000;

struct State {
  Machine machine;
  std::vector<Volume> volumes;  // mounted now; FindVolume's answers
  std::map<int, std::string> tableProblems;  // by disk number: why volumes are missing
  std::map<int, std::unique_ptr<BackingStore>> stores;  // by disk number
  std::map<int, std::unique_ptr<WriteCache>> caches;     // by disk number, disks with a cache
  bool poweredOff = false;
  std::uint64_t powerCutAtWrite = 0;  // counted down by every device write; 0: no cut planned
  bool powerCutEndsProcess = false;
  std::map<platform::NativeHandle, HandleState> handles;
  platform::NativeHandle nextHandle = 1;
  std::map<char, platform::NativeHandle> volumeLocks;  // letter: the handle that locked it
  std::vector<Call> calls;
  std::function<bool(const Call&)> faultHook;
  std::vector<WriteFault> writeFaults;
  std::map<std::pair<int, std::uint64_t>, std::uint32_t> lyingWrites;  // (disk, block): writes so far
  std::uint64_t clockMs = 0;  // virtual local time, milliseconds since midnight
  std::int64_t clockDay = 20514;  // virtual local date, days since 1970-01-01 (2026-03-02)
  std::uint32_t clockStepPerQuery = 0;
  std::uint64_t uptimeMs = kStartUptimeMs;  // virtual time since boot
  std::uint64_t counterQueries = 0;
  std::uint32_t errorMode = 0;
  std::set<std::string> heldMutexes;     // held by another process
  std::set<std::string> createdMutexes;  // created by this process
  std::map<char, PendingFormat> pendingFormats;
  std::string loadProblem;
  std::vector<WriteInFlightState> writesInFlight;  // started and not yet finished, in start order
  platform::WriteInFlight nextWrite = 1;
  std::uint64_t formatsDone = 0;  // each format gives its volume a new serial number
  int closedWithWritesInFlight = 0;  // handles closed before every write started on them was finished
  std::uint64_t completionDraw = 0x9E3779B97F4A7C15ull;  // the order writes in flight complete in
  std::map<int, SanitizeRun> sanitizes;  // by disk number
  std::set<int> failSanitizeMidway;      // disks whose next sanitize fails half-way
  std::map<platform::SanitizeCommand, std::pair<bool, std::uint32_t>> sanitizeCommands;  // accepted, error
  platform::SanitizeCommand nextSanitizeCommand = 1;
};
State& TheState();
// Carries out the writes in flight of the handle (kNoHandle: of every handle), all of them.
void CompleteWritesInFlight(platform::NativeHandle handle);

// ---- Recording calls ---------------------------------------------------------------------------

// Appends the call to the log, then asks the fault hook. The returned index lets the call
// write its answer into the record once it knows it.
std::size_t Record(Op op, const std::string& path, std::uint64_t offset = 0,
                   std::uint64_t bytes = 0);
// True when the power is off (every call fails then) or the test's hook fails the call.
bool FaultInjected(std::size_t record);
// Counts a device write towards a planned power cut; true when the power went at this one.
bool PowerFailsAtThisWrite();
void Answer(std::size_t record, bool ok);
void AnswerTransfer(std::size_t record, std::uint64_t asked, std::uint64_t transferred);
std::function<void(const Call&)>& WriteHook();
// Tells the test's write hook that the write of this record has been carried out.
void WriteCarriedOut(std::size_t record);

}  // namespace sim::detail
