#include "ui/win32/framework.h"

#include <commctrl.h>

#include <map>
#include <vector>

#include "ui/win32/resources/resource_ids.h"
#include "ui/win32/text.h"

namespace winui {

namespace {

// Entry points of newer Windows, looked up at run time: the program also runs where they are
// missing (older Windows, Wine), at the system's DPI then.
template <typename Function>
Function User32Entry(const char* name) {
  // GetProcAddress types every export alike; the detour through void(*)() is the conversion
  // GCC accepts between unrelated function pointer types.
  FARPROC entry = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entry));
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForSystemFunction = UINT(WINAPI*)();
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

std::map<int, Fonts>& FontsStore() {
  static std::map<int, Fonts> fonts;
  return fonts;
}

LOGFONTW MessageFont(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  static const auto forDpi = User32Entry<SystemParametersInfoForDpiFunction>("SystemParametersInfoForDpi");
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi))) {
    return metrics.lfMessageFont;
  }
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    font = metrics.lfMessageFont;
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  }
  // The system's font is made for the system's DPI.
  font.lfHeight = MulDiv(font.lfHeight, dpi, SystemDpi());
  return font;
}

Fonts MakeFonts(int dpi) {
  Fonts fonts;
  LOGFONTW font = MessageFont(dpi);
  fonts.normal.reset(CreateFontIndirectW(&font));
  LOGFONTW bold = font;
  bold.lfWeight = FW_BOLD;
  fonts.bold.reset(CreateFontIndirectW(&bold));
  LOGFONTW underlined = font;
  underlined.lfUnderline = TRUE;
  fonts.underlined.reset(CreateFontIndirectW(&underlined));
  return fonts;
}

// The same kind of font at another DPI; a font the forms did not take from FontsFor is
// scaled from its own description.
HFONT CounterpartFont(HFONT font, int oldDpi, int newDpi, std::vector<UniqueFont>* made) {
  const Fonts& before = FontsFor(oldDpi);
  const Fonts& after = FontsFor(newDpi);
  if (font == nullptr || font == before.normal.get()) return after.normal.get();
  if (font == before.bold.get()) return after.bold.get();
  if (font == before.underlined.get()) return after.underlined.get();
  LOGFONTW description{};
  if (!GetObjectW(font, sizeof(description), &description)) return after.normal.get();
  description.lfHeight = MulDiv(description.lfHeight, newDpi, oldDpi);
  made->emplace_back(CreateFontIndirectW(&description));
  return made->back().get();
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

void RescaleColumns(HWND list, int oldDpi, int newDpi) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int column = 0; column < count; ++column) {
    const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(MulDiv(width, newDpi, oldDpi), 0));
  }
}

void RescalePanels(HWND bar, int oldDpi, int newDpi) {
  int edges[16] = {};
  const int parts = static_cast<int>(SendMessageW(bar, SB_GETPARTS, 16, reinterpret_cast<LPARAM>(edges)));
  for (int i = 0; i < parts; ++i) {
    if (edges[i] > 0) edges[i] = MulDiv(edges[i], newDpi, oldDpi);
  }
  SendMessageW(bar, SB_SETPARTS, static_cast<WPARAM>(parts), reinterpret_cast<LPARAM>(edges));
  SendMessageW(bar, WM_SIZE, 0, 0);
}

// Fonts made for controls during a DPI change live as long as the program.
std::vector<UniqueFont>& MadeFonts() {
  static std::vector<UniqueFont> fonts;
  return fonts;
}

}  // namespace

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

int SystemDpi() {
  static const auto forSystem = User32Entry<GetDpiForSystemFunction>("GetDpiForSystem");
  if (forSystem) return static_cast<int>(forSystem());
  WindowDc screen(nullptr);
  const int dpi = GetDeviceCaps(screen.dc(), LOGPIXELSY);
  return dpi > 0 ? dpi : kDesignDpi;
}

