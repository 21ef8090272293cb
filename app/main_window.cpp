// The main window's state and the small handlers behind its controls.
#include "app/main_window.h"
#include "app/target_lists.h"

#include "app/commands.h"
#include "app/handlers.h"
#include "app/log.h"
#include "app/settings.h"
#include "app/target_note.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "platform/platform.h"
#include "report/erasure_report.h"

bool CancelRequested = false;
unsigned char LastDriveChecks[kListRowsRemembered] = {};
unsigned char LastDiskChecks[kListRowsRemembered] = {};

const char* const kWebSiteAddress = "https://dunmere.example.org/";
const char* const kSupportMailAddress = "mailto:support@dunmere.example.org";
const char* const kHelpMethodText =
    "Flash memory:\nPlease choose standard overwrite. It is secure enough.\n\nHard drive:\n"
    "Standard overwrite is secure enough to prevent software level recovery.\n\n"
    "But a single pass with zeros doesn\xE2\x80\x99t completely erase magnetic artifacts from a "
    "disk. Special technology can recover the data has been overwritten. There are some "
    "algorithms used to eliminate magnetic artifacts.\n\n"
    "For tight security, recommend you use DoD 5220.22-M(E)(3 passes).\n"
    "For absolute security, please use DoD 5220.22-M(ECE)(7 passes).\n\n"
    "Detailed algorithm of each method, please see user guide."
    // The sixth method, explained after the five.
    "\n\nDevice sanitize:\nThe disk erases itself with its own sanitize command (crypto erase where the disk "
    "offers it, else block erase), reaching spare and remapped cells that no overwrite reaches. Whole NVMe disks "
    "on the \"Wipe disk\" page only. Once sent it cannot be stopped, and no breakpoint is kept: after a power "
    "cut the disk carries it on by itself. Samples of the disk are read before and after to show the change.";

namespace {

struct ListState {
  unsigned char* last;
  std::int32_t* selected;
};

ListState StateOf(ui::List list) {
  return list == ui::List::Drive ? ListState{LastDriveChecks, &SelectedDriveRow}
                                 : ListState{LastDiskChecks, &SelectedDiskRow};
}

int RememberedRows(ui::List list) {
  int rows = ui::RowCount(list);
  return rows < kListRowsRemembered ? rows : kListRowsRemembered;
}

}  // namespace

void ApplySelectionRule(ui::List list) {
  ListState state = StateOf(list);
  const int rows = RememberedRows(list);
  bool changed = false;
  for (int i = 0; i < rows && !changed; ++i) changed = ui::RowChecked(list, i) != (state.last[i] != 0);
  if (!changed) return;
  for (int i = 0; i < rows; ++i) {
    if (!ui::RowChecked(list, i) || state.last[i] != 0) continue;
    *state.selected = i;
    KeepCheckedTarget(list, i);
    // Unchecking raises notifications of its own; they re-enter this rule and settle.
    for (int other = 0; other < rows; ++other) {
      if (other != i) ui::SetRowChecked(list, other, false);
    }
  }
  bool anyChecked = false;
  for (int i = 0; i < rows; ++i) anyChecked = anyChecked || ui::RowChecked(list, i);
  if (!anyChecked) {
    *state.selected = -1;
    ForgetCheckedTarget(list);
  }
  for (int i = 0; i < rows; ++i) state.last[i] = ui::RowChecked(list, i) ? 1 : 0;
  ShowStatusNote();
}

void ResetAfterRefill(ui::List list) {
  ListState state = StateOf(list);
  *state.selected = -1;
  ForgetCheckedTarget(list);
  for (int i = 0; i < kListRowsRemembered; ++i) state.last[i] = 0;
  ShowStatusNote();
}

namespace app {

void ScanForHardwareChangesClicked() {
  RefreshDriveList();
  RefreshDiskList();
}

namespace {

bool CommandRunning = false;
bool DevicesChangedMeanwhile = false;

// A command reads the tables from its checks through to the end of its run, and a refill
// under it would change what its row numbers name; a change of the devices meanwhile is taken
// once the command is over.
template <typename Command>
void RunCommand(Command command) {
  CommandRunning = true;
  command();
  CommandRunning = false;
  if (!DevicesChangedMeanwhile) return;
  DevicesChangedMeanwhile = false;
  ScanForHardwareChangesClicked();
}

}  // namespace

void ListChanged(ui::List list) { ApplySelectionRule(list); }
void PageChanged() { ShowStatusNote(); }
std::string RowTip(ui::List list, int row) { return TargetIdentityText(list, row); }
void WipeItNowClicked() { RunCommand(WipeCommand); }
void ResumeClicked() { RunCommand(ResumeCommand); }

// As "Scan for hardware changes" does.
void DevicesChanged() {
  if (CommandRunning) {
    DevicesChangedMeanwhile = true;
    return;
  }
  ScanForHardwareChangesClicked();
}

// The folder is made when it is missing, so the shell shows it (empty) rather than an error.
// The shell's results up to 32 are its errors.
void OpenReportsFolderClicked() {
  const std::string folder = ReportsFolder();
  if (platform::CreateFolder(folder) && platform::ShellOpen(folder) > 32) return;
  LogMessage("The reports folder " + folder + " cannot be opened.");
  PlayCue(CueDing);
}

void HelpMethodClicked() { ui::HelpMethodDialog(kHelpMethodText); }
void WebSiteClicked() { platform::ShellOpen(kWebSiteAddress); }
void ContactUsClicked() { platform::ShellOpen(kSupportMailAddress); }
void UserGuideClicked() { platform::ShellOpen("userguide.chm"); }

void CheckForUpdateClicked() {
  // Results above 32 mean the updater started; it replaces this copy, so no settings are saved.
  if (platform::ShellOpen("update.exe") > 32) ui::RequestTermination();
}

void DisableSoundClicked() {
  ui::SetOptionChecked(ui::Option::DisableSound, !ui::OptionChecked(ui::Option::DisableSound));
}

void VerifyAfterWipeClicked() {
  ui::SetOptionChecked(ui::Option::VerifyAfterWipe, !ui::OptionChecked(ui::Option::VerifyAfterWipe));
}

void CancelClicked() { CancelRequested = true; }

}  // namespace app
