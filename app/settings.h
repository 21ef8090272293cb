#pragma once
// setting.bin (50 bytes next to the executable; byte 0: 0xFF = sound disabled; byte 1: 0xFF =
// no verification after a wipe) and the sounds.

#include <string>

#include "platform/platform.h"

bool LoadSettings();
bool SaveSettings();
using platform::FileNextToExecutable;

inline constexpr int CueWarning = 0;  // "warning.wav"
inline constexpr int CueDing = 1;     // "ding.wav"
inline constexpr int CueFinish = 2;   // "finish.wav"
void PlayCue(int cue);