int DpiOf(HWND window) {
  static const auto forWindow = User32Entry<GetDpiForWindowFunction>("GetDpiForWindow");
  if (forWindow && window) {
    const UINT dpi = forWindow(window);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

int Scaled(int designPixels, int dpi) { return MulDiv(designPixels, dpi, kDesignDpi); }

int SystemMetricFor(int index, int dpi) {
  static const auto forDpi = User32Entry<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
  if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
  return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

const Fonts& FontsFor(int dpi) {
  std::map<int, Fonts>& fonts = FontsStore();
  auto found = fonts.find(dpi);
  if (found == fonts.end()) found = fonts.emplace(dpi, MakeFonts(dpi)).first;
  return found->second;
}

SIZE TextExtent(HFONT font, const std::string& text) {
  WindowDc dc(nullptr);
  SelectScope select(dc.dc(), font);
  const std::wstring wide = Widen(text);
  SIZE size{};
  GetTextExtentPoint32W(dc.dc(), wide.c_str(), static_cast<int>(wide.size()), &size);
  return size;
}

void RegisterFormClass(const wchar_t* className, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = Instance();
  windowClass.hIcon = LoadIconW(Instance(), MAKEINTRESOURCEW(DUNMERE_ICON));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(DUNMERE_ICON), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR | LR_SHARED));
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);
}

SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu, int dpi) {
  static const auto forDpi = User32Entry<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  RECT bounds{0, 0, clientWidth, clientHeight};
  if (!forDpi || !forDpi(&bounds, style, hasMenu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi))) {
    AdjustWindowRectEx(&bounds, style, hasMenu ? TRUE : FALSE, exStyle);
  }
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

void FollowDpiChange(HWND frame, int oldDpi, int newDpi, const RECT& suggested, SIZE newClient) {
  if (oldDpi == newDpi || oldDpi <= 0 || newDpi <= 0) return;
  for (HWND child = GetWindow(frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT at{};
    GetWindowRect(child, &at);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&at), 2);
    const std::wstring kind = ClassOf(child);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(CounterpartFont(font, oldDpi, newDpi, &MadeFonts())),
                 FALSE);
    if (kind == STATUSCLASSNAMEW) {
      RescalePanels(child, oldDpi, newDpi);
      continue;  // it places itself at the bottom
    }
    if (kind == WC_LISTVIEWW) RescaleColumns(child, oldDpi, newDpi);
    if (kind == WC_COMBOBOXW) {
      const int dropped = static_cast<int>(SendMessageW(child, CB_GETDROPPEDWIDTH, 0, 0));
      SendMessageW(child, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(MulDiv(dropped, newDpi, oldDpi)), 0);
      // A drop-down list's height is set by its font; the given height is that of the open list.
      RECT dropped_at{};
      SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped_at));
      at.bottom = at.top + (dropped_at.bottom - dropped_at.top);
    }
    SetWindowPos(child, nullptr, MulDiv(at.left, newDpi, oldDpi), MulDiv(at.top, newDpi, oldDpi),
                 MulDiv(at.right - at.left, newDpi, oldDpi), MulDiv(at.bottom - at.top, newDpi, oldDpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(frame, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(frame, GWL_EXSTYLE));
  const SIZE outer = OuterSize(newClient.cx, newClient.cy, style, exStyle, GetMenu(frame) != nullptr, newDpi);
  SetWindowPos(frame, nullptr, suggested.left, suggested.top, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(frame, nullptr, TRUE);
}

POINT CentredOnScreen(SIZE outer) {
  return {(GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2};
}

bool IsFormFrame(HWND window) {
  return window != nullptr && (window == MainFrame() || window == LogFrame() || window == ProgressFrame());
}

void DestroyForms() {
  DestroyProgressForm();
  DestroyLogForm();
  DestroyMainForm();
}

void ReportException(HWND owner, const char* what) {
  MessageBoxW(owner, Widen(what).c_str(), L"Dunmere", MB_OK | MB_ICONERROR);
}

}  // namespace winui
