// The framework's start, the event loop and the event pump that runs inside long handlers.
#include <windows.h>

#include <commctrl.h>

#include "ui/ui.h"
#include "ui/win32/framework.h"

namespace {

bool terminationRequested = false;
bool mainWindowClosed = false;

// Keyboard navigation (Tab, arrows, Enter, Escape) among a form's controls, as in a dialog.
void Dispatch(MSG& message) {
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (winui::IsFormFrame(root) && IsDialogMessageW(root, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void Wake() { PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0); }

}  // namespace

namespace winui {

void EndEventLoop() {
  mainWindowClosed = true;
  Wake();
}

}  // namespace winui

namespace ui {

void InitFramework() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                   ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
}

void RunEventLoop() {
  if (terminationRequested) return;
  ShowMainWindow();
  MSG message;
  while (!terminationRequested && !mainWindowClosed && IsWindow(winui::MainFrame())) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;  // WM_QUIT, or the queue is gone
    Dispatch(message);
  }
}

void RequestTermination() {
  terminationRequested = true;
  Wake();
}

bool TerminationRequested() { return terminationRequested; }

void ProcessMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave it for the event loop, which is the one to end.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
  }
}

}  // namespace ui
