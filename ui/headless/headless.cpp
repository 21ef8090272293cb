// Headless windows: everything the program shows is kept in memory for tests to read.
#include "ui/headless/headless.h"

#include <map>

#include "app/handlers.h"

namespace {

struct Row {
  std::string caption;
  std::vector<std::string> subItems;
  bool checked = false;
};

struct State {
  // TForm1
  std::string mainCaption;
  std::string statusNote;
  bool mainVisible = false;
  int activePage = ui::kPageWipeDrive;
  int methodIndex = 0;
  std::map<ui::List, std::vector<Row>> rows;
  bool disableSound = false;
  bool wipeResumable = true;  // the hidden option is checked by default
  bool verifyAfterWipe = true;
  // dialogs
  std::vector<headless::Dialog> dialogs;
  std::vector<int> answers;
  // TForm2
  bool logVisible = false;
  int logLeft = 0;
  int logTop = 0;
  ui::LogScreen logScreen;
  std::vector<std::string> logLines;
  // TForm3
  bool progressVisible = false;
  std::string progressCaption = " Wiping .  .  .";
  std::map<ui::ProgressValue, std::string> values = {
      {ui::ProgressValue::Speed, "0 MB/S"},
      {ui::ProgressValue::Amount, "4096000000 MB/4096 TB"},
      {ui::ProgressValue::Elapsed, "00h00m00s"},
      {ui::ProgressValue::TimeLeft, "00h00m00s"},
  };
  int progressBar = 0;
  bool progressMarquee = false;
  bool cancelEnabled = true;
  std::string cancelNote;
  bool runFailedShown = false;
  bool formatChecked = true;
  bool formatEnabled = true;
  bool shutdownChecked = false;
  // loop
  bool terminationRequested = false;
  long pumps = 0;
  std::function<void(long)> pumpHook;
};

State& S() {
  static State state;
  return state;
}

std::vector<Row>& RowsOf(ui::List list) { return S().rows[list]; }

bool& OptionFlag(ui::Option option) {
  switch (option) {
    case ui::Option::DisableSound: return S().disableSound;
    case ui::Option::WipeResumable: return S().wipeResumable;
    case ui::Option::VerifyAfterWipe: break;
  }
  return S().verifyAfterWipe;
}

bool ValidRow(ui::List list, int row) {
  return row >= 0 && row < static_cast<int>(RowsOf(list).size());
}

}  // namespace

namespace ui {

void InitFramework() {}
void CreateMainWindow() { app::FormCreate(); }
void CreateLogWindow() {}
void CreateProgressWindow() {}
void ShowAlreadyRunningBox() {
  S().dialogs.push_back({"already-running", "Warning", Icon::Information, "Dunmere is already running!"});
}
void RunEventLoop() {
  if (S().terminationRequested) return;
  S().mainVisible = true;
}
void RequestTermination() { S().terminationRequested = true; }
bool TerminationRequested() { return S().terminationRequested; }
void ProcessMessages() {
  long pump = ++S().pumps;
  // Copy first: a hook may replace itself.
  auto hook = S().pumpHook;
  if (hook) hook(pump);
}

void SetMainCaption(const std::string& text) { S().mainCaption = text; }
void ShowMainWindow() { S().mainVisible = true; }
void HideMainWindow() { S().mainVisible = false; }
int ActivePage() { return S().activePage; }
int MethodIndex() { return S().methodIndex; }
void ClearRows(List list) { RowsOf(list).clear(); }
void AddRow(List list, const std::string& caption, const std::vector<std::string>& subItems) {
  RowsOf(list).push_back({caption, subItems, false});
}
int RowCount(List list) { return static_cast<int>(RowsOf(list).size()); }
bool RowChecked(List list, int row) { return ValidRow(list, row) && RowsOf(list)[row].checked; }
void SetRowChecked(List list, int row, bool checked) {
  if (!ValidRow(list, row) || RowsOf(list)[row].checked == checked) return;
  RowsOf(list)[row].checked = checked;
  app::ListChanged(list);  // as a list view notifies its parent
}
void SetStatusNote(const std::string& text) { S().statusNote = text; }
bool OptionChecked(Option option) {
  return OptionFlag(option);
}
void SetOptionChecked(Option option, bool checked) {
  OptionFlag(option) = checked;
}

int ConfirmDialog(const std::string& caption, Icon icon, const std::string& text) {
  S().dialogs.push_back({"confirm", caption, icon, text});
  if (S().answers.empty()) return kDialogNo;
  int answer = S().answers.front();
  S().answers.erase(S().answers.begin());
  return answer;
}
void WarningDialog(const std::string& text) {
  S().dialogs.push_back({"warning", "Warning", Icon::Warning, text});
}
void HelpMethodDialog(const std::string& text) {
  S().dialogs.push_back({"help", "How to choose wipe method", Icon::Help, text});
}

LogScreen LogScreenNow() { return S().logScreen; }
bool LogVisible() { return S().logVisible; }
void ShowLogAt(int left, int top) {
  S().logLeft = left;
  S().logTop = top;
  S().logVisible = true;
}
void AppendLogLine(const std::string& line) { S().logLines.push_back(line); }

void SetProgressCaption(const std::string& text) { S().progressCaption = text; }
void SetProgressValue(ProgressValue value, const std::string& text) { S().values[value] = text; }
void SetProgressBar(int position) {
  S().progressBar = position;
  S().progressMarquee = false;
}
void SetProgressMarquee() { S().progressMarquee = true; }
void SetCancelAllowed(bool allowed, const std::string& why) {
  S().cancelEnabled = allowed;
  S().cancelNote = why;
}
bool FormatBoxChecked() { return S().formatChecked; }
void SetFormatBox(bool checked, bool enabled) {
  S().formatChecked = checked;
  S().formatEnabled = enabled;
}
bool ShutdownBoxChecked() { return S().shutdownChecked; }
void SetShutdownBox(bool checked) { S().shutdownChecked = checked; }
void ShowProgressWindow() { S().progressVisible = true; }
void HideProgressWindow() {
  S().progressVisible = false;
  S().runFailedShown = false;
}
void ShowRunFailed() { S().runFailedShown = true; }

}  // namespace ui

