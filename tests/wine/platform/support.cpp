#include "tests/wine/platform/support.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "tests/wine/platform/loop_counters.h"

namespace wine_tests {

using platform::win32::UniqueFile;
using platform::win32::UniqueHandle;

std::string ExecutableFile() {
  char path[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

std::string ExecutableFolder() {
  const std::string file = ExecutableFile();
  return file.substr(0, file.find_last_of('\\'));
}

std::string DrivesFolder() {
  const std::string bin = ExecutableFolder();
  return bin.substr(0, bin.find_last_of('\\')) + "\\wine-drives";
}

std::string HostPath(const std::string& zPath) {
  if (zPath.size() < 2 || (zPath[0] != 'Z' && zPath[0] != 'z') || zPath[1] != ':') return "";
  std::string host = zPath.substr(2);
  for (char& c : host) {
    if (c == '\\') c = '/';
  }
  return host;
}

std::string DriveMarker(char letter) { return std::string("DUNMERE WINE TEST IMAGE ") + letter; }

namespace {

// An existing host file opened for `access` and placed at `offset`; empty when either fails.
UniqueFile OpenHostFileAt(const std::string& path, DWORD access, std::uint64_t offset) {
  UniqueFile file(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (file && !SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) file.reset();
  return file;
}

}  // namespace

std::vector<std::uint8_t> ReadHostFile(const std::string& path, std::uint64_t offset,
                                       std::size_t bytes) {
  std::vector<std::uint8_t> data;
  UniqueFile file = OpenHostFileAt(path, GENERIC_READ, offset);
  if (!file) return data;
  data.resize(bytes);
  DWORD got = 0;
  ReadFile(file.get(), data.data(), static_cast<DWORD>(bytes), &got, nullptr);
  data.resize(got);
  return data;
}

bool WriteHostFile(const std::string& path, std::uint64_t offset,
                   const std::vector<std::uint8_t>& data) {
  UniqueFile file = OpenHostFileAt(path, GENERIC_WRITE, offset);
  DWORD written = 0;
  const auto size = static_cast<DWORD>(data.size());
  return file && WriteFile(file.get(), data.data(), size, &written, nullptr) && written == size;
}

std::string LoopDeviceOf(char letter) {
  const char lower = static_cast<char>(letter - 'A' + 'a');
  return LoopNamedIn(DrivesFolder() + "\\" + lower + ".loop");
}

Child::Child(const std::string& arguments, const std::string& program) {
  std::string commandLine = "\"" + program + "\" --child " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return;
  }
  UniqueHandle thread(info.hThread);  // not needed: the process handle says when it ends
  process_.reset(info.hProcess);
}

long Child::Wait(DWORD milliseconds) {
  if (!process_) return -1;
  if (WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return static_cast<long>(code);
}

Child::~Child() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 5000);
  }
}

long RunChild(const std::string& arguments, const std::string& program) {
  Child child(arguments, program);
  return child.Wait();
}

UniqueHandle MakeEvent(const std::string& name) {
  return UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
}

namespace {

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// A hidden top-level window of class TForm1, as another copy of the program has one while it
// runs its start-up checks. Signals ready, then stays until told to quit.
int HoldMainWindow(const char* readyEvent, const char* quitEvent) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = PlainWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TForm1";
  if (!RegisterClassA(&windowClass)) return 10;
  HWND window = CreateWindowA("TForm1", "other copy", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 11;
  UniqueHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, readyEvent));
  UniqueHandle quit(OpenEventA(SYNCHRONIZE, FALSE, quitEvent));
  if (!ready || !quit) return 12;
  SetEvent(ready.get());
  WaitForSingleObject(quit.get(), 30000);
  DestroyWindow(window);
  return 0;
}

int CreateFileAt(const char* path) {
  UniqueFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return file ? 0 : 1;
}

int ProbeInstanceMutex(const char* name) {
  bool alreadyExists = false;
  if (!platform::CreateInstanceMutex(name, &alreadyExists)) return 2;
  return alreadyExists ? 1 : 0;
}

int PowerOff() {
  if (!platform::EnableShutdownPrivilege()) return 100;
  return platform::RequestPowerOff();
}

}  // namespace

bool RunChildMode(int argc, char** argv, int* exitCode) {
  if (argc < 3 || std::strcmp(argv[1], "--child") != 0) return false;
  const std::string mode = argv[2];
  const char* first = argc > 3 ? argv[3] : "";
  const char* second = argc > 4 ? argv[4] : "";
  if (mode == "platform-id") {
    *exitCode = static_cast<int>(platform::PlatformId());
  } else if (mode == "mutex") {
    *exitCode = ProbeInstanceMutex(first);
  } else if (mode == "touch") {
    *exitCode = CreateFileAt(first);
  } else if (mode == "main-window") {
    *exitCode = HoldMainWindow(first, second);
  } else if (mode == "power-off") {
    *exitCode = PowerOff();
  } else if (!RunCoreChildMode(mode, argc - 3, argv + 3, exitCode)) {
    std::fprintf(stderr, "unknown child mode %s\n", mode.c_str());
    *exitCode = 64;
  }
  return true;
}

}  // namespace wine_tests
