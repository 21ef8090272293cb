// Formatting a wiped volume: hidden FORMAT.COM through a batch file after a run, or the
// shell's format dialog when the user asks to wipe a volume that has no file system.
#include <cstdint>
#include <string>

#include "app/log.h"
#include "app/settings.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/platform.h"
#include "postwipe/postwipe.h"
#include "ui/ui.h"

namespace {

const char* const kBatchFileName = "format.bat";
const char* const kFormatProgram = "FORMAT.COM";
constexpr std::uint32_t kHighestFailedStart = 31;  // WinExec results up to 31 are errors
constexpr int kFormatPolls = 60;
constexpr std::uint32_t kPollIntervalMs = 1000;

// SHFormatDrive's failure answers.
constexpr int kShellFormatError = -1;
constexpr int kShellFormatCancel = -2;
constexpr int kShellFormatNoFormat = -3;

bool FormattableDrive(const std::string& driveText) {
  // A: and B: are floppies and never formatted; lower case is not a drive text we produce.
  return !driveText.empty() && driveText[0] >= 'C' && driveText[0] <= 'Z';
}

void LogManualFormatAdvice(const char* failure) {
  LogMessage(failure);
  LogMessage("Please format the drive manually.");
}

// The run's target is the selected drive row; after a refill nothing is selected and the
// former file system is unknown.
std::string TargetFileSystem() {
  if (SelectedDriveRow < 0 || SelectedDriveRow >= kDriveTableSize) return std::string();
  return FieldText(DriveTable[SelectedDriveRow].FileSystem);
}

// The file system to give back: the former one when FORMAT.COM knows it, else what Windows
// would choose for the kind of drive.
std::string ChooseFileSystem(const std::string& formerFileSystem, std::uint32_t driveType) {
  if (formerFileSystem == "FAT" || formerFileSystem == "FAT32" || formerFileSystem == "NTFS") {
    return formerFileSystem;
  }
  return driveType == platform::kDriveRemovable ? "FAT32" : "NTFS";
}

bool FormatWithCommandLine(const std::string& driveText, const std::string& batchPath) {
  // A bare start tells whether FORMAT.COM exists at all; that process ends by itself.
  if (platform::RunHidden(kFormatProgram) <= kHighestFailedStart) {
    LogManualFormatAdvice("Format command not found!");
    return false;
  }
  // GetDriveTypeA needs the root directory with its backslash; "E:" names E:'s current directory.
  const std::string fileSystem = ChooseFileSystem(TargetFileSystem(), platform::DriveType(driveText + "\\"));
  // FORMAT.COM asks for confirmation even with /Q; the piped Y answers it.
  const std::string commandLine = "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:" + fileSystem + " " + driveText;
  if (!platform::WriteTextFile(batchPath, commandLine + "\n")) {
    platform::RemoveFile(batchPath);  // a half-written batch must not be left behind
    LogManualFormatAdvice("Fail to format the drive.");
    return false;
  }
  // Quoted: cmd.exe, which runs the batch, cuts an unquoted path at its first blank, and the
  // program is usually installed under "C:\Program Files".
  if (platform::RunHidden("\"" + batchPath + "\"") <= kHighestFailedStart) {
    LogManualFormatAdvice("Fail to format the drive.");
    platform::RemoveFile(batchPath);
    return false;
  }
  // The only sign that FORMAT.COM has finished is the volume reporting a size again.
  bool formatted = false;
  for (int poll = 0; poll < kFormatPolls && !formatted; ++poll) {
    ui::ProcessMessages();
    platform::SleepMs(kPollIntervalMs);
    std::uint64_t totalBytes = 0;
    char sizeText[50] = {};
    formatted = GetVolumeSize(driveText, &totalBytes, sizeText);
  }
  if (formatted) {
    LogMessage("Successfully formatted the drive.");
  } else {
    LogManualFormatAdvice("Fail to format the drive.");
  }
  platform::RemoveFile(batchPath);
  return formatted;
}

bool FormatWithDialog(unsigned driveIndex) {
  switch (platform::ShellFormatDrive(driveIndex)) {
    case kShellFormatError:
      return false;
    case kShellFormatCancel:
      LogMessage("The format was canceled.");
      return false;
    case kShellFormatNoFormat:
      LogMessage("The drive can not be formatted.");
      return false;
    default:
      LogMessage("Successfully formatted the drive.");
      return true;
  }
}

}  // namespace

bool FormatDrive(const std::string& driveText, int mode) {
  const std::string batchPath = FileNextToExecutable(kBatchFileName);
  if (!FormattableDrive(driveText)) {
    LogMessage("Invalid drive to format!");
    return false;
  }
  const unsigned driveIndex = static_cast<unsigned>(driveText[0] - 'A');
  if (mode == kFormatCommandLineMode) return FormatWithCommandLine(driveText, batchPath);
  return FormatWithDialog(driveIndex);
}
