// Drives the windows of a running dunmere-sim.exe from outside, as the GUI tests need: finds
// them by class or caption, reads what they show, and acts through window messages. Structures
// that travel with a message by pointer are placed in the target process first.
//
//   guidriver <verb> <window> [arguments]      (window: TForm1, TForm2, TForm3, dialog:<caption>
//                                               or window:<caption>)
//   guidriver font <face>                      (no window: what the prefix's fonts offer)
//   guidriver desktop [timeout ms]             (no window: the session's desktop, once shown)
//
// Every verb prints key=value lines (texts with \n, \r, \t and \\ escaped) and exits 0, or
// prints "guidriver: ..." to stderr and exits 1 when the window or control is not there.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/win32/control_ids.h"

namespace {

constexpr UINT kSendTimeoutMs = 5000;

// ---- Text ----------------------------------------------------------------------------------

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), needed, nullptr,
                      nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), needed);
  return out;
}

std::string Escaped(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "guidriver: %s\n", why.c_str());
  std::exit(1);
}

void Print(const std::string& line) { std::printf("%s\n", line.c_str()); }

// ---- Handles and memory in the target --------------------------------------------------------

class ProcessHandle {
 public:
  explicit ProcessHandle(HANDLE handle) : handle_(handle) {}
  ~ProcessHandle() {
    if (handle_) CloseHandle(handle_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A block of memory in the process that owns a window, freed when it goes out of scope.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, std::size_t size) : process_(OpenOwner(window)), size_(size) {
    address_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) Fail("cannot allocate memory in the target process");
  }
  ~RemoteMemory() { VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE); }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  char* At(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  void Write(std::size_t offset, const void* data, std::size_t bytes) const {
    SIZE_T done = 0;
    if (offset + bytes > size_ || !WriteProcessMemory(process_.get(), At(offset), data, bytes, &done))
      Fail("cannot write into the target process");
  }
  void Read(std::size_t offset, void* data, std::size_t bytes) const {
    SIZE_T done = 0;
    if (offset + bytes > size_ || !ReadProcessMemory(process_.get(), At(offset), data, bytes, &done))
      Fail("cannot read from the target process");
  }
  std::wstring ReadText(std::size_t offset, std::size_t chars) const {
    std::wstring text(chars, L'\0');
    Read(offset, text.data(), chars * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), chars));
    return text;
  }

 private:
  static HANDLE OpenOwner(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) Fail("cannot open the target process");
    return process;
  }

  ProcessHandle process_;
  std::size_t size_;
  void* address_ = nullptr;
};

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
    Fail("the window did not answer message " + std::to_string(message));
  return static_cast<LRESULT>(result);
}

// ---- Finding windows ------------------------------------------------------------------------

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  // WM_GETTEXT is carried across processes by the system. A running wipe may set a longer text
  // between a length asked first and the text itself, so the room is asked again until it sufficed.
  LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
  for (;;) {
    std::wstring text(static_cast<std::size_t>(length) + 64, L'\0');
    const LRESULT copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (copied + 1 < static_cast<LRESULT>(text.size())) {
      text.resize(static_cast<std::size_t>(copied));
      return text;
    }
    length = static_cast<LRESULT>(text.size()) * 2;
  }
}

// "TForm1": a top-level window of that class; "dialog:<caption>": a dialog with that caption;
// "window:<caption>": a window of any class with that caption (another program's, such as the
// help viewer). A visible one is preferred over hidden ones.
// The text the system keeps for a window (what SetWindowText last gave it), read without a
// message: a run answers messages only between its blocks, and a program still starting up on a busy
// machine may not answer for seconds, which is no reason to miss its window.
std::wstring StoredTextOf(HWND window) {
  wchar_t text[512] = {};
  InternalGetWindowText(window, text, 512);
  return text;
}

std::vector<HWND> TopLevel(const std::string& target) {
  struct Search {
    std::wstring className;
    std::wstring caption;
    bool byCaption;
    std::vector<HWND> found;
  } search{};
  if (target.rfind("dialog:", 0) == 0) {
    search.className = L"#32770";
    search.caption = Wide(target.substr(7));
    search.byCaption = true;
  } else if (target.rfind("window:", 0) == 0) {
    search.caption = Wide(target.substr(7));
    search.byCaption = true;
  } else {
    search.className = Wide(target);
  }
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        if (!s.className.empty() && ClassOf(window) != s.className) return TRUE;
        if (s.byCaption && StoredTextOf(window) != s.caption) return TRUE;
        s.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  std::vector<HWND> visibleFirst;
  for (HWND window : search.found) if (IsWindowVisible(window)) visibleFirst.push_back(window);
  for (HWND window : search.found) if (!IsWindowVisible(window)) visibleFirst.push_back(window);
  return visibleFirst;
}

HWND FindTop(const std::string& target) {
  std::vector<HWND> found = TopLevel(target);
  if (found.empty()) Fail("no window " + target);
  return found.front();
}

