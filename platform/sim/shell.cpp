// Starting programs, the shell, sound, power and the sector library. FORMAT.COM is
// simulated by reading the batch file the program wrote and formatting the volume it names a
// few size polls later; everything else is recorded and answered as Windows answers it.
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/sim/host.h"
#include "platform/sim/state.h"

namespace sim::detail {
namespace {

constexpr std::uint32_t kStarted = 33;        // WinExec: above 31 means started
constexpr std::uint32_t kFileNotFound = 2;    // ERROR_FILE_NOT_FOUND, for WinExec and the shell
constexpr std::intptr_t kShellOpened = 42;    // ShellExecuteA: above 32 means done
constexpr int kFormatError = -1;              // SHFMT_ERROR
constexpr int kFormatCancel = -2;             // SHFMT_CANCEL
constexpr int kFormatNotFormatted = -3;       // SHFMT_NOFORMAT
constexpr std::size_t kMaxBatchBytes = 65536;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool HostFileExists(const std::string& hostPath) {
  std::error_code ec;
  return std::filesystem::is_regular_file(hostPath, ec);
}

// The shell opens a folder in a window of its own, as it opens a document.
bool HostFolderExists(const std::string& hostPath) {
  std::error_code ec;
  return std::filesystem::is_directory(hostPath, ec);
}

// What FORMAT.COM does to a volume: a new boot sector, now or after `formatPolls` size polls.
void ScheduleFormat(char letter, const std::string& fileSystem, const std::string& label) {
  State& state = TheState();
  const Volume* volume = FindVolume(letter);
  const int polls = state.machine.formatPolls;
  if (volume == nullptr || volume->disk < 0 || !volume->hasMedium || polls < 0) return;
  if (polls == 0) {
    WriteBootSector(*volume, fileSystem, label, FormattedSize(*volume), FormatSerial(*volume));
    return;
  }
  PendingFormat& pending = state.pendingFormats[volume->letter];
  pending.fileSystem = fileSystem;
  pending.label = label;
  pending.pollsLeft = polls;
}

// The one command line the program writes: ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:<fs> <X:>
bool ParseFormatLine(const std::string& line, std::string* fileSystem, char* letter) {
  static const std::string kCommand = "echo y|format.com /q/v:clean /fs:";
  const std::string text = Trim(line);
  if (Lower(text).compare(0, kCommand.size(), kCommand) != 0) return false;
  const std::string rest = text.substr(kCommand.size());
  const std::size_t blank = rest.find(' ');
  if (blank == std::string::npos) return false;
  const std::string drive = rest.substr(blank + 1);
  if (drive.size() != 2 || drive[1] != ':' || !std::isalpha(static_cast<unsigned char>(drive[0]))) {
    return false;
  }
  *letter = UpperLetter(drive[0]);
  return CanonicalFileSystem(rest.substr(0, blank), fileSystem);
}

std::uint32_t RunBatch(const std::string& hostPath) {
  std::vector<std::uint8_t> bytes;
  if (!TheState().machine.formatCommand || !ReadHostFile(hostPath, kMaxBatchBytes, &bytes)) {
    return kFileNotFound;
  }
  const std::string text(bytes.begin(), bytes.end());
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string fileSystem;
    char letter = 0;
    if (ParseFormatLine(text.substr(start, end - start), &fileSystem, &letter)) {
      ScheduleFormat(letter, fileSystem, "CLEAN");
    }
    start = end + 1;
  }
  return kStarted;
}

bool IsBatchFile(const std::string& path) {
  const std::string lower = Lower(path);
  return EndsWith(lower, ".bat") || EndsWith(lower, ".cmd");
}

// WinExec takes an unquoted path with blanks whole when that names a file, as CreateProcess
// does; otherwise the program is the quoted part or the first word. A batch file is handed to
// cmd.exe with the same command line, and cmd.exe cuts an unquoted one at its first blank: cmd
// starts (WinExec reports success) but finds no "C:\Program", and the batch never runs.
std::uint32_t StartProgram(const std::string& commandLine) {
  const std::string line = Trim(commandLine);
  const bool quoted = !line.empty() && line[0] == '"';
  std::vector<std::string> candidates;
  if (quoted) {
    candidates.push_back(line.substr(1, line.find('"', 1) - 1));
  } else {
    candidates.push_back(line);
    candidates.push_back(line.substr(0, line.find(' ')));
  }
  for (const std::string& program : candidates) {
    if (Lower(program) == "format.com") {
      return TheState().machine.formatCommand ? kStarted : kFileNotFound;
    }
    std::string host;
    if (IsBatchFile(program) && MapToHost(program, &host) && HostFileExists(host)) {
      const bool cmdFindsIt = quoted || program.find(' ') == std::string::npos;
      return cmdFindsIt ? RunBatch(host) : kStarted;
    }
  }
  return kFileNotFound;
}

// The host file a name the program passes stands for. A bare name is looked for in the current
// directory: the executable's folder.
bool HostFileFor(const std::string& name, std::string* host) {
  if (name.find_first_of("\\/:") != std::string::npos) return MapToHost(name, host);
  const std::string& hostFolder = TheState().machine.hostFolder;
  if (hostFolder.empty() || name.empty()) return false;
  *host = (std::filesystem::path(hostFolder) / name).string();
  return true;
}

std::intptr_t OpenTarget(const std::string& target) {
  const std::string lower = Lower(target);
  if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0 ||
      lower.rfind("mailto:", 0) == 0) {
    return kShellOpened;
  }
  std::string host;
  if (!HostFileFor(target, &host)) return kFileNotFound;
  // The simulated folders are real folders of the host: its file browser shows them.
  if (!HostFileExists(host)) {
    return HostFolderExists(host) && sim::host::ShowFolder(host) ? kShellOpened : kFileNotFound;
  }
  // Only help files go to the host: the demo's web addresses are made up, and no program of
  // the host is ever started for the simulated machine.
  if (EndsWith(Lower(host), ".chm")) sim::host::ShowHelpFile(host);
  return kShellOpened;
}

