#pragma once
// The two lists of the main window, rebuilt from the inventory's tables.

// The drive table anew and its rows in the drive list; no row checked afterwards.
void RefreshDriveList();
// The disk table anew and its rows in the disk list; no row checked afterwards.
void RefreshDiskList();
void RefreshBothLists();