HWND FindControl(HWND parent, int id) {
  HWND control = GetDlgItem(parent, id);
  if (!control) Fail("no control " + std::to_string(id));
  return control;
}

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
         std::to_string(r.bottom);
}

RECT RectIn(HWND parent, HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int Number(const char* text) { return static_cast<int>(std::strtol(text, nullptr, 0)); }

// ---- Verbs -----------------------------------------------------------------------------------

using Args = std::vector<std::string>;

void NeedArgs(const Args& args, std::size_t count, const char* usage) {
  if (args.size() < count) Fail(std::string("usage: ") + usage);
}

// wait <window> [visible|hidden|exists|gone] [timeout ms]
int Wait(const Args& args) {
  NeedArgs(args, 1, "wait <window> [visible|hidden|exists|gone] [timeout ms]");
  const std::string state = args.size() > 1 ? args[1] : "visible";
  const DWORD timeout = args.size() > 2 ? static_cast<DWORD>(Number(args[2].c_str())) : 10000;
  const DWORD start = GetTickCount();
  for (;;) {
    std::vector<HWND> found = TopLevel(args[0]);
    const bool any = !found.empty();
    const bool visible = any && IsWindowVisible(found.front());
    if ((state == "visible" && visible) || (state == "hidden" && any && !visible) || (state == "exists" && any) ||
        (state == "gone" && !any))
      return 0;
    if (GetTickCount() - start > timeout) Fail("timed out waiting for " + args[0] + " to be " + state);
    Sleep(50);
  }
}

// count <window>: how many such top-level windows exist, visible or not.
int Count(const Args& args) {
  NeedArgs(args, 1, "count <window>");
  Print("count=" + std::to_string(TopLevel(args[0]).size()));
  return 0;
}

// info <window>: the frame's caption, state, geometry, border, buttons and owner.
int Info(const Args& args) {
  NeedArgs(args, 1, "info <window>");
  HWND window = FindTop(args[0]);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  RECT outer{};
  GetWindowRect(window, &outer);
  RECT client{};
  GetClientRect(window, &client);
  HWND owner = GetWindow(window, GW_OWNER);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  Print("class=" + Utf8(ClassOf(window)));
  Print("caption=" + Escaped(TextOf(window)));
  Print("visible=" + std::to_string(IsWindowVisible(window) ? 1 : 0));
  Print("enabled=" + std::to_string(IsWindowEnabled(window) ? 1 : 0));
  Print("iconic=" + std::to_string(IsIconic(window) ? 1 : 0));
  Print("rect=" + RectText(outer));
  Print("client=" + std::to_string(client.right) + " " + std::to_string(client.bottom));
  Print("sysmenu=" + std::to_string((style & WS_SYSMENU) ? 1 : 0));
  Print("minimizebox=" + std::to_string((style & WS_MINIMIZEBOX) ? 1 : 0));
  Print("maximizebox=" + std::to_string((style & WS_MAXIMIZEBOX) ? 1 : 0));
  Print("thickframe=" + std::to_string((style & WS_THICKFRAME) ? 1 : 0));
  Print("child=" + std::to_string((style & WS_CHILD) ? 1 : 0));
  Print("toolwindow=" + std::to_string((exStyle & WS_EX_TOOLWINDOW) ? 1 : 0));
  Print("owner=" + (owner ? Utf8(ClassOf(owner)) : std::string("none")));
  Print("menu=" + std::to_string(GetMenu(window) ? 1 : 0));
  Print("pid=" + std::to_string(pid));
  return 0;
}

void PrintControl(HWND parent, HWND control) {
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  std::string line = "id=" + std::to_string(GetDlgCtrlID(control)) + " class=" + Utf8(ClassOf(control)) +
                     " visible=" + std::to_string(IsWindowVisible(control) ? 1 : 0) +
                     " enabled=" + std::to_string(IsWindowEnabled(control) ? 1 : 0) +
                     " rect=" + RectText(RectIn(parent, control));
  const std::wstring className = ClassOf(control);
  if (_wcsicmp(className.c_str(), L"Button") == 0) {
    line += " checked=" + std::to_string(Send(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    line += " default=" + std::to_string((style & 0x0F) == BS_DEFPUSHBUTTON ? 1 : 0);
  }
  if (_wcsicmp(className.c_str(), L"Edit") == 0) {
    line += " multiline=" + std::to_string((style & ES_MULTILINE) ? 1 : 0);
    line += " readonly=" + std::to_string((style & ES_READONLY) ? 1 : 0);
    line += " vscroll=" + std::to_string((style & WS_VSCROLL) ? 1 : 0);
  }
  if (_wcsicmp(className.c_str(), L"Static") == 0) {
    line += " icon=" + std::to_string((style & SS_TYPEMASK) == SS_ICON && Send(control, STM_GETICON, 0, 0) ? 1 : 0);
  }
  line += " text=" + Escaped(TextOf(control));
  Print(line);
}

// controls <window>: every child control, in creation order.
int Controls(const Args& args) {
  NeedArgs(args, 1, "controls <window>");
  HWND window = FindTop(args[0]);
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    PrintControl(window, child);
  return 0;
}

// control <window> <id>
int ControlVerb(const Args& args) {
  NeedArgs(args, 2, "control <window> <id>");
  HWND window = FindTop(args[0]);
  PrintControl(window, FindControl(window, Number(args[1].c_str())));
  return 0;
}

// list <window> <id>: the list's styles, columns and rows.
int List(const Args& args) {
  NeedArgs(args, 2, "list <window> <id>");
  HWND list = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
  const LRESULT extended = Send(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  Print("report=" + std::to_string((style & LVS_TYPEMASK) == LVS_REPORT ? 1 : 0));
  Print("showselalways=" + std::to_string((style & LVS_SHOWSELALWAYS) ? 1 : 0));
  Print("nosortheader=" + std::to_string((style & LVS_NOSORTHEADER) ? 1 : 0));
  Print("editlabels=" + std::to_string((style & LVS_EDITLABELS) ? 1 : 0));
  Print("checkboxes=" + std::to_string((extended & LVS_EX_CHECKBOXES) ? 1 : 0));
  Print("gridlines=" + std::to_string((extended & LVS_EX_GRIDLINES) ? 1 : 0));
  Print("trackselect=" + std::to_string((extended & LVS_EX_TRACKSELECT) ? 1 : 0));
  Print("fullrowselect=" + std::to_string((extended & LVS_EX_FULLROWSELECT) ? 1 : 0));
  // A list shows its scroll bars by taking the styles.
  Print("hscroll=" + std::to_string((style & WS_HSCROLL) ? 1 : 0));

  constexpr std::size_t kChars = 512;
  RemoteMemory memory(list, sizeof(LVCOLUMNW) + sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  const std::size_t textAt = sizeof(LVCOLUMNW) + sizeof(LVITEMW);
  int columns = 0;
  for (;; ++columns) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = reinterpret_cast<wchar_t*>(memory.At(textAt));
    column.cchTextMax = kChars;
    memory.Write(0, &column, sizeof(column));
    if (!Send(list, LVM_GETCOLUMNW, static_cast<WPARAM>(columns), reinterpret_cast<LPARAM>(memory.At(0)))) break;
    memory.Read(0, &column, sizeof(column));
    Print("column=" + std::to_string(columns) + " width=" + std::to_string(column.cx) +
          " text=" + Escaped(memory.ReadText(textAt, kChars)));
  }
  const int rows = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
  Print("rows=" + std::to_string(rows));
  for (int row = 0; row < rows; ++row) {
    const LRESULT state = Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
    std::string line = "row=" + std::to_string(row) +
                       " checked=" + std::to_string(((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0) + " cells=";
    for (int sub = 0; sub < columns; ++sub) {
      LVITEMW item{};
      item.iSubItem = sub;
      item.pszText = reinterpret_cast<wchar_t*>(memory.At(textAt));
      item.cchTextMax = kChars;
      memory.Write(sizeof(LVCOLUMNW), &item, sizeof(item));
      Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.At(sizeof(LVCOLUMNW))));
      line += (sub ? "|" : "") + Escaped(memory.ReadText(textAt, kChars));
    }
    Print(line);
  }
  return 0;
}

// check <window> <id> <row> <0|1>: a row's check box, set as a click would (the list notifies
// its window of the change).
int Check(const Args& args) {
  NeedArgs(args, 4, "check <window> <id> <row> <0|1>");
  HWND list = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(Number(args[3].c_str()) ? 2 : 1);
  RemoteMemory memory(list, sizeof(item));
  memory.Write(0, &item, sizeof(item));
  if (!Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(Number(args[2].c_str())),
            reinterpret_cast<LPARAM>(memory.At(0))))
    Fail("the list refused the state");
  return 0;
}

// The width of a text in the system's message font, which the program's controls use, at the
// screen's DPI.
int MessageFontWidth(const std::wstring& text) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) Fail("no message font");
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font);
  SIZE size{};
  GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  DeleteObject(font);
  return size.cx;
}

