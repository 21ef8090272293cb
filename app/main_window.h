#pragma once
// State owned by the main window TForm1 and the small rules behind its controls.

#include <string>

#include "report/tool_version.h"
#include "ui/ui.h"

inline constexpr int kListRowsRemembered = 255;

extern bool CancelRequested;  // set by the progress window's Cancel, polled by the runs
extern unsigned char LastDriveChecks[kListRowsRemembered];
extern unsigned char LastDiskChecks[kListRowsRemembered];

// At most one checked row per list; the checked row is SelectedDriveRow / SelectedDiskRow.
void ApplySelectionRule(ui::List list);
// After a list was rebuilt: no row checked, selection -1, remembered states cleared.
void ResetAfterRefill(ui::List list);

extern const char* const kWebSiteAddress;
extern const char* const kSupportMailAddress;  // "mailto:..."
extern const char* const kHelpMethodText;      // UTF-8; its apostrophe is U+2019
