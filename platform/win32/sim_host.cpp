// Linked into dunmere-sim.exe only (see cmake/windows.cmake): the simulation's single-instance
// mutex is a real one when the demo runs on Windows or Wine, so a second copy is refused; its
// user guide opens in the real help viewer, and its warning before the machine loads and its
// sounds are real as well. A change of its machine's description reaches its windows as the
// device notifications Windows sends.
#include <windows.h>
#include <dbt.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/host.h"

namespace sim::host {

bool CreateNamedMutex(const std::string& name, bool* alreadyExists) {
  // Deliberately never closed: the name must live exactly as long as the process.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return false;
  *alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
  return true;
}

void ShowHelpFile(const std::string& hostPath) {
  ShellExecuteA(nullptr, "open", hostPath.c_str(), nullptr, nullptr, SW_SHOW);
}

// The shell's results up to 32 are its errors.
bool ShowFolder(const std::string& hostPath) {
  return reinterpret_cast<std::intptr_t>(ShellExecuteA(nullptr, "open", hostPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

// No window of the program exists yet, so the box has no owner; MB_TASKMODAL keeps it modal
// to the thread, and MB_SETFOREGROUND brings it up over whatever started the demo.
bool ShowWarning(const std::string& text) {
  return MessageBoxA(nullptr, text.c_str(), "Warning",
                     MB_OK | MB_ICONWARNING | MB_TASKMODAL | MB_SETFOREGROUND) != 0;
}

bool PlaySoundFile(const std::string& path) { return sndPlaySoundA(path.c_str(), SND_ASYNC) != FALSE; }

namespace {

constexpr UINT_PTR kWatchTimer = 1;
// Often enough that a test sees the change within a second, seldom enough to cost nothing.
constexpr UINT kWatchPeriodMs = 250;

// A message-only window with a timer: its ticks come between the program's window events, on
// its own thread, also inside a dialog's loop and a run's event pumps, so the machine never
// changes under a device call.
class FileWatch {
 public:
  ~FileWatch() {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  void Start(const std::string& path, std::function<void()> changed) {
    path_ = path;
    changed_ = std::move(changed);
    last_ = Stamp();
    if (window_ == nullptr) window_ = MakeWindow();
    if (window_ != nullptr) SetTimer(window_, kWatchTimer, kWatchPeriodMs, nullptr);
  }

 private:
  struct FileStamp {
    FILETIME written{};
    DWORD sizeLow = 0;
    bool present = false;
    bool operator==(const FileStamp& other) const {
      return present == other.present && sizeLow == other.sizeLow &&
             CompareFileTime(&written, &other.written) == 0;
    }
  };

  FileStamp Stamp() const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FileStamp stamp;
    if (!GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &data)) return stamp;
    stamp.written = data.ftLastWriteTime;
    stamp.sizeLow = data.nFileSizeLow;
    stamp.present = true;
    return stamp;
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND MakeWindow() {
    const wchar_t kClass[] = L"DunmereSimFileWatch";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
  }

  void Tick() {
    const FileStamp now = Stamp();
    // A file being rewritten may vanish for a moment; it is read once it is there again.
    if (!now.present || now == last_) return;
    last_ = now;
    if (changed_) changed_();
  }

  std::string path_;
  std::function<void()> changed_;
  FileStamp last_;
  HWND window_ = nullptr;
};

FileWatch& TheWatch() {
  static FileWatch watch;
  return watch;
}

LRESULT CALLBACK FileWatch::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kWatchTimer) {
    TheWatch().Tick();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The disk interface class (GUID_DEVINTERFACE_DISK).
const GUID kDiskInterfaceClass = {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

struct Announcement {
  WPARAM event;
  LPARAM data;
};

// Sent, as Windows sends it, to every top-level window of the program's thread.
void SendToWindows(WPARAM event, LPARAM data) {
  Announcement announcement{event, data};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM context) -> BOOL {
        const Announcement& what = *reinterpret_cast<const Announcement*>(context);
        SendMessageW(window, WM_DEVICECHANGE, what.event, what.data);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&announcement));
}

void AnnounceVolumes(WPARAM event, const std::string& letters) {
  if (letters.empty()) return;
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  for (char letter : letters) volume.dbcv_unitmask |= 1u << (letter - 'A');
  SendToWindows(event, reinterpret_cast<LPARAM>(&volume));
}

// The structure ends in the interface's name, as long as it needs.
void AnnounceDisk(WPARAM event, int number) {
  const std::wstring name = L"\\\\?\\SIM#DISK#" + std::to_wstring(number);
  const std::size_t nameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  std::vector<unsigned char> bytes(nameAt + (name.size() + 1) * sizeof(wchar_t));
  DEV_BROADCAST_DEVICEINTERFACE_W header{};
  header.dbcc_size = static_cast<DWORD>(bytes.size());
  header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  header.dbcc_classguid = kDiskInterfaceClass;
  std::memcpy(bytes.data(), &header, nameAt);
  std::memcpy(bytes.data() + nameAt, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  SendToWindows(event, reinterpret_cast<LPARAM>(bytes.data()));
}

}  // namespace

void WatchFile(const std::string& hostPath, std::function<void()> changed) {
  TheWatch().Start(hostPath, std::move(changed));
}

// Removals first, as a swap happens: the old device goes before the new one comes.
void AnnounceDeviceChanges(const PlugChanges& changes) {
  AnnounceVolumes(DBT_DEVICEREMOVECOMPLETE, changes.volumesGone);
  for (int number : changes.disksGone) AnnounceDisk(DBT_DEVICEREMOVECOMPLETE, number);
  for (int number : changes.disksCome) AnnounceDisk(DBT_DEVICEARRIVAL, number);
  AnnounceVolumes(DBT_DEVICEARRIVAL, changes.volumesCome);
}

}  // namespace sim::host
