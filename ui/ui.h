#pragma once
// What the program does to its three windows (TForm1 main, TForm2 message log, TForm3
// progress) and its dialogs. Linked from exactly one of win32/ (the real windows) or
// headless/ (window state in memory, scripted dialog answers, a hook at every event pump).
// Events travel the other way through app/handlers.h.

#include <string>
#include <vector>

namespace ui {

enum class List { Drive, Disk };
inline constexpr int kPageWipeDrive = 0;
inline constexpr int kPageWipeDisk = 1;
enum class Icon { Information, Stop, Warning, Help };
// Menu items Disablesound1, Wiperesumable1 and "Verify after wipe" (checked by default).
enum class Option { DisableSound, WipeResumable, VerifyAfterWipe };
enum class ProgressValue { Speed, Amount, Elapsed, TimeLeft };  // Label2, Label4, Label6, Label8

inline constexpr int kDialogYes = 1;
inline constexpr int kDialogNo = 2;

// ---- Life of the program (the entry) ---------------------------------------------------------
void InitFramework();
void CreateMainWindow();      // runs app::FormCreate before the window is shown
void CreateLogWindow();       // hidden
void CreateProgressWindow();  // hidden
void ShowAlreadyRunningBox(); // MessageBox "Dunmere is already running!", "Warning", MB_OK
// Shows the main window and dispatches events until termination is requested or the main
// window closes. A pending termination request ends it at once.
void RunEventLoop();
void RequestTermination();
bool TerminationRequested();
void ProcessMessages();  // handle every pending event, then return

// ---- Main window ------------------------------------------------------------------------------
void SetMainCaption(const std::string& text);
void ShowMainWindow();
void HideMainWindow();
int ActivePage();
int MethodIndex();
void ClearRows(List list);
void AddRow(List list, const std::string& caption, const std::vector<std::string>& subItems);
int RowCount(List list);
bool RowChecked(List list, int row);
void SetRowChecked(List list, int row, bool checked);  // raises the list's change notification
// The status bar's right panel, right-aligned; it widens for a text longer than its design
// width.
void SetStatusNote(const std::string& text);
bool OptionChecked(Option option);
void SetOptionChecked(Option option, bool checked);

// Modal dialogs. ConfirmDialog: "Yes" (default) gives kDialogYes, "No", Escape or closing gives
// kDialogNo; centred on the main window. The others have one "OK" and are centred on the screen.
int ConfirmDialog(const std::string& caption, Icon icon, const std::string& text);
void WarningDialog(const std::string& text);     // caption "Warning", warning icon
void HelpMethodDialog(const std::string& text);  // caption "How to choose wipe method", help icon

// ---- Message log window -----------------------------------------------------------------------
// Where the log window can open: the main window's dots per inch (96 is the design size), the
// work area of its monitor (the screen less the taskbar) and the log window's outer size, all
// in screen pixels.
struct LogScreen {
  int dpi = 96;
  int workLeft = 0;
  int workTop = 0;
  int workRight = 0;
  int workBottom = 0;
  int width = 0;
  int height = 0;
};
LogScreen LogScreenNow();
bool LogVisible();
void ShowLogAt(int left, int top);
void AppendLogLine(const std::string& line);

// ---- Progress window --------------------------------------------------------------------------
void SetProgressCaption(const std::string& text);
void SetProgressValue(ProgressValue value, const std::string& text);
void SetProgressBar(int position);  // 0 to 100
// The bar moves without measuring anything, until the next SetProgressBar; each call moves it on.
void SetProgressMarquee();
// Cancel enabled, or disabled with a label beside it saying why (empty: no label).
void SetCancelAllowed(bool allowed, const std::string& why);
void ShowRunFailed();  // the window's taskbar button shows the failure until the window hides
bool FormatBoxChecked();
void SetFormatBox(bool checked, bool enabled);
bool ShutdownBoxChecked();
void SetShutdownBox(bool checked);
void ShowProgressWindow();
void HideProgressWindow();

}  // namespace ui