// combo <window> <id>: entries and the selected index; itemwidth (the closed box's text area)
// and widesttext (the widest entry's width).
int Combo(const Args& args) {
  NeedArgs(args, 2, "combo <window> <id>");
  HWND combo = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  const LONG_PTR style = GetWindowLongPtrW(combo, GWL_STYLE);
  Print("dropdownlist=" + std::to_string((style & 3) == CBS_DROPDOWNLIST ? 1 : 0));
  Print("selected=" + std::to_string(Send(combo, CB_GETCURSEL, 0, 0)));
  Print("dropped=" + std::to_string(Send(combo, CB_GETDROPPEDSTATE, 0, 0) ? 1 : 0));
  Print("droppedwidth=" + std::to_string(Send(combo, CB_GETDROPPEDWIDTH, 0, 0)));
  const int count = static_cast<int>(Send(combo, CB_GETCOUNT, 0, 0));
  int widest = 0;
  for (int i = 0; i < count; ++i) {
    const LRESULT length = Send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    Print("item=" + std::to_string(i) + " text=" + Escaped(text));
    widest = std::max(widest, MessageFontWidth(text));
  }
  // Where the closed box draws its text, as the box itself says (CB_GETCOMBOBOXINFO's rcItem),
  // and the widest entry in the system's message font: the text is cut when it is wider.
  RemoteMemory memory(combo, sizeof(COMBOBOXINFO));
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  memory.Write(0, &info, sizeof info);
  if (Send(combo, CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(memory.At(0)))) {
    memory.Read(0, &info, sizeof info);
    Print("itemwidth=" + std::to_string(info.rcItem.right - info.rcItem.left));
  }
  Print("widesttext=" + std::to_string(widest));
  return 0;
}