namespace headless {

void Reset() { S() = State(); }

const std::vector<Dialog>& Dialogs() { return S().dialogs; }
void QueueAnswers(const std::vector<int>& answers) {
  S().answers.insert(S().answers.end(), answers.begin(), answers.end());
}

void SetPumpHook(std::function<void(long)> hook) { S().pumpHook = std::move(hook); }
long PumpCount() { return S().pumps; }

std::string MainCaption() { return S().mainCaption; }
bool MainVisible() { return S().mainVisible; }
void SetActivePage(int page) {
  S().activePage = page;
  app::PageChanged();  // as the tab notifies its parent
}
std::string StatusNote() { return S().statusNote; }
void SetMethodIndex(int index) { S().methodIndex = index; }
std::vector<std::vector<std::string>> Rows(ui::List list) {
  std::vector<std::vector<std::string>> out;
  for (const Row& row : RowsOf(list)) {
    std::vector<std::string> cells{row.caption};
    cells.insert(cells.end(), row.subItems.begin(), row.subItems.end());
    out.push_back(cells);
  }
  return out;
}
void ClickCheckBox(ui::List list, int row) {
  if (!ValidRow(list, row)) return;
  ui::SetRowChecked(list, row, !RowsOf(list)[row].checked);
}

const std::vector<std::string>& LogLines() { return S().logLines; }
std::vector<std::string> LogTexts() {
  std::vector<std::string> texts;
  for (const std::string& line : S().logLines) {
    std::size_t at = line.find("] : ");
    texts.push_back(at == std::string::npos ? line : line.substr(at + 4));
  }
  return texts;
}
void SetLogScreen(const ui::LogScreen& screen) { S().logScreen = screen; }
int LogLeft() { return S().logLeft; }
int LogTop() { return S().logTop; }
void CloseLogWindow() { S().logVisible = false; }

bool ProgressVisible() { return S().progressVisible; }
bool RunFailedShown() { return S().runFailedShown; }
std::string ProgressCaption() { return S().progressCaption; }
std::string ProgressValue(ui::ProgressValue value) { return S().values[value]; }
int ProgressBar() { return S().progressBar; }
bool FormatBoxEnabled() { return S().formatEnabled; }
bool ProgressMarquee() { return S().progressMarquee; }
bool CancelEnabled() { return S().cancelEnabled; }
std::string CancelNote() { return S().cancelNote; }
void ClickCancel() {
  if (S().cancelEnabled) app::CancelClicked();
}
void CloseProgressWindow() { S().progressVisible = false; }

}  // namespace headless
