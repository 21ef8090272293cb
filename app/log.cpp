#include "app/log.h"

#include "ui/ui.h"

AnchorPoint LogAnchor;

namespace {
bool RunLogOpen = false;
std::vector<std::string> RunLogLines;
}  // namespace

std::string ComposeLogLine(const platform::LocalTime& time, const std::string& text) {
  return "[" + std::to_string(time.hour) + ":" + std::to_string(time.minute) + " " +
         std::to_string(time.second) + "." + std::to_string(time.milliseconds / 10) + "s] : " + text;
}

void LogWindowPlace(AnchorPoint anchor, int* left, int* top) {
  *left = anchor.X - 525;
  *top = anchor.Y - 195;
  if (*left < 0) *left = 0;
  if (*top < 0) *top = 0;
}

std::string LogMessage(const std::string& text) {
  // A visible log window stays where the user left it; a hidden one reopens by the anchor.
  if (!ui::LogVisible()) {
    int left = 0;
    int top = 0;
    LogWindowPlace(LogAnchor, &left, &top);
    ui::ShowLogAt(left, top);
  }
  const std::string line = ComposeLogLine(platform::LocalTimeNow(), text);
  ui::AppendLogLine(line);
  if (RunLogOpen) RunLogLines.push_back(line);
  return line;
}

void BeginRunLog() {
  RunLogLines.clear();
  RunLogOpen = true;
}

std::vector<std::string> EndRunLog() {
  RunLogOpen = false;
  std::vector<std::string> lines;
  lines.swap(RunLogLines);
  return lines;
}
