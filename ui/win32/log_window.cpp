// TForm2, the message log: one read-only text box of time-stamped lines. Closing only hides
// it; the next line shows it again.
#include <windows.h>

#include <memory>
#include <string>

#include "ui/ui.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/controls.h"
#include "ui/win32/framework.h"

namespace winui {

namespace {

const wchar_t kClassName[] = L"TForm2";
constexpr int kClientWidth = 498;
constexpr int kClientHeight = 143;
constexpr int kBoxHeight = 113;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

class LogForm {
 public:
  void Create() {
    dpi_ = MainFrame() ? DpiOf(MainFrame()) : SystemDpi();
    const SIZE outer =
        OuterSize(Scaled(kClientWidth, dpi_), Scaled(kClientHeight, dpi_), kStyle, kExStyle, false, dpi_);
    // Owned by the main window: no taskbar button of its own, always above the main window.
    frame_.reset(CreateWindowExW(kExStyle, kClassName, L" Message log", kStyle, 0, 0, outer.cx, outer.cy,
                                 MainFrame(), nullptr, Instance(), nullptr));
    // The box fills the client area below the band where the caption of the window's design sits.
    box_.Create(frame(), kIdLogBox, Scaled({0, kClientHeight - kBoxHeight, kClientWidth, kBoxHeight}, dpi_));
  }

  void OnDpiChanged(int dpi, const RECT& suggested) {
    FollowDpiChange(frame(), dpi_, dpi, suggested, {Scaled(kClientWidth, dpi), Scaled(kClientHeight, dpi)});
    dpi_ = dpi;
  }

  HWND frame() const { return frame_.get(); }
  LogBox& box() { return box_; }

 private:
  UniqueWindow frame_;  // first member: destroyed after its control
  LogBox box_;
  int dpi_ = kDesignDpi;
};

std::unique_ptr<LogForm> form;

LRESULT CALLBACK LogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ShowWindow(window, SW_HIDE);
    return 0;
  }
  if (message == WM_DPICHANGED && form) {
    form->OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A line logged before the entry made the window (from the main window's creation handler)
// still finds it.
LogForm& Form() {
  if (!form) {
    RegisterFormClass(kClassName, LogProcedure);
    form = std::make_unique<LogForm>();
    form->Create();
  }
  return *form;
}

}  // namespace

HWND LogFrame() { return form ? form->frame() : nullptr; }
void DestroyLogForm() { form.reset(); }

}  // namespace winui

namespace ui {

void CreateLogWindow() { winui::Form(); }

// The monitor of the main window, where the log window belongs.
LogScreen LogScreenNow() {
  LogScreen screen;
  HWND main = winui::MainFrame();
  HWND log = winui::Form().frame();
  screen.dpi = main ? winui::DpiOf(main) : winui::SystemDpi();
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromWindow(main ? main : log, MONITOR_DEFAULTTONEAREST), &monitor)) {
    screen.workLeft = monitor.rcWork.left;
    screen.workTop = monitor.rcWork.top;
    screen.workRight = monitor.rcWork.right;
    screen.workBottom = monitor.rcWork.bottom;
  }
  RECT outer{};
  if (GetWindowRect(log, &outer)) {
    screen.width = outer.right - outer.left;
    screen.height = outer.bottom - outer.top;
  }
  return screen;
}

bool LogVisible() { return IsWindowVisible(winui::Form().frame()) != FALSE; }

void ShowLogAt(int left, int top) {
  // Shown without activation: the main window stays the active one.
  SetWindowPos(winui::Form().frame(), HWND_TOP, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void AppendLogLine(const std::string& line) { winui::Form().box().AppendLine(line); }

}  // namespace ui
