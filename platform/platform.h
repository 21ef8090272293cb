#pragma once
// The operating system as Dunmere uses it. Linked from exactly one of two implementations:
// win32/ (the real Windows calls) or sim/ (a simulated Windows machine). Nothing above this
// header sees a Windows type; names avoid the Windows header's A/W macros on purpose.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// ---- Handles ------------------------------------------------------------------------------

using NativeHandle = std::intptr_t;  // a HANDLE on Windows, a slot number in the simulation
inline constexpr NativeHandle kNoHandle = -1;

void CloseNative(NativeHandle handle);  // CloseHandle

// Owns one open device handle. Move-only, so a handle is closed exactly once. A handle opened
// unbuffered (Access::ReadWriteUnbuffered) carries what its synchronous calls need: the size of
// the sectors it moves, and its position, which the system keeps for no overlapped handle.
class Device {
 public:
  Device() = default;
  explicit Device(NativeHandle handle) : handle_(handle) {}
  // An unbuffered handle; sectorBytes is not 0.
  Device(NativeHandle handle, std::uint32_t sectorBytes) : handle_(handle), sectorBytes_(sectorBytes) {}
  Device(Device&& other) noexcept { take(&other); }
  Device& operator=(Device&& other) noexcept {
    if (this != &other) {
      reset();
      take(&other);
    }
    return *this;
  }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  ~Device() { reset(); }

  bool valid() const { return handle_ != kNoHandle; }
  explicit operator bool() const { return valid(); }
  NativeHandle get() const { return handle_; }
  // The bare handle: what it carried as an unbuffered handle stays behind.
  NativeHandle release() {
    NativeHandle h = handle_;
    handle_ = kNoHandle;
    sectorBytes_ = 0;
    position_ = 0;
    return h;
  }
  // Closes what it holds and takes a plain handle.
  void reset(NativeHandle handle = kNoHandle) {
    if (handle_ != kNoHandle) CloseNative(handle_);
    handle_ = handle;
    sectorBytes_ = 0;
    position_ = 0;
  }

  bool unbuffered() const { return sectorBytes_ != 0; }
  // The sectors an unbuffered handle moves whole; 0 for any other.
  std::uint32_t sectorBytes() const { return sectorBytes_; }
  // Where the last move or synchronous transfer left an unbuffered handle. Kept beside the
  // handle as the system keeps a plain handle's position: a call that does not change the
  // handle moves it all the same.
  std::uint64_t position() const { return position_; }
  void keepPosition(std::uint64_t position) const { position_ = position; }

 private:
  void take(Device* other) {
    sectorBytes_ = other->sectorBytes_;
    position_ = other->position_;
    handle_ = other->release();
  }

  NativeHandle handle_ = kNoHandle;
  std::uint32_t sectorBytes_ = 0;
  mutable std::uint64_t position_ = 0;
};

// ---- Raw devices ("\\.\E:", "\\.\physicaldrive1") -------------------------------------------

// Every open uses FILE_SHARE_READ | FILE_SHARE_WRITE, no security attributes, OPEN_EXISTING
// and no template; the three modes differ in access and attributes.
enum class Access {
  QueryOnly,  // access 0, no flags: device controls only (geometry queries)
  Read,       // GENERIC_READ, FILE_ATTRIBUTE_NORMAL (extents queries)
  ReadWrite,  // GENERIC_READ | GENERIC_WRITE, no flags (wipes, records, sector reads, locks)
  // GENERIC_READ | GENERIC_WRITE, FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED: a run's target,
  // whose blocks go past the system's cache, several at once (StartWrite). Every other call
  // here works on it as on a ReadWrite handle: its Device keeps its position, each transfer is
  // waited for, and one that is not in whole aligned sectors goes through a sector-aligned
  // buffer (reading the sectors around it first). The bare handle (Device::release) takes only
  // whole aligned sectors.
  ReadWriteUnbuffered,
};
Device OpenDevice(const std::string& path, Access access);

enum class Origin { Begin, Current };  // FILE_BEGIN, FILE_CURRENT
// SetFilePointer with a 64-bit distance (low part plus high part). False when the move failed;
// newPosition (optional) receives the resulting absolute position.
bool SetPosition(const Device& device, std::int64_t distance, Origin origin,
                 std::uint64_t* newPosition = nullptr);
