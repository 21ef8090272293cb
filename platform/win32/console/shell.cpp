// The shell as the console program has it: none. WinPE has no SHELL32 or WINMM to speak of, and
// a console program opens no page or dialog and plays no sound; only the hidden FORMAT.COM run
// of a format remains.
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform {

// WinExec answers 31 or less when the program could not be started (2: not found).
std::uint32_t RunHidden(const std::string& commandLine) { return WinExec(commandLine.c_str(), SW_HIDE); }

// SE_ERR_NOASSOC: nothing here opens documents.
std::intptr_t ShellOpen(const std::string&) { return 31; }

// SHFMT_NOFORMAT: the format dialog is not at hand; the console program formats by command.
int ShellFormatDrive(unsigned) { return -3; }

void PlaySoundAsync(const std::string&) {}

}  // namespace platform
