// The process and the system it runs on: platform family, error mode, clocks, the instance
// mutex.
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/concurrency.h"
#include "platform/platform.h"
#include "platform/system_text.h"
#include "platform/time_zone.h"
#include "platform/win32/true_version.h"
#include "platform/win32/unique_handle.h"

namespace platform {

namespace {
// The size the program has always passed; GetVersionExA tells the A and the older structure
// layouts apart by it.
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA of the A functions");

// Instance mutexes stay open until the process ends: the name lives only as long as a handle
// to it, and it is what tells a second copy that this one runs.
std::vector<win32::UniqueHandle>& InstanceMutexes() {
  static std::vector<win32::UniqueHandle> handles;
  return handles;
}
}  // namespace

// On failure dwPlatformId stays 0 (Win32s), which no caller takes for the NT family.
std::uint32_t PlatformId() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = 148;
  GetVersionExA(&info);
  return info.dwPlatformId;
}

std::uint32_t ChangeErrorMode(std::uint32_t mode) { return SetErrorMode(mode); }

LocalTime LocalTimeNow() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  LocalTime time;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.milliseconds = now.wMilliseconds;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day = now.wDay;
  return time;
}

bool ComputerName(std::string* name) {
  char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof buffer;
  if (!GetComputerNameA(buffer, &size)) return false;
  if (name != nullptr) name->assign(buffer, size);
  return true;
}

std::string Utf8FromSystemText(const std::string& text) {
  if (text.empty()) return text;
  const int length = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (wideLength <= 0) return text;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, &wide[0], wideLength);
  const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (utf8Length <= 0) return text;
  std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], utf8Length, nullptr, nullptr);
  return utf8;
}

bool LocalTimeZone(int* minutesEast, std::string* name) {
  TIME_ZONE_INFORMATION zone = {};
  const DWORD kind = GetTimeZoneInformation(&zone);
  if (kind == TIME_ZONE_ID_INVALID) return false;
  const bool daylight = kind == TIME_ZONE_ID_DAYLIGHT;
  // UTC = local time + bias, in minutes.
  *minutesEast = -static_cast<int>(zone.Bias + (daylight ? zone.DaylightBias : zone.StandardBias));
  const WCHAR* wide = daylight ? zone.DaylightName : zone.StandardName;
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  name->clear();
  if (length > 1) {
    name->resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &(*name)[0], length, nullptr, nullptr);
    name->resize(static_cast<std::size_t>(length - 1));
  }
  return true;
}

bool UserName(std::string* name) {
  char buffer[257] = {};  // UNLEN + 1
  DWORD size = sizeof buffer;
  if (!GetUserNameA(buffer, &size) || size == 0) return false;
  if (name != nullptr) name->assign(buffer, size - 1);  // size counts the terminator
  return true;
}

// GetVersionExA answers with the version the executable's manifest declares support for (6.2
// for anything newer without one); ntdll's RtlGetVersion tells the truth.
bool win32::TrueVersion(OSVERSIONINFOW* info) {
  using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  FARPROC entry = ntdll == nullptr ? nullptr : GetProcAddress(ntdll, "RtlGetVersion");
  // The detour through void(*)() is the conversion GCC accepts between function pointer types.
  auto call = entry == nullptr ? nullptr : reinterpret_cast<RtlGetVersionCall>(reinterpret_cast<void (*)()>(entry));
  *info = OSVERSIONINFOW{};
  info->dwOSVersionInfoSize = sizeof *info;
  return call != nullptr && call(info) == 0;
}

bool WindowsVersion(std::string* version) {
  OSVERSIONINFOW info = {};
  if (!win32::TrueVersion(&info)) return false;
  if (version != nullptr) {
    *version = "Windows " + std::to_string(info.dwMajorVersion) + "." +
               std::to_string(info.dwMinorVersion) + " (build " + std::to_string(info.dwBuildNumber) + ")";
  }
  return true;
}

bool PerformanceCounter(std::uint64_t* counter) {
  LARGE_INTEGER value = {};
  if (!QueryPerformanceCounter(&value)) return false;
  if (counter != nullptr) *counter = static_cast<std::uint64_t>(value.QuadPart);
  return true;
}

std::uint32_t TickCount() { return GetTickCount(); }

void SleepMs(std::uint32_t milliseconds) { Sleep(milliseconds); }

bool ConcurrentCalls() { return true; }

// A name without "Global\" lives in this logon session's namespace, so one copy runs per
// session. CreateMutexA hands back a handle also when the mutex exists and says so only
// through the last error, which must be read before anything else can change it.
bool CreateInstanceMutex(const std::string& name, bool* alreadyExists) {
  win32::UniqueHandle mutex(CreateMutexA(nullptr, FALSE, name.c_str()));
  const DWORD error = GetLastError();
  if (!mutex) return false;
  if (alreadyExists != nullptr) *alreadyExists = error == ERROR_ALREADY_EXISTS;
  InstanceMutexes().push_back(std::move(mutex));
  return true;
}

// The real machine needs nothing loaded before the program starts.
void Initialise(const std::string& /*executablePath*/) {}

bool MachineIsSimulated() { return false; }

}  // namespace platform