// drop <window> <id> <0|1>: opens or closes a combo box's list.
int Drop(const Args& args) {
  NeedArgs(args, 3, "drop <window> <id> <0|1>");
  HWND combo = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  PostMessageW(combo, CB_SHOWDROPDOWN, Number(args[2].c_str()) ? TRUE : FALSE, 0);
  return 0;
}

// layout <window>: the visible controls that reach outside the client area, and each pair of
// visible controls that overlap ("overlap=<id> <id>", the smaller id first).
int Layout(const Args& args) {
  NeedArgs(args, 1, "layout <window>");
  HWND window = FindTop(args[0]);
  RECT client{};
  GetClientRect(window, &client);
  std::vector<std::pair<int, RECT>> shown;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT at = RectIn(window, child);
    // A drop-down list's window is its closed box.
    if (_wcsicmp(ClassOf(child).c_str(), L"ComboBox") == 0) {
      RECT box{};
      GetClientRect(child, &box);
      at.bottom = at.top + box.bottom;
    }
    shown.emplace_back(GetDlgCtrlID(child), at);
    if (at.left < 0 || at.top < 0 || at.right > client.right || at.bottom > client.bottom)
      Print("outside=" + std::to_string(GetDlgCtrlID(child)) + " rect=" + RectText(at));
  }
  for (std::size_t i = 0; i < shown.size(); ++i) {
    for (std::size_t j = i + 1; j < shown.size(); ++j) {
      RECT both{};
      if (!IntersectRect(&both, &shown[i].second, &shown[j].second)) continue;
      const int a = std::min(shown[i].first, shown[j].first);
      const int b = std::max(shown[i].first, shown[j].first);
      Print("overlap=" + std::to_string(a) + " " + std::to_string(b));
    }
  }
  Print("client=" + std::to_string(client.right) + " " + std::to_string(client.bottom));
  return 0;
}

// select <window> <id> <index>: picks a combo box entry as the user would (CBN_SELCHANGE).
int Select(const Args& args) {
  NeedArgs(args, 3, "select <window> <id> <index>");
  HWND window = FindTop(args[0]);
  const int id = Number(args[1].c_str());
  HWND combo = FindControl(window, id);
  Send(combo, CB_SETCURSEL, static_cast<WPARAM>(Number(args[2].c_str())), 0);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  return 0;
}