// Synchronous ReadFile / WriteFile; the result is the number of bytes transferred.
std::uint32_t ReadDevice(const Device& device, void* buffer, std::uint32_t bytes);
std::uint32_t WriteDevice(const Device& device, const void* buffer, std::uint32_t bytes);

// ---- Writes in flight (a device opened ReadWriteUnbuffered) --------------------------------

// Memory that an unbuffered transfer can use: page-aligned, VirtualAlloc / VirtualFree. Null
// when the memory cannot be had.
void* AllocateIoMemory(std::size_t bytes);
void FreeIoMemory(void* memory);

class IoBuffer {
 public:
  IoBuffer() = default;
  explicit IoBuffer(std::size_t bytes) : data_(static_cast<std::uint8_t*>(AllocateIoMemory(bytes))) {}
  IoBuffer(IoBuffer&& other) noexcept : data_(other.data_) { other.data_ = nullptr; }
  IoBuffer& operator=(IoBuffer&& other) noexcept {
    if (this != &other) {
      FreeIoMemory(data_);
      data_ = other.data_;
      other.data_ = nullptr;
    }
    return *this;
  }
  IoBuffer(const IoBuffer&) = delete;
  IoBuffer& operator=(const IoBuffer&) = delete;
  ~IoBuffer() { FreeIoMemory(data_); }

  explicit operator bool() const { return data_ != nullptr; }
  std::uint8_t* data() const { return data_; }

 private:
  std::uint8_t* data_ = nullptr;
};

// One write started and not yet finished; kNoWrite when none.
using WriteInFlight = std::intptr_t;
inline constexpr WriteInFlight kNoWrite = -1;
// WriteFile with an OVERLAPPED that names `offset` from the device's start: the write starts and
// the call returns without waiting for it. The buffer is an IoBuffer's, offset and bytes are
// whole sectors, and the buffer stays untouched until FinishWrite. kNoWrite when the write
// could not be started. Every write started is finished, in any order.
WriteInFlight StartWrite(const Device& device, std::uint64_t offset, const void* buffer,
                         std::uint32_t bytes);
// GetOverlappedResult, waiting for the write: the bytes it put on the device (0 when it failed).
std::uint32_t FinishWrite(const Device& device, WriteInFlight write);

// ReadFile / WriteFile with an OVERLAPPED that names `offset`, waited for: on a device opened
// ReadWriteUnbuffered, whole sectors at whole sectors' offsets from memory aligned to a sector,
// or the system refuses them. The bytes moved. The synchronous calls above come here through
// a buffer of whole sectors (platform/sector_span.h) for a transfer of any other size or place.
std::uint32_t ReadSectors(const Device& device, std::uint64_t offset, void* buffer, std::uint32_t bytes);
std::uint32_t WriteSectors(const Device& device, std::uint64_t offset, const void* buffer, std::uint32_t bytes);

// FlushFileBuffers: true once everything written through the handle is on the media (the
// device's own write cache included), so a record saved after it never vouches for a block
// that a power cut could still lose.
bool FlushDevice(const Device& device);

// DeviceIoControl without input or output buffers.
// FSCTL_ALLOW_EXTENDED_DASD_IO: reads and writes through this volume handle are no longer
// bounded by the end of the file system (NTFS ends a sector before its partition does).
bool ControlAllowExtendedDasd(const Device& device);
bool ControlLockVolume(const Device& device);              // FSCTL_LOCK_VOLUME
bool ControlDismountVolume(const Device& device);          // FSCTL_DISMOUNT_VOLUME
bool ControlUnlockVolume(const Device& device);            // FSCTL_UNLOCK_VOLUME
bool ControlUpdateDiskProperties(const Device& device);    // IOCTL_DISK_UPDATE_PROPERTIES

struct DiskExtent {
  std::uint32_t diskNumber = 0;
  std::int64_t startingOffset = 0;
  std::int64_t extentLength = 0;
};
// IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS into a 32-byte buffer (the count and one extent): fails
// for a volume that spans more than one disk.
bool QueryVolumeDiskExtents(const Device& device, std::uint32_t* extentCount, DiskExtent* first);

