#pragma once
// The simulated Windows machine behind platform/sim: what tests and the demo build use to
// describe a machine, inject faults and look at what the program did. A machine is a set of
// physical disks backed by image files (or memory) and lettered drives, most of them volumes
// that are regions of a disk's image, so that a disk wipe really overwrites its volumes.
//
// A volume's file system, label and file-system size are recognised from its boot sector
// (layout in docs/simulated-machine.md): a wiped volume shows as unformatted, and a restarted
// program finds the breakpoint record a run left in it. The volumes themselves come from the
// partition table in each disk's first sector: a wiped disk has none once it is read again.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

enum class LockBehaviour { Locks, DismountsOnly, Refuses };

struct Disk {
  int number = 0;                // 0 to 99, "\\.\physicaldriveN"
  std::uint64_t size = 0;        // bytes
  std::string image;             // host path of a sparse image file; empty: kept in memory
  bool openable = true;          // false: every open fails (absent for the program)
  bool geometryFails = false;    // IOCTL_DISK_GET_DRIVE_GEOMETRY fails
  bool geometryExFails = false;  // IOCTL_DISK_GET_DRIVE_GEOMETRY_EX fails
  std::uint32_t bytesPerSector = 512;
  // Bytes of volatile write cache: a write is readable at once but reaches the media only when
  // the disk is flushed or the cache evicts it. 0: every write reaches the media at once.
  std::uint64_t writeCache = 0;
  std::uint32_t cacheSeed = 1;  // the order in which a full cache evicts
  // What IOCTL_STORAGE_QUERY_PROPERTY answers. With model, serial and bus all empty the disk
  // gives no device descriptor; solidState Unknown: it gives no seek-penalty descriptor.
  std::string model;   // the descriptor's product id, as the disk sends it (blanks and all)
  std::string serial;
  std::string bus;     // a STORAGE_BUS_TYPE name: "SATA", "USB", "NVMe", ...
  platform::DeviceAnswer solidState = platform::DeviceAnswer::Unknown;
  // A lying disk: writes that reach blocks [lieFirst, lieFirst + lieCount) of 1 MiB (counted
  // from the disk's byte 0) report every byte written but store nothing there, or with
  // lieStoresOther each byte complemented. With lieHealsAfter n > 0 only the first n writes to
  // each such block lie and later ones are stored (1: the second write heals it).
  std::uint64_t lieFirst = 0;
  std::uint64_t lieCount = 0;
  bool lieStoresOther = false;
  std::uint32_t lieHealsAfter = 0;
  // An NVMe disk's own sanitize: the actions it offers ("crypto", "block", "overwrite"; none by
  // default), how long one takes on the machine's clock, whether it answers the Sanitize Status
  // log page, and a Win32 error the sanitize control fails with (0: it is accepted). A lying
  // disk's lying blocks keep their bytes through a sanitize too.
  std::vector<std::string> sanitize;
  std::uint32_t sanitizeSeconds = 30;
  bool sanitizeLog = true;
  std::uint32_t sanitizeError = 0;
  // A SATA or ATA disk: sectors of a host protected area past `size` (the image holds them; the
  // disk reports `size`, READ NATIVE MAX ADDRESS the whole), and its security state frozen.
  std::uint64_t hiddenSectors = 0;
  bool securityFrozen = false;
};

struct Volume {
  char letter = 'C';                                  // C to Z (A, B allowed for odd machines)
  std::uint32_t driveType = platform::kDriveFixed;    // GetDriveTypeA's answer
  int disk = -1;                 // number of the disk holding it; -1: no disk (network, CD, RAM)
  std::uint64_t offset = 0;      // byte offset of the volume within its disk
  std::uint64_t length = 0;      // the volume's device length in bytes
  bool hasMedium = true;         // a removable drive without medium fails every query and open
  bool extentsFail = false;      // IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS fails
  int secondDisk = -1;           // >= 0: the volume spans a second disk (extents query fails)
  LockBehaviour lock = LockBehaviour::Locks;
  bool openable = true;          // false: opens of "\\.\X:" fail
  // Written as a boot sector when the machine is loaded and the image is new:
  std::string fileSystem;        // "NTFS", "FAT32", "FAT", "exFAT"; empty: unformatted
  std::string label;
  std::uint64_t fileSystemSize = 0;  // 0: the whole length
  // The serial number GetVolumeInformationA reports, kept where the file system keeps it; 0: one
  // derived from the letter, disk, offset and length. A later format draws a new one.
  std::uint32_t volumeSerial = 0;
};

