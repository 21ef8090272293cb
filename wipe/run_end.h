#pragma once
// The end of a run, the same state machine for a volume and a disk: the record removed after a
// successful run, the outcome's lines, the verification, the target let go, the lists
// refreshed, the format step and the shutdown.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "wipe/engine.h"
#include "wipe/run_context.h"

// What differs between the ends of a volume's run and a disk's.
struct RunEndSteps {
  std::string subject;                   // "Drive E:", "Disk 1": of the success line
  std::string verifyCaption;             // "  Verifying drive E: . . ."
  std::function<void()> release;         // lets the target go; before the outcome's last lines
  // Right after the success line: a volume's format step, a disk's advice on partitioning.
  std::function<void()> afterSuccess;
};

// Ends the run whose passes left *result as they went. True when it succeeded.
bool FinishRun(const WipeMethod& method, const WipeTarget& target, const RunEndSteps& steps, RunResult* result);

// "Drive E: wiped successfully." or, when something could not be written,
// "Drive E: wiped, but 3 MB could not be overwritten." (MB rounded up).
std::string SuccessLine(const std::string& subject, std::uint64_t unwrittenBytes);
// The end of a successful run: what it wrote is on the media before the record goes, and the
// removal is on the media before the run reports success. False (logged) when a flush failed
// or the record could not be read or replaced: the run then ends as failed. *removed
// (optional): a record was there and was replaced.
bool RemoveBreakpointDurably(RunContext& context, const platform::Device& device, bool* removed = nullptr);
// After the success line of a resumed run when nothing of it read back the blocks below its
// resume point: "Blocks 0 to 13 were written by the interrupted run this one resumed, ...".
std::string EarlierBlocksLine(std::uint32_t startBlock);
void LogWipeAborted(RunContext& context);  // "Please check drive connections.", "Wipe aborted!"

// The last steps of a run whose outcome is decided, whatever erased the target. Unsuccessful:
// the target let go, the aborted lines when asked, the lists anew; false. Successful: the
// target let go, the success lines (the success line first) and what follows them, the lists
// anew, the shutdown when chosen; true.
bool EndUnsuccessful(RunContext& context, const RunEndSteps& steps, bool aborted, RunResult* result);
bool EndSuccessful(RunContext& context, const RunEndSteps& steps, const std::vector<std::string>& lines,
                   RunResult* result);
// The two lines after a disk's success: where to partition and format it again.
void AdviseOnPartitioning(RunContext& context);