// What a mounted volume tells of itself: texts in the system's ANSI code page, as the A calls
// give them; a serial number of 0 is unknown.
struct VolumeIdentity {
  std::string label;
  std::string fileSystem;
  std::uint32_t serialNumber = 0;
};
// GetVolumeInformationByHandleW on an open volume ("\\.\E:"): what VolumeInformation tells by
// root path, read through the handle, which still answers while that handle holds the volume
// locked. False for a disk, and for a volume whose file system is not mounted.
bool QueryVolumeIdentity(const Device& device, VolumeIdentity* identity);

struct DiskGeometry {
  std::int64_t cylinders = 0;
  std::uint32_t mediaType = 0;
  std::uint32_t tracksPerCylinder = 0;
  std::uint32_t sectorsPerTrack = 0;
  std::uint32_t bytesPerSector = 0;
};
bool QueryDriveGeometry(const Device& device, DiskGeometry* geometry);  // IOCTL_DISK_GET_DRIVE_GEOMETRY
// IOCTL_DISK_GET_DRIVE_GEOMETRY_EX into a 40-byte buffer: the geometry and DiskSize.
bool QueryDriveGeometryEx(const Device& device, DiskGeometry* geometry, std::uint64_t* diskSize);
// IOCTL_DISK_GET_LENGTH_INFO: the device's full length in bytes.
bool QueryLengthInfo(const Device& device, std::uint64_t* length);

// ---- Device identity (IOCTL_STORAGE_QUERY_PROPERTY) ---------------------------------------

// An answer a device may not give.
enum class DeviceAnswer { Unknown, No, Yes };

// What a disk says of itself. Texts are trimmed of blanks; an empty text is unknown.
struct DeviceIdentity {
  std::string vendor;
  std::string product;
  std::string revision;
  std::string serial;
  std::string bus;             // "SATA", "USB", "NVMe", ...
  DeviceAnswer removableMedia = DeviceAnswer::Unknown;
  DeviceAnswer solidState = DeviceAnswer::Unknown;  // Yes: the disk incurs no seek penalty
};

// StorageDeviceProperty and StorageDeviceSeekPenaltyProperty on an open disk (access 0 is
// enough). Each part may fail alone and then leaves its fields unknown; true when any part
// answered.
bool QueryDeviceIdentity(const Device& device, DeviceIdentity* identity);

// Reading the raw answers, for both implementations: STORAGE_DEVICE_DESCRIPTOR and
// DEVICE_SEEK_PENALTY_DESCRIPTOR as the driver returned them, `bytes` long. A text whose offset
// lies outside the answer, that runs past its end or holds a byte that is not printable ASCII
// stays unknown. False when the answer is too short to be a descriptor at all.
bool ReadDeviceDescriptor(const std::uint8_t* data, std::size_t bytes, DeviceIdentity* identity);
bool ReadSeekPenaltyDescriptor(const std::uint8_t* data, std::size_t bytes, DeviceIdentity* identity);
// STORAGE_BUS_TYPE codes and their names; an unknown code has an empty name, and an unknown
// name gives code 0 (BusTypeUnknown).
std::string BusTypeName(std::uint32_t code);
std::uint32_t BusTypeCode(const std::string& name);

// ---- What a disk can do to itself (protocol-specific answers) -------------------------------

// NVMe Identify Controller: the sanitize actions of SANICAP (bytes 328-331) and whether Format
// erases by crypto (FNA byte 524 bit 2).
struct NvmeController {
  std::string model;   // MN, bytes 24-63, trimmed
  std::string serial;  // SN, bytes 4-23, trimmed
  bool cryptoErase = false;
  bool blockErase = false;
  bool overwrite = false;
  bool cryptoEraseByFormat = false;
};

// What the Sanitize Status log page (0x81) says of the last or current sanitize.
enum class SanitizeState { NeverSanitized, Succeeded, InProgress, Failed };
inline constexpr std::uint32_t kNoEstimate = 0xFFFFFFFFu;
struct SanitizeStatus {
  SanitizeState state = SanitizeState::NeverSanitized;
  std::uint32_t progress = 0;  // SPROG: done so far, out of 65536, while InProgress
  bool globalDataErased = false;
  // Seconds each action takes by the disk's estimate; kNoEstimate when it gives none.
  std::uint32_t overwriteSeconds = kNoEstimate;
  std::uint32_t blockEraseSeconds = kNoEstimate;
  std::uint32_t cryptoEraseSeconds = kNoEstimate;
};

