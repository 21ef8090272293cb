#pragma once
// The message log: one time-stamped line per event, in the log window TForm2.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/ui.h"

struct AnchorPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
};
extern AnchorPoint LogAnchor;  // set by FormActivate; (0, 0) until the main window is active

// "[h:m s.cs] : text", numbers without leading zeros, a blank between minutes and seconds.
std::string ComposeLogLine(const platform::LocalTime& time, const std::string& text);
// Where a hidden log window opens for this anchor: 525 left of it and 195 above at the design's
// 96 dots per inch, as much more as the window is larger at the screen's, then moved into the
// work area so that the whole window is on the screen (its top-left corner first).
void LogWindowPlace(AnchorPoint anchor, const ui::LogScreen& screen, int* left, int* top);
// Shows the line in the log window and returns it as shown.
std::string LogMessage(const std::string& text);

// The lines logged from BeginRunLog on (the first call, when it is called again before
// EndRunLog), time stamps included, until EndRunLog hands them over:
// the erasure report's copy of what a run said.
void BeginRunLog();
std::vector<std::string> EndRunLog();
