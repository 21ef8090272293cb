#pragma once
// What the main window tells of a target while the user chooses it: the status bar's right
// panel names the checked row's device (model, serial number, size), and a row's info tip
// names the row's. The Model column lies past the list's right edge at the window's first
// size; these show who the target is without scrolling.

#include <string>

#include "ui/ui.h"

// "Disk1, 192 MB: DUNMERE VIRTUAL DISK 192 · S/N DM0002", or for a volume
// "E:\, 64 MB, on Disk1: DUNMERE VIRTUAL DISK 192 · S/N DM0002"; on the simulated machine
// "Simulated Disk1, ..." and "E:\, 64 MB, on simulated Disk1: ...". The size and model come
// first, so a panel too narrow cuts the serial number's end. Empty for a row the table does
// not hold.
std::string TargetIdentityText(ui::List list, int row);
// The right panel's text: the identity of the active page's checked row; with none checked,
// "Secure erase", or "Simulated PC" on the simulated machine.
std::string StatusNoteText();
// Puts StatusNoteText into the right panel.
void ShowStatusNote();
