// The console program's entry: its arguments as UTF-8, its console (or the pipes and files it
// was given instead), and Ctrl+C, Ctrl+Break and closing the console turned into a cancel of
// every run. Only KERNEL32 here: WinPE has little else.
#include <windows.h>

#include <string>
#include <vector>

#include "cli/console.h"
#include "platform/platform.h"
#include "ui/win32/module_path.h"

namespace {

// Set once every run has ended and saved its record; a closing console waits for it.
HANDLE runsEndedEvent = nullptr;

std::string Utf8(const wchar_t* text, int length) {
  if (length == 0) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// A console takes wide text whatever its code page; a pipe or file gets the UTF-8 bytes.
void Write(DWORD which, const std::string& text) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
  if (IsConsole(handle)) {
    const std::wstring wide = Wide(text);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  DWORD written = 0;
  WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The cursor of standard output moved to the start of a line above, for the progress lines
// redrawn under the log. Windows' own console calls rather than escape sequences, which a
// console before Windows 10 and WinPE's without its terminal mode would print as text.
void LineUp(int lines) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(output, &info)) return;
  COORD position = info.dwCursorPosition;
  position.X = 0;
  position.Y = static_cast<SHORT>(position.Y > lines ? position.Y - lines : 0);
  SetConsoleCursorPosition(output, position);
}

bool ReadAnswer(std::string* line) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  wchar_t buffer[256];
  DWORD read = 0;
  if (!ReadConsoleW(input, buffer, 255, &read, nullptr) || read == 0) return false;
  *line = Utf8(buffer, static_cast<int>(read));
  return true;
}

// Runs on a thread of its own. Ctrl+C and Ctrl+Break only ask: the runs see the request at
// their next block, save their records and end, however often the keys are pressed. Closing
// the console ends the process once this returns, so it waits for the records first (Windows
// allows about five seconds).
BOOL WINAPI OnConsoleEvent(DWORD event) {
  cli::SignalCancel();
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    if (runsEndedEvent != nullptr) WaitForSingleObject(runsEndedEvent, 4500);
  }
  return TRUE;
}

std::string ProgramName(const std::string& path) {
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  runsEndedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i], lstrlenW(argv[i])));

  cli::Console console;
  console.inputIsConsole = IsConsole(GetStdHandle(STD_INPUT_HANDLE));
  console.outputIsConsole = IsConsole(GetStdHandle(STD_OUTPUT_HANDLE));
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (console.outputIsConsole && GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &screen)) {
    console.lineUp = LineUp;
    console.columns = screen.srWindow.Right - screen.srWindow.Left + 1;
  }
  console.readLine = ReadAnswer;
  console.out = [](const std::string& text) { Write(STD_OUTPUT_HANDLE, text); };
  console.err = [](const std::string& text) { Write(STD_ERROR_HANDLE, text); };
  console.runsEnded = [] {
    if (runsEndedEvent != nullptr) SetEvent(runsEndedEvent);
  };

  const std::string path = winui::ModulePath();
  platform::Initialise(path);
  const int exitCode = cli::RunConsoleProgram(ProgramName(path), args, console);
  if (runsEndedEvent != nullptr) SetEvent(runsEndedEvent);
  return exitCode;
}
