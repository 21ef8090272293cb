#pragma once
// What the Wine tests of the platform layer share: where the test program and the drive
// images made by setup-drives lie, and the test program started again as a child process for
// the checks that need a second process (instance mutex, platform family under another
// Windows version, another copy's main window).

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace wine_tests {

// Made by setup-drives: E: is a sparse image of kImageDriveBytes ("E::") with a folder as its
// root ("E:"); L:, when the machine allows loop devices, is a loop device over an image of
// kLoopDriveBytes. Each image starts with its marker, which tests check before they write.
inline constexpr std::uint64_t kImageDriveBytes = 6ull << 30;
inline constexpr std::uint64_t kLoopDriveBytes = 64ull << 20;
std::string DriveMarker(char letter);  // "DUNMERE WINE TEST IMAGE E"

// Windows path of the folder holding the test program ("Z:\...\bin").
std::string ExecutableFolder();
std::string ExecutableFile();
// Windows path of the folder where setup-drives left the images ("Z:\...\wine-drives").
std::string DrivesFolder();
// The host path of a path on Wine's Z: drive, which is the host's root ("/...").
std::string HostPath(const std::string& zPath);

// The bytes of a host file at an offset, read as a plain file (not through a drive letter), so
// a test can see where a device write really landed.
std::vector<std::uint8_t> ReadHostFile(const std::string& path, std::uint64_t offset,
                                       std::size_t bytes);
// Writes the bytes into an existing host file at an offset; false unless all were written.
bool WriteHostFile(const std::string& path, std::uint64_t offset,
                   const std::vector<std::uint8_t>& data);

// The loop device setup-drives put behind a letter ("loop3"), read from <letter>.loop beside
// its image; empty when it made none (not root, or no losetup).
std::string LoopDeviceOf(char letter);

// A running child: this test program started with "--child <mode> <args>". Ended when the
// owner goes (if still running).
class Child {
 public:
  explicit Child(const std::string& arguments, const std::string& program = ExecutableFile());
  bool started() const { return process_.valid(); }
  // Exit code, or -1 when it did not end within the time.
  long Wait(DWORD milliseconds = 30000);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

 private:
  platform::win32::UniqueHandle process_;
};

// Runs a child to its end and gives its exit code (-1: not started or did not end).
long RunChild(const std::string& arguments, const std::string& program = ExecutableFile());

// A named event shared with a child (manual reset, initially clear).
platform::win32::UniqueHandle MakeEvent(const std::string& name);

// The child side: runs the mode named in argv and returns its exit code; false when argv asks
// for no child mode (the process runs the tests then).
bool RunChildMode(int argc, char** argv, int* exitCode);
// The child modes that run the core under another Windows version (sector_reader_test.cpp):
// arguments are those after the mode; false when the mode is not one of them.
bool RunCoreChildMode(const std::string& mode, int argc, char** argv, int* exitCode);

}  // namespace wine_tests
