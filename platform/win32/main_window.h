#pragma once
// The window that owns the shell's dialogs and error boxes: this process's top-level window
// of class "TForm1", so a dialog opened for it stays in front of the main window.

#include <windows.h>

namespace platform::win32 {

// NULL when this process has no such window (the shell then uses the desktop).
HWND FindMainWindow();

}  // namespace platform::win32
