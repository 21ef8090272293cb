#include "ui/win32/framework.h"

#include "ui/win32/resources/resource_ids.h"
#include "ui/win32/text.h"

namespace winui {

namespace {

Fonts& FontsStore() {
  static Fonts fonts;
  return fonts;
}

LOGFONTW MessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return metrics.lfMessageFont;
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  return font;
}

}  // namespace

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

const Fonts& SharedFonts() { return FontsStore(); }

void CreateSharedFonts() {
  Fonts& fonts = FontsStore();
  LOGFONTW font = MessageFont();
  fonts.normal.reset(CreateFontIndirectW(&font));
  LOGFONTW bold = font;
  bold.lfWeight = FW_BOLD;
  fonts.bold.reset(CreateFontIndirectW(&bold));
  LOGFONTW underlined = font;
  underlined.lfUnderline = TRUE;
  fonts.underlined.reset(CreateFontIndirectW(&underlined));
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

SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu) {
  RECT bounds{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&bounds, style, hasMenu ? TRUE : FALSE, exStyle);
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
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