struct Machine {
  std::uint32_t platformId = platform::kPlatformNt;
  std::string windowsDirectory = "C:\\WINDOWS";  // empty: GetWindowsDirectoryA fails
  std::string executablePath = "C:\\Program Files\\Dunmere\\dunmere.exe";
  std::string hostFolder;       // host folder standing for the executable's folder
  bool realClock = false;       // true: host time and real sleeps (the demo); false: virtual
  bool performanceCounter = true;
  bool sectorLibrary = false;   // "korvane.dll" with pxRead present (reads as the NT path does)
  bool formatCommand = true;    // FORMAT.COM can be started
  int formatPolls = 1;          // volume reports a size again after this many polls; <0: never
  int formatDialogResult = 0;   // SHFormatDrive's answer
  std::uint32_t writeDelayMs = 0;  // real milliseconds each 1 MiB written takes (demo pacing)
  // Handles of a mounted volume stop at the end of its file system (fileSystemSize), as NTFS
  // bounds them, unless the extended-DASD control was sent on the handle.
  bool fileSystemBounds = false;
  std::string computerName = "SIMULATED-PC";  // empty: GetComputerNameA fails
  std::string userName = "Operator";          // empty: GetUserNameA fails
  std::string windowsVersion = "Windows 10.0 (build 19045)";  // empty: unknown
  std::uint32_t readDelayMs = 0;   // real milliseconds each 1 MiB read takes (demo pacing)
  std::vector<Disk> disks;
  std::vector<Volume> volumes;
};

// Shorthands for building machines: a disk kept in memory, and a volume on a disk (-1: none).
Disk MemoryDisk(int number, std::uint64_t size);
Volume VolumeOn(char letter, int disk, std::uint64_t offset, std::uint64_t length,
                const std::string& fileSystem = "", const std::string& label = "");

// Replaces the whole simulated state with this machine: images that do not exist are created
// sparse with the partition table of their volumes, and their formatted volumes get a boot
// sector; existing images are kept as they are, and their tables say which volumes are there.
bool Load(const Machine& machine, std::string* error);
// Parses a machine description (JSON, docs/simulated-machine.md). Malformed text or wrong
// types give false and a clear message in *error; nothing is loaded then.
bool ParseDescription(const std::string& json, Machine* machine, std::string* error);
// The built-in demo: disk 0 with C: (Windows), a fixed data disk 1 with D: and E: that hides
// sectors behind a host protected area, a removable USB stick as disk 2 with F:, and an NVMe
// disk 3 with H: that can sanitize itself; images in imageFolder.
Machine DemoMachine(const std::string& imageFolder);
// The machine loaded now, as described (images are not read back into it: the volumes mounted
// now are what the drive queries answer).
const Machine& CurrentMachine();

// What a change of the machine while the program runs plugged in and pulled out. A disk whose
// description changed (image, size, model, serial, bus, sector size) was pulled out and another
// plugged in under its number; a letter whose volume changed, both.
struct PlugChanges {
  std::vector<int> disksGone;
  std::vector<int> disksCome;
  std::string volumesGone;  // drive letters, in order
  std::string volumesCome;
  bool Any() const {
    return !disksGone.empty() || !disksCome.empty() || !volumesGone.empty() || !volumesCome.empty();
  }
};
// The machine becomes this description the way a running Windows sees disks come and go:
// disks described as before stay as they are, with their caches, handles and locks; the others
// are pulled out (their handles fail every call from now on, what their caches held is lost)
// and the new ones plugged in, their images opened as Load opens them. The calls made, faults,
// clock and everything else of the session stay. False and nothing changed when the
// description breaks a rule or a new disk's image cannot be had.
bool Replug(const Machine& machine, PlugChanges* changes, std::string* error);
// dunmere-sim.exe's answer to a rewritten description file (the one DUNMERE_MACHINE names): the
// machine is replugged to what the file describes now, unless its text is the one loaded last
// (then nothing changes). False with the reason in *problem when the file cannot be read or
// used; the machine stays as it was then.
bool ReplugFromDescription(const std::string& descriptionPath, PlugChanges* changes,
                           std::string* problem);
// Why Initialise could not load the machine DUNMERE_MACHINE names (it then loaded the demo);
// empty when nothing went wrong.
const std::string& LoadProblem();
// The warning shown before the demo loads in place of a described machine that failed.
std::string DemoInsteadText(const std::string& problem);

// What the last reading of each disk's partition table (at load, and after the update-properties
// control) found wrong, one line per disk in disk order, such as "disk 1: entry 2: sectors 2048
// to 9999 overlap entry 1". A wiped table is told only for a disk the description gives volumes.
std::vector<std::string> PartitionTableProblems();

// Writes a boot sector that makes the volume recognised with this file system and label.
bool FormatVolume(char letter, const std::string& fileSystem, const std::string& label,
                  std::uint64_t fileSystemSize);