// A request about the machine itself that Windows grants unless a fault says otherwise.
bool Accepted(Op op) {
  const std::size_t record = Record(op, std::string());
  const bool ok = !FaultInjected(record);
  Answer(record, ok);
  return ok;
}

}  // namespace
}  // namespace sim::detail

namespace platform {

using namespace sim::detail;
using sim::Op;

std::uint32_t RunHidden(const std::string& commandLine) {
  const std::size_t record = Record(Op::RunHidden, commandLine);
  const std::uint32_t result = FaultInjected(record) ? kFileNotFound : StartProgram(commandLine);
  Answer(record, result > 31);
  return result;
}

std::intptr_t ShellOpen(const std::string& target) {
  const std::size_t record = Record(Op::ShellOpen, target);
  const std::intptr_t result = FaultInjected(record) ? kFileNotFound : OpenTarget(target);
  Answer(record, result > 32);
  return result;
}

// The dialog is not shown: the machine says how the user closed it. A format it reports as
// done leaves the volume with the file system Windows proposes for the drive, without a label.
int ShellFormatDrive(unsigned driveIndex) {
  const char letter = driveIndex < 26 ? static_cast<char>('A' + driveIndex) : '\0';
  const std::string root = letter != '\0' ? std::string(1, letter) + ":\\" : std::string();
  const std::size_t record = Record(Op::ShellFormat, root, driveIndex);
  if (FaultInjected(record)) {
    Answer(record, false);
    return kFormatError;
  }
  const int result = TheState().machine.formatDialogResult;
  const bool formatted =
      result != kFormatError && result != kFormatCancel && result != kFormatNotFormatted;
  const sim::Volume* volume = letter != '\0' ? FindVolume(letter) : nullptr;
  if (formatted && volume != nullptr && volume->disk >= 0 && volume->hasMedium) {
    const char* fileSystem = volume->driveType == kDriveRemovable ? "FAT32" : "NTFS";
    WriteBootSector(*volume, fileSystem, "", FormattedSize(*volume), FormatSerial(*volume));
  }
  Answer(record, formatted);
  return result;
}

// Recorded, and heard on a host with sound (the demo). A name the machine cannot place is
// passed on unchanged: the host then plays its default sound, as Windows does.
void PlaySoundAsync(const std::string& fileName) {
  const std::size_t record = Record(Op::PlaySound, fileName);
  if (FaultInjected(record)) {
    Answer(record, false);
    return;
  }
  std::string host;
  if (!HostFileFor(fileName, &host)) host = fileName;
  sim::host::PlaySoundFile(host);
}

bool EnableShutdownPrivilege() { return Accepted(Op::ShutdownPrivilege); }

int RequestPowerOff() { return Accepted(Op::PowerOff) ? 1 : 0; }

bool HoldSystemAwake() { return Accepted(Op::HoldAwake); }

bool ReleaseSystemAwake() { return Accepted(Op::ReleaseAwake); }

// The library reads through the BIOS drive number; it exists only when the machine says so.
bool CallSectorLibrary(std::uint8_t biosDrive, std::uint32_t firstSector, void* buffer,
                       std::uint8_t* result) {
  constexpr std::size_t kBytes = 4096;
  const int diskNumber = static_cast<int>(biosDrive) - 0x80;
  const std::string path =
      diskNumber >= 0 ? "\\\\.\\physicaldrive" + std::to_string(diskNumber) : std::string();
  const std::uint64_t offset = std::uint64_t{firstSector} * kSectorBytes;
  const std::size_t record = Record(Op::SectorLibrary, path, offset, kBytes);
  if (FaultInjected(record) || !TheState().machine.sectorLibrary) {
    Answer(record, false);
    return false;
  }
  DeviceId id;
  id.isDisk = true;
  id.number = diskNumber;
  const sim::Disk* disk = FindDisk(diskNumber);
  Region region;
  std::size_t got = 0;
  if (disk != nullptr && disk->openable && DeviceRegion(id, &region)) {
    got = ReadRegion(region, offset, buffer, kBytes);
  }
  if (result != nullptr) *result = got == kBytes ? 1 : 0;
  AnswerTransfer(record, kBytes, got);
  return true;
}

}  // namespace platform
