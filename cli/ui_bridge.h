#pragma once
// Where the console program's windows port (ui/console) sends what a run shows: the log lines,
// the progress caption, bar and values, the event pump, and the boxes the run reads.

#include <string>

namespace cli::bridge {

void LogLine(const std::string& line);
void Caption(const std::string& text);
void Speed(const std::string& text);
void TimeLeft(const std::string& text);
void Bar(int percent);
void Pump();           // a Ctrl+C becomes the Cancel button here
bool FormatWanted();   // --format, for a volume
bool VerifyWanted();   // not --no-verify

}  // namespace cli::bridge
