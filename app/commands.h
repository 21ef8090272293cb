#pragma once
// The "Wipe it now" command and the start-up checks.

void WipeCommand();
bool IsNtPlatform();
void StartupChecks();
