// The windows port for the console program: there are no windows. The lines the commands'
// checks log go to the console program's output; the lists and boxes keep their state in
// memory; no question is asked here (the console program confirms before the runs, and the
// runs report to their own contexts).
#include <map>
#include <vector>

#include "cli/ui_bridge.h"
#include "ui/ui.h"

namespace ui {

namespace {

struct State {
  std::map<List, std::vector<bool>> checked;
  std::map<Option, bool> options = {{Option::DisableSound, true}, {Option::WipeResumable, true}};
  bool terminationRequested = false;
};

State& S() {
  static State state;
  return state;
}

}  // namespace

void InitFramework() {}
void CreateMainWindow() {}
void CreateLogWindow() {}
void CreateProgressWindow() {}
void ShowAlreadyRunningBox() {}
void RunEventLoop() {}
void RequestTermination() { S().terminationRequested = true; }
bool TerminationRequested() { return S().terminationRequested; }
void ProcessMessages() {}

void SetMainCaption(const std::string&) {}
void ShowMainWindow() {}
void HideMainWindow() {}
int ActivePage() { return kPageWipeDrive; }
int MethodIndex() { return 0; }
void ClearRows(List list) { S().checked[list].clear(); }
void AddRow(List list, const std::string&, const std::vector<std::string>&) { S().checked[list].push_back(false); }
int RowCount(List list) { return static_cast<int>(S().checked[list].size()); }
bool RowChecked(List list, int row) {
  const std::vector<bool>& rows = S().checked[list];
  return row >= 0 && row < static_cast<int>(rows.size()) && rows[static_cast<std::size_t>(row)];
}
void SetRowChecked(List list, int row, bool checked) {
  std::vector<bool>& rows = S().checked[list];
  if (row >= 0 && row < static_cast<int>(rows.size())) rows[static_cast<std::size_t>(row)] = checked;
}
bool OptionChecked(Option option) { return S().options[option]; }
void SetStatusNote(const std::string&) {}  // no status bar: each target's line names it
void SetOptionChecked(Option option, bool checked) {
  // The console program never plays a sound, whatever a settings file says.
  if (option != Option::DisableSound) S().options[option] = checked;
}

int ConfirmDialog(const std::string&, Icon, const std::string&) { return kDialogYes; }
void WarningDialog(const std::string& text) { cli::bridge::LogLine(text); }
void HelpMethodDialog(const std::string&) {}

LogScreen LogScreenNow() { return LogScreen(); }  // never placed: the log is the console
bool LogVisible() { return true; }
void ShowLogAt(int, int) {}
void AppendLogLine(const std::string& line) { cli::bridge::LogLine(line); }

void SetProgressCaption(const std::string&) {}
void SetProgressValue(ProgressValue, const std::string&) {}
void SetProgressBar(int) {}
void SetProgressMarquee() {}
void SetCancelAllowed(bool, const std::string&) {}
void ShowRunFailed() {}
bool FormatBoxChecked() { return false; }
void SetFormatBox(bool, bool) {}
bool ShutdownBoxChecked() { return false; }
void SetShutdownBox(bool) {}
void ShowProgressWindow() {}
void HideProgressWindow() {}

}  // namespace ui
