#pragma once
// The progress window around a run of "Wipe it now" or "Resume": the screen handed over to it
// before the run, its values reset, and the main window back with the closing sound after.

// Shows the progress window, hides the main window, unticks the shutdown box, pumps once.
void HandOverToProgress();
// Bar 0, values "0 MB/S", "0 MB/0 MB", "0h0m0s", "0h0m0s"; the format box ticked and enabled
// for a volume, unticked and disabled for a disk.
void ResetProgressWindow(bool formatBox);
// Pumps once, hides the progress window, shows the main window, then the finish or ding cue.
void ReturnFromRun(bool succeeded);
