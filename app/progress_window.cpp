// The screen around a wipe run.
#include "app/progress_window.h"

#include "app/settings.h"
#include "ui/ui.h"

void HandOverToProgress() {
  ui::ShowProgressWindow();
  ui::HideMainWindow();
  // The user has to ask for a shutdown anew during each run.
  ui::SetShutdownBox(false);
  // Draw the switch before the long run starts.
  ui::ProcessMessages();
}

void ResetProgressWindow(bool formatBox) {
  ui::SetProgressBar(0);
  // A disk loses its partitions, so there is no volume left to format.
  ui::SetFormatBox(formatBox, formatBox);
  ui::SetProgressValue(ui::ProgressValue::Speed, "0 MB/S");
  ui::SetProgressValue(ui::ProgressValue::Amount, "0 MB/0 MB");
  ui::SetProgressValue(ui::ProgressValue::Elapsed, "0h0m0s");
  ui::SetProgressValue(ui::ProgressValue::TimeLeft, "0h0m0s");
}

void ReturnFromRun(bool succeeded) {
  ui::ProcessMessages();
  ui::HideProgressWindow();
  ui::ShowMainWindow();
  PlayCue(succeeded ? CueFinish : CueDing);
}
