#pragma once
// What the console program reaches of its console and its process, handed to the front end as
// functions so that the front end stays portable and a test can stand in for the console.

#include <functional>
#include <string>
#include <vector>

namespace cli {

struct Console {
  bool inputIsConsole = false;   // a person can type an answer
  bool outputIsConsole = false;  // progress lines are redrawn in place
  // Moves the cursor to the start of the line the given number of lines above. Given, each
  // running target keeps a progress line of its own below the log; absent, they share one.
  std::function<void(int lines)> lineUp;
  int columns = 80;  // the console's width: a redrawn line must not wrap
  std::function<bool(std::string* line)> readLine;  // false at the end of input
  std::function<void(const std::string& text)> out;  // standard output, as given
  std::function<void(const std::string& text)> err;  // standard error, as given
  // Called once when every run has ended and its record is saved: a console being closed may
  // end the process from then on.
  std::function<void()> runsEnded;
};

// Set by the console's Ctrl+C, Ctrl+Break and close handler (any thread); read by the runs'
// event pump, which cancels every run as the Cancel button does.
void SignalCancel();
bool CancelSignalled();

// The whole program after its command line was read into UTF-8 arguments: the exit code.
int RunConsoleProgram(const std::string& programName, const std::vector<std::string>& args, const Console& console);

}  // namespace cli
