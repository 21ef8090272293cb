#pragma once
// The runs of one call: one thread and one run context per target, at most --parallel at once.
// Every run's log lines and progress go to one view of the call, which prints them the way of
// the console, of a file, or as JSON Lines.

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console.h"
#include "devices/target.h"
#include "report/machine_readable.h"
#include "resume/breakpoint.h"

namespace cli {

enum class OutputStyle { Console, Plain, Json };

struct RunTarget {
  Target target;            // as named and confirmed, with its disk's identity
  std::string name;         // "E:", "disk1"
  BreakpointValues record;  // resume: the record it goes on from
};

// Runs every target (resume: from its record), saves each run's report into its folder, and
// gives each target's report and result, in the order of the targets. A Ctrl+C cancels the
// runs under way and starts no other.
std::vector<SummaryEntry> RunTargets(const std::vector<RunTarget>& targets, bool resume, const Arguments& arguments,
                                     const Console& console, OutputStyle style);
// A line of the windows' log made on a run's thread (the format after a wipe logs so) goes to
// that run, with its target; false when no run logs on this thread.
bool LoggedByARun(const std::string& line);

}  // namespace cli