// tabs <window> <id>: tab captions, the selected tab and where the tabs are.
int Tabs(const Args& args) {
  NeedArgs(args, 2, "tabs <window> <id>");
  HWND tabs = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  Print("bottom=" + std::to_string((GetWindowLongPtrW(tabs, GWL_STYLE) & TCS_BOTTOM) ? 1 : 0));
  Print("selected=" + std::to_string(Send(tabs, TCM_GETCURSEL, 0, 0)));
  constexpr std::size_t kChars = 256;
  RemoteMemory memory(tabs, sizeof(TCITEMW) + kChars * sizeof(wchar_t));
  const int count = static_cast<int>(Send(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(memory.At(sizeof(TCITEMW)));
    item.cchTextMax = kChars;
    memory.Write(0, &item, sizeof(item));
    Send(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(memory.At(0)));
    Print("tab=" + std::to_string(i) + " text=" + Escaped(memory.ReadText(sizeof(TCITEMW), kChars)));
  }
  return 0;
}

// The centre of a tab, in the tab control's client coordinates.
POINT TabCentre(HWND tabs, const std::string& index) {
  RemoteMemory memory(tabs, sizeof(RECT));
  if (!Send(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(Number(index.c_str())), reinterpret_cast<LPARAM>(memory.At(0))))
    Fail("no such tab");
  RECT r{};
  memory.Read(0, &r, sizeof(r));
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// page <window> <id> <index>: clicks the tab of that page.
int Page(const Args& args) {
  NeedArgs(args, 3, "page <window> <id> <index>");
  HWND tabs = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  const POINT centre = TabCentre(tabs, args[2]);
  const LPARAM at = MAKELPARAM(centre.x, centre.y);
  PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(tabs, WM_LBUTTONUP, 0, at);
  return 0;
}

// click <window> <id>: a button click (BM_CLICK), posted so a modal dialog it opens does not
// hold the driver.
int Click(const Args& args) {
  NeedArgs(args, 2, "click <window> <id>");
  PostMessageW(FindControl(FindTop(args[0]), Number(args[1].c_str())), BM_CLICK, 0, 0);
  return 0;
}

// tick <window> <id> <0|1>: sets a check box as the program itself would. A click on the box of
// a hidden window would give that window the focus and take the activation from the shown one.
int Tick(const Args& args) {
  NeedArgs(args, 3, "tick <window> <id> <0|1>");
  HWND box = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  Send(box, BM_SETCHECK, Number(args[2].c_str()) != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  return 0;
}

// linkclick <window> <id>: a mouse click on a static control.
int LinkClick(const Args& args) {
  NeedArgs(args, 2, "linkclick <window> <id>");
  HWND link = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  return 0;
}

// command <window> <id>: a menu command.
int Command(const Args& args) {
  NeedArgs(args, 2, "command <window> <id>");
  PostMessageW(FindTop(args[0]), WM_COMMAND, MAKEWPARAM(Number(args[1].c_str()), 0), 0);
  return 0;
}

// close <window>: the title bar's close button.
int Close(const Args& args) {
  NeedArgs(args, 1, "close <window>");
  PostMessageW(FindTop(args[0]), WM_SYSCOMMAND, SC_CLOSE, 0);
  return 0;
}

// minimize <window>
int Minimize(const Args& args) {
  NeedArgs(args, 1, "minimize <window>");
  PostMessageW(FindTop(args[0]), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  return 0;
}

// key <window> <escape|return|space>: the key, to the control that has the focus there.
int Key(const Args& args) {
  NeedArgs(args, 2, "key <window> <escape|return|space>");
  HWND window = FindTop(args[0]);
  const std::map<std::string, UINT> keys = {{"escape", VK_ESCAPE}, {"return", VK_RETURN}, {"space", VK_SPACE}};
  auto key = keys.find(args[1]);
  if (key == keys.end()) Fail("unknown key " + args[1]);
  GUITHREADINFO thread{};
  thread.cbSize = sizeof(thread);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
  HWND target = thread.hwndFocus ? thread.hwndFocus : window;
  PostMessageW(target, WM_KEYDOWN, key->second, 1);
  PostMessageW(target, WM_KEYUP, key->second, 0xC0000001);
  return 0;
}

// focus <window>: the control that has the keyboard focus in that window's thread.
int Focus(const Args& args) {
  NeedArgs(args, 1, "focus <window>");
  HWND window = FindTop(args[0]);
  GUITHREADINFO thread{};
  thread.cbSize = sizeof(thread);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
  Print("focus=" + std::to_string(thread.hwndFocus ? GetDlgCtrlID(thread.hwndFocus) : -1));
  Print("active=" + (thread.hwndActive ? Utf8(ClassOf(thread.hwndActive)) : std::string("none")));
  return 0;
}

// active <window> <timeout ms>: waits until the window is its program's active window, polling
// inside one process: a loop of "focus" calls starts a Wine process for every look, seconds
// each on a busy machine. Prints focus and active as "focus" does; fails when the time is up.
int Active(const Args& args) {
  NeedArgs(args, 2, "active <window> <timeout ms>");
  const std::wstring want = args[0].rfind("dialog:", 0) == 0 ? L"#32770" : Wide(args[0]);
  const DWORD timeout = static_cast<DWORD>(Number(args[1].c_str()));
  const DWORD start = GetTickCount();
  std::string seen;
  for (;;) {
    const std::vector<HWND> found = TopLevel(args[0]);
    if (!found.empty()) {
      GUITHREADINFO thread{};
      thread.cbSize = sizeof(thread);
      GetGUIThreadInfo(GetWindowThreadProcessId(found.front(), nullptr), &thread);
      const std::wstring active = thread.hwndActive ? ClassOf(thread.hwndActive) : L"none";
      seen = "focus=" + std::to_string(thread.hwndFocus ? GetDlgCtrlID(thread.hwndFocus) : -1) +
             " active=" + Utf8(active);
      if (active == want) {
        Print("focus=" + std::to_string(thread.hwndFocus ? GetDlgCtrlID(thread.hwndFocus) : -1));
        Print("active=" + Utf8(active));
        return 0;
      }
    }
    if (GetTickCount() - start > timeout) {
      Fail(args[0] + " did not become the active window (" + (seen.empty() ? "no such window" : seen) + ")");
    }
    Sleep(50);
  }
}

// dialog <caption>: a dialog's text, icon, buttons and default button.
int Dialog(const Args& args) {
  NeedArgs(args, 1, "dialog <caption>");
  HWND dialog = FindTop("dialog:" + args[0]);
  const LRESULT defId = Send(dialog, DM_GETDEFID, 0, 0);
  Print("default=" + std::to_string(HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : 0));
  RECT outer{};
  GetWindowRect(dialog, &outer);
  Print("rect=" + RectText(outer));
  HWND owner = GetWindow(dialog, GW_OWNER);
  Print("owner=" + (owner ? Utf8(ClassOf(owner)) : std::string("none")));
  bool icon = false;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::wstring className = ClassOf(child);
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    if (_wcsicmp(className.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
        Send(child, STM_GETICON, 0, 0))
      icon = true;
    if (_wcsicmp(className.c_str(), L"Button") == 0 && IsWindowVisible(child))
      Print("button=" + std::to_string(GetDlgCtrlID(child)) + " text=" + Escaped(TextOf(child)));
  }
  Print("icon=" + std::to_string(icon ? 1 : 0));
  Print("text=" + Escaped(TextOf(FindControl(dialog, winui::kIdDialogText))));
  return 0;
}

// status <window> <id>: the status bar's panels (right edges) and texts.
int Status(const Args& args) {
  NeedArgs(args, 2, "status <window> <id>");
  HWND bar = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  constexpr std::size_t kChars = 256;
  RemoteMemory memory(bar, 16 * sizeof(int) + kChars * sizeof(wchar_t));
  const int parts = static_cast<int>(Send(bar, SB_GETPARTS, 16, reinterpret_cast<LPARAM>(memory.At(0))));
  int edges[16] = {};
  memory.Read(0, edges, sizeof(edges));
  std::string line = "edges=";
  for (int i = 0; i < parts; ++i) line += (i ? " " : "") + std::to_string(edges[i]);
  Print(line);
  const std::size_t textAt = 16 * sizeof(int);
  for (int i = 0; i < parts; ++i) {
    memory.Write(textAt, L"", sizeof(wchar_t));
    Send(bar, SB_GETTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(memory.At(textAt)));
    Print("panel=" + std::to_string(i) + " text=" + Escaped(memory.ReadText(textAt, kChars)));
  }
  return 0;
}

// hints <window>: the tooltip texts of the window's controls, by control id.
int Hints(const Args& args) {
  NeedArgs(args, 1, "hints <window>");
  HWND window = FindTop(args[0]);
  std::vector<HWND> tips;
  for (HWND tip : TopLevel("tooltips_class32")) {
    if (GetWindow(tip, GW_OWNER) == window) tips.push_back(tip);
  }
  constexpr std::size_t kChars = 256;
  for (HWND tip : tips) {
    RemoteMemory memory(tip, sizeof(TOOLINFOW) + kChars * sizeof(wchar_t));
    const std::size_t textAt = sizeof(TOOLINFOW);
    const int count = static_cast<int>(Send(tip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      TOOLINFOW info{};
      info.cbSize = TTTOOLINFOW_V2_SIZE;
      memory.Write(0, &info, sizeof(info));
      if (!Send(tip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(memory.At(0)))) continue;
      memory.Read(0, &info, sizeof(info));
      info.lpszText = reinterpret_cast<wchar_t*>(memory.At(textAt));
      memory.Write(0, &info, sizeof(info));
      memory.Write(textAt, L"", sizeof(wchar_t));
      Send(tip, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(memory.At(0)));
      HWND tool = (info.uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(info.uId) : nullptr;
      Print("hint=" + std::to_string(tool ? GetDlgCtrlID(tool) : -1) +
            " text=" + Escaped(memory.ReadText(textAt, kChars)));
    }
  }
  return 0;
}

// tree <window>: the items of the first tree view inside the window, depth first, one line each
// with its depth (0 for the top level) and text; branches are expanded to reach their items.
int Tree(const Args& args) {
  NeedArgs(args, 1, "tree <window>");
  HWND tree = nullptr;
  EnumChildWindows(
      FindTop(args[0]),
      [](HWND child, LPARAM found) -> BOOL {
        if (_wcsicmp(ClassOf(child).c_str(), WC_TREEVIEWW) != 0) return TRUE;
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&tree));
  if (!tree) Fail("no tree view in " + args[0]);
  constexpr std::size_t kChars = 512;
  RemoteMemory memory(tree, sizeof(TVITEMW) + kChars * sizeof(wchar_t));
  const std::size_t textAt = sizeof(TVITEMW);
  std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM item, int depth) {
    for (; item; item = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
      TVITEMW entry{};
      entry.mask = TVIF_TEXT | TVIF_HANDLE;
      entry.hItem = item;
      entry.pszText = reinterpret_cast<wchar_t*>(memory.At(textAt));
      entry.cchTextMax = kChars;
      memory.Write(0, &entry, sizeof(entry));
      memory.Write(textAt, L"", sizeof(wchar_t));
      Send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.At(0)));
      Print("item=" + std::to_string(depth) + " text=" + Escaped(memory.ReadText(textAt, kChars)));
      Send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
      walk(reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))), depth + 1);
    }
  };
  walk(reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
  return 0;
}

// move <window> <left> <top>: moves a window, as dragging its title bar would.
int Move(const Args& args) {
  NeedArgs(args, 3, "move <window> <left> <top>");
  if (!SetWindowPos(FindTop(args[0]), nullptr, Number(args[1].c_str()), Number(args[2].c_str()), 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
    Fail("the window did not move");
  return 0;
}

// activate <window>: makes it the active window, as a click on it would.
int Activate(const Args& args) {
  NeedArgs(args, 1, "activate <window>");
  HWND window = FindTop(args[0]);
  if (!SetForegroundWindow(window)) Fail("the window did not become active");
  return 0;
}

void PrintPoint(const POINT& point) {
  Print("x=" + std::to_string(point.x));
  Print("y=" + std::to_string(point.y));
}

// rowpoint <window> <id> <row>: the screen point of a row's check box, for a real click.
int RowPoint(const Args& args) {
  NeedArgs(args, 3, "rowpoint <window> <id> <row>");
  HWND list = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  RemoteMemory memory(list, sizeof(RECT));
  memory.Write(0, &bounds, sizeof(bounds));
  if (!Send(list, LVM_GETITEMRECT, static_cast<WPARAM>(Number(args[2].c_str())), reinterpret_cast<LPARAM>(memory.At(0))))
    Fail("no such row");
  memory.Read(0, &bounds, sizeof(bounds));
  // The check box is the state image at the row's left end.
  POINT point{bounds.left + GetSystemMetrics(SM_CXSMICON) / 2 + 2, (bounds.top + bounds.bottom) / 2};
  ClientToScreen(list, &point);
  PrintPoint(point);
  return 0;
}

// point <window> <id>: the screen point at the centre of a control, for a real click.
int PointVerb(const Args& args) {
  NeedArgs(args, 2, "point <window> <id>");
  RECT r{};
  GetWindowRect(FindControl(FindTop(args[0]), Number(args[1].c_str())), &r);
  PrintPoint({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  return 0;
}

// tabpoint <window> <id> <index>: the screen point at the centre of a tab, for a real click.
int TabPoint(const Args& args) {
  NeedArgs(args, 3, "tabpoint <window> <id> <index>");
  HWND tabs = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  POINT point = TabCentre(tabs, args[2]);
  ClientToScreen(tabs, &point);
  PrintPoint(point);
  return 0;
}

// captions <window> [timeout ms]: every caption the window shows, one line each time it changes,
// until the window is hidden or gone. Watching from inside one process catches captions that
// last too briefly for a loop of separate driver calls.
int Captions(const Args& args) {
  NeedArgs(args, 1, "captions <window> [timeout ms]");
  const DWORD timeout = args.size() > 1 ? static_cast<DWORD>(Number(args[1].c_str())) : 60000;
  HWND window = FindTop(args[0]);
  const DWORD start = GetTickCount();
  std::wstring last;
  bool first = true;
  while (IsWindow(window) && IsWindowVisible(window)) {
    const std::wstring caption = TextOf(window);
    if (first || caption != last) {
      Print("caption=" + Escaped(caption));
      std::fflush(stdout);
      last = caption;
      first = false;
    }
    if (GetTickCount() - start > timeout) Fail("timed out watching the captions of " + args[0]);
    Sleep(20);
  }
  return 0;
}

// True when the text begins with one of the alternatives, separated by | in the pattern.
bool BeginsWithOneOf(const std::wstring& text, const std::string& pattern) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t bar = pattern.find('|', from);
    const std::wstring wanted = Wide(pattern.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
    if (text.compare(0, wanted.size(), wanted) == 0) return true;
    if (bar == std::string::npos) return false;
    from = bar + 1;
  }
}

// Looks every few milliseconds until, at one look, the text of each control named in the pairs
// from args[first] on (id 0: the window's caption) begins with one of its texts; the window on
// success. Reads without messages, so a test can act within a block or two of a run and never
// pairs two texts that were not on screen together; a range of texts still matches when a busy
// machine lets a look come late. Prints "watching" after its first look when that look did not
// match: a test that starts a run only after this line cannot lose a short moment to the seconds
// a Wine process takes to start on a busy machine.
HWND WatchTexts(const Args& args, std::size_t first, const char* usage) {
  NeedArgs(args, first + 2, usage);
  if ((args.size() - first) % 2 != 0) Fail(std::string("every id needs a text: ") + usage);
  const DWORD timeout = static_cast<DWORD>(Number(args[1].c_str()));
  const DWORD start = GetTickCount();
  bool told = false;
  for (;;) {
    std::vector<HWND> found = TopLevel(args[0]);
    bool all = !found.empty();
    for (std::size_t i = first; all && i < args.size(); i += 2) {
      const int id = Number(args[i].c_str());
      HWND source = id == 0 ? found.front() : GetDlgItem(found.front(), id);
      all = source && BeginsWithOneOf(StoredTextOf(source), args[i + 1]);
    }
    if (all) return found.front();
    if (!told) {
      Print("watching");
      std::fflush(stdout);
      told = true;
    }
    if (GetTickCount() - start > timeout) Fail("timed out waiting for the texts in " + args[0]);
    Sleep(2);
  }
}

// waittext <window> <timeout ms> <id> <text>[|<text>...] [<id> <text> ...]: waits for the texts.
int WaitText(const Args& args) {
  WatchTexts(args, 2, "waittext <window> <timeout ms> <id> <text>[|<text>...] [<id> <text> ...]");
  return 0;
}

// clickwhen <window> <timeout ms> <button id> <id> <text>[|<text>...] [...]: waits for the texts
// and clicks the button at that moment, from the same look: a click sent by the test after the
// watch ended comes seconds later on a busy machine, past the moment it was meant for.
int ClickWhen(const Args& args) {
  HWND window = WatchTexts(args, 3, "clickwhen <window> <timeout ms> <button id> <id> <text>[|<text>...] [...]");
  PostMessageW(FindControl(window, Number(args[2].c_str())), BM_CLICK, 0, 0);
  return 0;
}

// bar <window> <id>: a progress bar's range and position.
int Bar(const Args& args) {
  NeedArgs(args, 2, "bar <window> <id>");
  HWND bar = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  Print("low=" + std::to_string(Send(bar, PBM_GETRANGE, TRUE, 0)));
  Print("high=" + std::to_string(Send(bar, PBM_GETRANGE, FALSE, 0)));
  Print("position=" + std::to_string(Send(bar, PBM_GETPOS, 0, 0)));
  return 0;
}

// scroll <window> <id> <pixels>: scrolls a list sideways (LVM_SCROLL), so columns past its
// right edge come into a screenshot.
int Scroll(const Args& args) {
  NeedArgs(args, 3, "scroll <window> <id> <pixels>");
  HWND list = FindControl(FindTop(args[0]), Number(args[1].c_str()));
  if (!Send(list, LVM_SCROLL, static_cast<WPARAM>(Number(args[2].c_str())), 0)) Fail("the list did not scroll");
  return 0;
}

// font <face>: the face GDI draws with when a program asks for that one, as face=<name>. A
// face the prefix does not have comes back as whatever font stood in for it.
int Font(const Args& args) {
  NeedArgs(args, 1, "font <face>");
  LOGFONTW wanted = {};
  wanted.lfHeight = -16;
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, Wide(args[0]).c_str(), LF_FACESIZE);
  HFONT font = CreateFontIndirectW(&wanted);
  if (!font) Fail("no font for " + args[0]);
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font);
  wchar_t face[LF_FACESIZE] = {};
  const int length = GetTextFaceW(screen, LF_FACESIZE, face);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  DeleteObject(font);
  if (length <= 0) Fail("no face selected for " + args[0]);
  Print("face=" + Utf8(face));
  return 0;
}

// desktop [timeout ms]: the session's desktop window, which Wine's desktop process makes and
// shows when the first program asks for it; waits until it is shown by a process other than
// this one, and prints desktop=shown.
int Desktop(const Args& args) {
  const DWORD timeout = !args.empty() ? static_cast<DWORD>(Number(args[0].c_str())) : 60000;
  const DWORD start = GetTickCount();
  for (;;) {
    HWND desktop = GetDesktopWindow();
    DWORD owner = 0;
    if (desktop) GetWindowThreadProcessId(desktop, &owner);
    if (desktop && IsWindowVisible(desktop) && owner != 0 && owner != GetCurrentProcessId()) {
      Print("desktop=shown");
      return 0;
    }
    if (GetTickCount() - start > timeout) Fail("timed out waiting for the desktop window");
    Sleep(50);
  }
}

const std::map<std::string, std::function<int(const Args&)>>& Verbs() {
  static const std::map<std::string, std::function<int(const Args&)>> verbs = {
      {"wait", Wait},     {"count", Count},   {"info", Info},       {"controls", Controls},
      {"control", ControlVerb}, {"list", List}, {"check", Check},  {"combo", Combo},
      {"select", Select}, {"tabs", Tabs},     {"page", Page},       {"click", Click},       {"tick", Tick},
      {"linkclick", LinkClick}, {"command", Command}, {"close", Close}, {"minimize", Minimize},
      {"key", Key},       {"focus", Focus},   {"active", Active},   {"dialog", Dialog},   {"status", Status},
      {"hints", Hints},   {"bar", Bar},       {"move", Move},       {"activate", Activate},
      {"rowpoint", RowPoint}, {"point", PointVerb}, {"tabpoint", TabPoint},
      {"captions", Captions}, {"tree", Tree},   {"drop", Drop},       {"layout", Layout},
      {"waittext", WaitText}, {"clickwhen", ClickWhen}, {"scroll", Scroll}, {"font", Font},       {"desktop", Desktop},
  };
  return verbs;
}

}  // namespace

int main(int argc, char** argv) {
  // Aware of DPI like the program, so rectangles read in the pixels that are on screen rather
  // than in the 96-DPI pixels the system would make up for the driver.
  using SetContext = BOOL(WINAPI*)(HANDLE);
  FARPROC entry = GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext");
  auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(entry));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
  if (!setContext || !setContext(perMonitorV2)) SetProcessDPIAware();
  // Texts go out as UTF-8 bytes, lines end in \n only.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2 || Verbs().count(argv[1]) == 0) {
    std::string known;
    for (const auto& verb : Verbs()) known += " " + verb.first;
    Fail("usage: guidriver <verb> ...; verbs:" + known);
  }
  const Args args(argv + 2, argv + argc);
  const int result = Verbs().at(argv[1])(args);
  std::fflush(stdout);
  return result;
}
