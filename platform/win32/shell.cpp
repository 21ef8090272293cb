// Programs, documents, the format dialog and sounds, all through the shell.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/win32/main_window.h"

namespace platform {

namespace win32 {

namespace {
constexpr char kMainWindowClass[] = "TForm1";

BOOL CALLBACK TakeMainWindow(HWND window, LPARAM found) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != GetCurrentProcessId()) return TRUE;
  char className[sizeof kMainWindowClass + 1] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, kMainWindowClass) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}
}  // namespace

// Another copy of the program has a TForm1 window too (it is still running its start-up
// checks when it finds this copy), so the class alone does not pick ours.
HWND FindMainWindow() {
  HWND found = nullptr;
  EnumWindows(TakeMainWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace win32

// WinExec answers 31 or less when the program could not be started (2: not found).
std::uint32_t RunHidden(const std::string& commandLine) {
  return WinExec(commandLine.c_str(), SW_HIDE);
}

// The result is an HINSTANCE only by its type: a value above 32 means started, 32 or less is
// an error code (2: file not found).
std::intptr_t ShellOpen(const std::string& target) {
  HINSTANCE result = ShellExecuteA(win32::FindMainWindow(), "open", target.c_str(), nullptr,
                                   nullptr, SW_SHOW);
  return reinterpret_cast<std::intptr_t>(result);
}

// SHFormatDrive returns its SHFMT_ codes (-1, -2, -3) in an unsigned DWORD.
int ShellFormatDrive(unsigned driveIndex) {
  const DWORD result =
      SHFormatDrive(win32::FindMainWindow(), driveIndex, SHFMT_ID_DEFAULT, SHFMT_OPT_FULL);
  return static_cast<int>(result);
}

// Without SND_NODEFAULT, so a missing file still gives the system's default sound.
void PlaySoundAsync(const std::string& fileName) { sndPlaySoundA(fileName.c_str(), SND_ASYNC); }

}  // namespace platform