// ---- Looking at the devices ----------------------------------------------------------------
std::vector<std::uint8_t> ReadDisk(int disk, std::uint64_t offset, std::size_t bytes);
bool WriteDisk(int disk, std::uint64_t offset, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadVolume(char letter, std::uint64_t offset, std::size_t bytes);
bool WriteVolume(char letter, std::uint64_t offset, const std::vector<std::uint8_t>& bytes);

// ---- The calls the program made --------------------------------------------------------------
enum class Op {
  Open, Close, Seek, Read, Write, Lock, Dismount, Unlock, UpdateProperties, Extents, Geometry,
  GeometryEx, LengthInfo, DriveType, VolumeInfo, FreeSpace, WindowsDir, RunHidden, ShellOpen,
  ShellFormat, PlaySound, PowerOff, SectorLibrary, ErrorMode, WriteFile, ReadFile, RemoveFile,
  ShutdownPrivilege,  // EnableShutdownPrivilege
  HoldAwake, ReleaseAwake,  // SetThreadExecutionState
  Flush, ExtendedDasd,
  Identity,           // QueryDeviceIdentity
  CreateFolder,
  NvmeIdentify, SanitizeLog, AtaIdentify, NativeMax,  // the protocol-specific queries
  Sanitize,           // IOCTL_STORAGE_REINITIALIZE_MEDIA; bytes: the SanitizeAction as a number
};
struct Call {
  Op op;
  std::string path;          // device path, root path or file name; empty when none
  std::uint64_t offset = 0;  // Seek: the target position; Read/Write: the position before
  std::uint64_t bytes = 0;   // Read/Write: bytes asked; Open: the Access as a number
  bool ok = true;            // what the call answered; Read/Write: every byte asked was moved
  std::uint64_t transferred = 0;  // Read/Write: bytes actually moved
};
const std::vector<Call>& Calls();
// The calls of one kind in the order they were made; on one path only when path is not empty.
std::vector<Call> CallsOf(Op op, const std::string& path = std::string());
// The sound files played, in order.
std::vector<std::string> SoundsPlayed();
void ClearCalls();
int OpenHandles();  // device handles open now; 0 after every balanced run
// Device handles closed while a write started on them (StartWrite) was not finished yet
// (FinishWrite), since the machine was loaded; 0 after every balanced run.
int HandlesClosedWithWritesInFlight();

// ---- Faults --------------------------------------------------------------------------------
// Asked before every call is carried out; returning true makes the call fail (an open gives no
// handle, a seek false, a read or write transfers 0 bytes, a control fails).
void SetFaultHook(std::function<bool(const Call&)> hook);
// Writes on this device path whose start falls in blocks [first, first + count) of 1 MiB
// transfer only `transferred` bytes.
void FailWrites(const std::string& path, std::uint64_t firstBlock, std::uint64_t count,
                std::uint32_t transferred = 0);
void ClearFaults();  // the write hook too

// Called with its Write call each time a write of the program has been carried out: a
// synchronous one when it returns, one started in flight when it completes.
void SetWriteHook(std::function<void(const Call&)> hook);
// Writes started in flight (StartWrite) and not carried out yet.
int WritesInFlight();

// ---- Power ---------------------------------------------------------------------------------
// dunmere-sim.exe ends with this code when DUNMERE_POWER_CUT cuts the power.
inline constexpr int kPowerCutExitCode = 75;
// The power fails now: every write still in a disk's cache is lost, and every call fails until
// a machine is loaded or restarted. With writeBackSome the disk was writing its cache back when
// the power went: each cached 4 KiB line reaches the media or not, in no order of the writes,
// as the cache's seed draws.
void CutPower(bool writeBackSome = false);
// The power fails at the n-th device write from now (1: the next one), which is not carried
// out, with some of the cache written back. With endProcess the process then ends at once with
// kPowerCutExitCode. 0: never.
void CutPowerAtWrite(std::uint64_t n, bool endProcess = false);
bool PoweredOff();
// The machine switched on again: loads the description as Load does, but a memory disk of the
// same number and size keeps its media (what was flushed or evicted before the power went).
bool Restart(const Machine& machine, std::string* error);
// Bytes that reached the media of the disk since they were created or opened (a restart keeps
// counting).
std::uint64_t MediaBytesWritten(int disk);

// ---- The disks' own sanitize ------------------------------------------------------------------
// The next sanitize of the disk stops half-way and fails, as a disk whose erase hits a fault:
// its media is half changed and it then takes nothing but a new sanitize.
void FailSanitizeMidway(int disk);

// ---- Clock ---------------------------------------------------------------------------------
void SetClock(int hour, int minute, int second, int milliseconds = 0);
// The virtual clock's date (it starts on 2026-03-02 and turns with the clock at midnight).
void SetDate(int year, int month, int day);
void AdvanceClock(std::uint32_t milliseconds);  // also what SleepMs does to a virtual clock
// Virtual clock only: every LocalTimeNow call advances the clock by this much (default 0).
void SetClockStepPerQuery(std::uint32_t milliseconds);

// ---- Other state ---------------------------------------------------------------------------
void SetPlatformId(std::uint32_t id);
bool MutexHeld(const std::string& name);
void HoldMutex(const std::string& name);  // as if another copy of the program were running
std::uint32_t ErrorMode();

}  // namespace sim