// ATA IDENTIFY DEVICE: the sanitize feature set (word 59), the host protected area (words 82
// and 85), the 48-bit sector count (words 100-103) and the security state (word 128).
struct AtaIdentify {
  bool sanitize = false;
  bool cryptoScramble = false;
  bool overwrite = false;
  bool blockErase = false;
  bool hpaSupported = false;
  bool hpaEnabled = false;
  std::uint64_t sectors = 0;  // user-addressable sectors (words 100-103, else 60-61)
  bool securitySupported = false;
  bool securityEnabled = false;
  bool securityLocked = false;
  bool securityFrozen = false;
};

// Reading the raw answers, for both implementations; every field is read only where the answer
// holds it. False when the answer is too short or holds nonsense (an identify whose texts are
// not text, an ATA identify whose checksum fails, a log whose state code is unknown).
bool ReadNvmeIdentifyController(const std::uint8_t* data, std::size_t bytes, NvmeController* controller);
bool ReadSanitizeStatusLog(const std::uint8_t* data, std::size_t bytes, SanitizeStatus* status);
bool ReadAtaIdentify(const std::uint8_t* data, std::size_t bytes, AtaIdentify* identify);
// STORAGE_PROTOCOL_DATA_DESCRIPTOR as IOCTL_STORAGE_QUERY_PROPERTY returned it: where its data
// lies, counted from the start of the answer. False when the data the descriptor names does not
// lie wholly inside the bytes returned, after the descriptor itself.
bool ProtocolDataPlace(const std::uint8_t* data, std::size_t bytes, std::size_t* offset,
                       std::size_t* length);
// The task file after READ NATIVE MAX ADDRESS EXT (27h): the last address of the disk from the
// 48-bit LBA of the current and previous registers. False when the status reports an error.
bool ReadNativeMaxAddress(const std::uint8_t current[8], const std::uint8_t previous[8],
                          std::uint64_t* lastAddress);

// The same answers from an open disk (access 0 is enough for the queries). Each is false with
// the system's error code in *error (ERROR_NOT_SUPPORTED where the driver knows no such query)
// or with 0 when the answer could not be read.
bool QueryNvmeController(const Device& device, NvmeController* controller, std::uint32_t* error);
bool QuerySanitizeStatus(const Device& device, SanitizeStatus* status, std::uint32_t* error);
bool QueryAtaIdentify(const Device& device, AtaIdentify* identify, std::uint32_t* error);
// READ NATIVE MAX ADDRESS EXT through IOCTL_ATA_PASS_THROUGH: a question, never a change.
bool QueryNativeMaxAddress(const Device& device, std::uint64_t* lastAddress, std::uint32_t* error);

// IOCTL_STORAGE_REINITIALIZE_MEDIA on a disk opened ReadWrite: the disk's own sanitize. It is
// sent from a worker thread, so the caller keeps pumping its window; poll until it returned.
enum class SanitizeAction { BlockErase, CryptoErase };
using SanitizeCommand = std::intptr_t;
inline constexpr SanitizeCommand kNoSanitizeCommand = -1;
SanitizeCommand StartSanitize(const Device& device, SanitizeAction action);
// False while the control has not returned. Then *accepted says whether the disk took the
// command (and *error why not), and the command is gone.
bool SanitizeReturned(SanitizeCommand command, bool* accepted, std::uint32_t* error);

// ---- Volumes by root path ("E:\") ----------------------------------------------------------

enum DriveTypeCode : std::uint32_t {
  kDriveUnknown = 0,
  kDriveNoRootDir = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdRom = 5,
  kDriveRamDisk = 6,
};
std::uint32_t DriveType(const std::string& rootPath);  // GetDriveTypeA
// GetVolumeInformationA with 255-character name buffers; serialNumber (optional) receives the
// number the volume was given when it was formatted. Other outputs are not requested.
bool VolumeInformation(const std::string& rootPath, std::string* volumeName,
                       std::string* fileSystemName, std::uint32_t* serialNumber = nullptr);
