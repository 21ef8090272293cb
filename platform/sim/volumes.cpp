// Volume queries by root path ("E:\"), answered from the drive letters of the description and
// from what each volume's boot sector says now.
#include <cctype>

#include "platform/sim/state.h"

namespace sim::detail {
namespace {

// GetDiskFreeSpaceExA takes any directory of the volume, "E:" (its current directory) as well
// as "E:\"; GetDriveTypeA and GetVolumeInformationA are documented to need the backslash of
// the root directory, and the simulation holds the program to that.
bool RootLetter(const std::string& root, bool backslashRequired, char* letter) {
  const bool withSlash = root.size() == 3 && root[2] == '\\';
  const bool bare = root.size() == 2 && !backslashRequired;
  if (!(withSlash || bare) || root[1] != ':' || !std::isalpha(static_cast<unsigned char>(root[0]))) {
    return false;
  }
  *letter = UpperLetter(root[0]);
  return true;
}

// A format scheduled by the batch file finishes after a number of size polls, the way
// FORMAT.COM finishes while the program polls once a second.
void PollPendingFormat(char letter) {
  State& state = TheState();
  auto pending = state.pendingFormats.find(letter);
  if (pending == state.pendingFormats.end()) return;
  if (pending->second.pollsLeft > 0) --pending->second.pollsLeft;
  if (pending->second.pollsLeft != 0) return;
  const PendingFormat format = pending->second;
  state.pendingFormats.erase(pending);
  const Volume* volume = FindVolume(letter);
  if (volume != nullptr) {
    WriteBootSector(*volume, format.fileSystem, format.label, FormattedSize(*volume), FormatSerial(*volume));
  }
}

}  // namespace
}  // namespace sim::detail

namespace platform {

using namespace sim::detail;
using sim::Op;

std::uint32_t DriveType(const std::string& rootPath) {
  const std::size_t record = Record(Op::DriveType, rootPath);
  if (FaultInjected(record)) {
    Answer(record, false);
    return kDriveUnknown;
  }
  char letter = 0;
  const sim::Volume* volume = RootLetter(rootPath, true, &letter) ? FindVolume(letter) : nullptr;
  Answer(record, volume != nullptr);
  return volume == nullptr ? kDriveNoRootDir : volume->driveType;
}

bool VolumeInformation(const std::string& rootPath, std::string* volumeName,
                       std::string* fileSystemName, std::uint32_t* serialNumber) {
  const std::size_t record = Record(Op::VolumeInfo, rootPath);
  char letter = 0;
  BootInfo info;
  const sim::Volume* volume = RootLetter(rootPath, true, &letter) ? FindVolume(letter) : nullptr;
  if (FaultInjected(record) || volume == nullptr || !MountedFileSystem(*volume, &info)) {
    Answer(record, false);
    return false;
  }
  if (volumeName != nullptr) *volumeName = AnsiText(info.label).substr(0, 255);
  if (fileSystemName != nullptr) *fileSystemName = info.fileSystem;
  if (serialNumber != nullptr) *serialNumber = info.serial;
  Answer(record, true);
  return true;
}

bool DiskTotalBytes(const std::string& rootPath, std::uint64_t* totalBytes) {
  const std::size_t record = Record(Op::FreeSpace, rootPath);
  char letter = 0;
  const bool rooted = RootLetter(rootPath, false, &letter);
  if (rooted) PollPendingFormat(letter);  // time passes for FORMAT.COM whatever the answer
  BootInfo info;
  const sim::Volume* volume = rooted ? FindVolume(letter) : nullptr;
  if (FaultInjected(record) || volume == nullptr || !MountedFileSystem(*volume, &info)) {
    Answer(record, false);
    return false;
  }
  if (totalBytes != nullptr) *totalBytes = info.fileSystemSize;
  Answer(record, true);
  return true;
}

bool WindowsDirectory(std::string* directory) {
  const std::size_t record = Record(Op::WindowsDir, std::string());
  const std::string& windows = TheState().machine.windowsDirectory;
  if (FaultInjected(record) || windows.empty()) {
    Answer(record, false);
    return false;
  }
  if (directory != nullptr) *directory = windows.substr(0, 2499);
  Answer(record, true);
  return true;
}

}  // namespace platform
