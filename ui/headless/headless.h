#pragma once
// The windows as state in memory, for tests: what the program wrote into them, scripted
// answers for its dialogs, and a hook at every event pump so a test can act "during" a run
// (press Cancel at block k, tick a box, fail the next write).

#include <functional>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace headless {

void Reset();  // every window back to its freshly created state, no hook, no answers

// ---- Dialogs -------------------------------------------------------------------------------
struct Dialog {
  std::string kind;  // "confirm", "warning", "help", "already-running"
  std::string caption;
  ui::Icon icon = ui::Icon::Information;
  std::string text;
};
const std::vector<Dialog>& Dialogs();
// Answers for the next ConfirmDialogs, in order; with none queued a dialog answers No.
void QueueAnswers(const std::vector<int>& answers);

// ---- Event pumps ---------------------------------------------------------------------------
// Called at every ui::ProcessMessages with the number of pumps so far (1 for the first).
void SetPumpHook(std::function<void(long pump)> hook);
long PumpCount();

// ---- Main window ---------------------------------------------------------------------------
std::string MainCaption();
bool MainVisible();
void SetActivePage(int page);  // a click on the tab: raises app::PageChanged
std::string StatusNote();       // the status bar's right panel
void SetMethodIndex(int index);
std::vector<std::vector<std::string>> Rows(ui::List list);  // caption first, then sub-items
// A click on the row's check box: toggles it and raises app::ListChanged, as the list does.
void ClickCheckBox(ui::List list, int row);

// ---- Log window ------------------------------------------------------------------------------
const std::vector<std::string>& LogLines();  // whole lines, time stamp included
std::vector<std::string> LogTexts();         // the same without the "[h:m s.cs] : " stamp
// What LogScreenNow answers; by default 96 dots per inch and no work area (the window is only
// kept off the negative side).
void SetLogScreen(const ui::LogScreen& screen);
int LogLeft();
int LogTop();
void CloseLogWindow();  // the title-bar close button: hides it

// ---- Progress window ---------------------------------------------------------------------------
bool ProgressVisible();
bool RunFailedShown();  // since the last hiding of the window
std::string ProgressCaption();
std::string ProgressValue(ui::ProgressValue value);
int ProgressBar();
bool FormatBoxEnabled();
bool ProgressMarquee();  // since the last SetProgressBar
bool CancelEnabled();
std::string CancelNote();  // the label beside a disabled Cancel
void ClickCancel();        // a click on Cancel: nothing while it is disabled
void CloseProgressWindow();  // the title-bar close button: hides it, no cancel

}  // namespace headless
