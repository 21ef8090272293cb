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

namespace {

int ScaledOffset(int designPixels, int dpi) { return dpi <= 0 ? designPixels : (designPixels * dpi + 48) / 96; }

// Past the far edge first, then the near edge: a window larger than the area keeps its
// top-left corner (and its caption) on the screen.
int Clamped(int at, int size, int nearEdge, int farEdge) {
  if (farEdge > nearEdge && at + size > farEdge) at = farEdge - size;
  return at < nearEdge ? nearEdge : at;
}

}  // namespace

void LogWindowPlace(AnchorPoint anchor, const ui::LogScreen& screen, int* left, int* top) {
  *left = Clamped(anchor.X - ScaledOffset(525, screen.dpi), screen.width, screen.workLeft, screen.workRight);
  *top = Clamped(anchor.Y - ScaledOffset(195, screen.dpi), screen.height, screen.workTop, screen.workBottom);
}

std::string LogMessage(const std::string& text) {
  // A visible log window stays where the user left it; a hidden one reopens by the anchor.
  if (!ui::LogVisible()) {
    int left = 0;
    int top = 0;
    LogWindowPlace(LogAnchor, ui::LogScreenNow(), &left, &top);
    ui::ShowLogAt(left, top);
  }
  const std::string line = ComposeLogLine(platform::LocalTimeNow(), text);
  ui::AppendLogLine(line);
  if (RunLogOpen) RunLogLines.push_back(line);
  return line;
}

void BeginRunLog() {
  // A command that began keeping lines before its questions keeps them for its run.
  if (RunLogOpen) return;
  RunLogLines.clear();
  RunLogOpen = true;
}

std::vector<std::string> EndRunLog() {
  RunLogOpen = false;
  std::vector<std::string> lines;
  lines.swap(RunLogLines);
  return lines;
}