// GetDiskFreeSpaceExA asking only for the total number of bytes.
bool DiskTotalBytes(const std::string& rootPath, std::uint64_t* totalBytes);
// GetWindowsDirectoryA into a 2500-character buffer.
bool WindowsDirectory(std::string* directory);

// ---- Process and system ---------------------------------------------------------------------

inline constexpr std::uint32_t kPlatformWin32s = 0;
inline constexpr std::uint32_t kPlatformWindows9x = 1;  // VER_PLATFORM_WIN32_WINDOWS
inline constexpr std::uint32_t kPlatformNt = 2;         // VER_PLATFORM_WIN32_NT
// GetVersionExA with an OSVERSIONINFOA of size 148; dwPlatformId, asked anew at every call.
std::uint32_t PlatformId();

inline constexpr std::uint32_t kSemFailCriticalErrors = 1;
std::uint32_t ChangeErrorMode(std::uint32_t mode);  // SetErrorMode: returns the previous mode

struct LocalTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
  int year = 0;   // the local date, for texts that need the day as well
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
};
LocalTime LocalTimeNow();  // GetLocalTime

// Who and what the program runs on, for the erasure report; false when the system will not
// tell. GetComputerNameA, GetUserNameA, and RtlGetVersion as "Windows 10.0 (build 19045)".
bool ComputerName(std::string* name);
bool UserName(std::string* name);
bool WindowsVersion(std::string* version);

bool PerformanceCounter(std::uint64_t* counter);  // QueryPerformanceCounter
std::uint32_t TickCount();                        // GetTickCount
void SleepMs(std::uint32_t milliseconds);         // Sleep

// CreateMutexA without initial ownership; the handle stays open until the process ends.
// alreadyExists reports ERROR_ALREADY_EXISTS. False only when the mutex could not be made.
bool CreateInstanceMutex(const std::string& name, bool* alreadyExists);

// Full path of the running executable, with backslashes ("Z:\...\dunmere.exe").
std::string ExecutablePath();
// The folder of the executable + "\" + name; the name alone when the path names no folder.
std::string FileNextToExecutable(const std::string& fileName);
// Small files next to the executable (setting.bin, format.bat), by full path.
bool ReadFileBytes(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>* bytes);
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool WriteTextFile(const std::string& path, const std::string& text);  // text mode, replaces
bool RemoveFile(const std::string& path);                              // DeleteFileA
// CreateDirectoryA; true also when the folder is there already.
bool CreateFolder(const std::string& path);

std::uint32_t RunHidden(const std::string& commandLine);  // WinExec(..., SW_HIDE)
// ShellExecuteA(main window, "open", target, no parameters, no directory, SW_SHOW).
std::intptr_t ShellOpen(const std::string& target);
// SHFormatDrive(main window, drive index, SHFMT_ID_DEFAULT, SHFMT_OPT_FULL).
int ShellFormatDrive(unsigned driveIndex);
void PlaySoundAsync(const std::string& fileName);  // sndPlaySoundA(file, SND_ASYNC)

// OpenProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY), then LookupPrivilegeValueA and
// AdjustTokenPrivileges for SeShutdownPrivilege. False only when the token could not be opened.
bool EnableShutdownPrivilege();
int RequestPowerOff();  // ExitWindowsEx(EWX_POWEROFF, 0)

// SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED): the computer does not go to
// sleep until released; the display may still turn off. False when the system refused.
bool HoldSystemAwake();
bool ReleaseSystemAwake();  // SetThreadExecutionState(ES_CONTINUOUS)

// LoadLibraryA("korvane.dll"), GetProcAddress("pxRead"), one call, FreeLibrary. False when the
// library or its export is missing (no call is made then); *result is pxRead's byte.
bool CallSectorLibrary(std::uint8_t biosDrive, std::uint32_t firstSector, void* buffer,
                       std::uint8_t* result);

// Called once by the entry before anything else: the simulation loads its machine here.
void Initialise(const std::string& executablePath);
// True on the simulated machine: its disks and volumes are not those of the computer, and the
// windows say so.
bool MachineIsSimulated();

}  // namespace platform
