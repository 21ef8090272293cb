#pragma once
// What the three forms, the dialogs and the event loop share inside the Win32 windows.

#include <windows.h>

#include <exception>
#include <string>

#include "ui/win32/handles.h"

namespace winui {

HINSTANCE Instance();

// The windows' design sizes are pixels at 96 dots per inch; each window scales them by its own
// DPI, which follows the monitor it is on.
inline constexpr int kDesignDpi = 96;
int SystemDpi();
int DpiOf(HWND window);
int Scaled(int designPixels, int dpi);
int SystemMetricFor(int index, int dpi);

// The message font of the system and its bold and underlined variants, made once per DPI.
struct Fonts {
  UniqueFont normal;
  UniqueFont bold;
  UniqueFont underlined;
};
const Fonts& FontsFor(int dpi);
// Size of a single line of text in this font, in pixels.
SIZE TextExtent(HFONT font, const std::string& text);

void RegisterFormClass(const wchar_t* className, WNDPROC procedure);
// Outer size of a window of this style whose client area is clientWidth × clientHeight pixels.
SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu, int dpi);
POINT CentredOnScreen(SIZE outer);

// WM_DPICHANGED of a form or dialog: the frame takes the suggested place and the size of its
// client area at the new DPI, and every control, list column, status panel and font follows.
void FollowDpiChange(HWND frame, int oldDpi, int newDpi, const RECT& suggested, SIZE newClient);

// The three forms' frames (nullptr before they exist), and their teardown after the loop.
HWND MainFrame();
HWND LogFrame();
HWND ProgressFrame();
bool IsFormFrame(HWND window);
void DestroyMainForm();
void DestroyLogForm();
void DestroyProgressForm();
void DestroyForms();  // progress, log, then main: owned windows before their owner

// The main window was closed: the event loop ends when control returns to it.
void EndEventLoop();

// Like the window framework the program was designed for: an exception escaping an event
// handler is shown in a message box, and the loop goes on.
void ReportException(HWND owner, const char* what);
template <typename Handler>
LRESULT Guarded(HWND window, Handler&& handler) {
  try {
    return handler();
  } catch (const std::exception& error) {
    ReportException(window, error.what());
  } catch (...) {
    ReportException(window, "Unknown error.");
  }
  return 0;
}

}  // namespace winui
