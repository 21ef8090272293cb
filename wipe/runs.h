#pragma once
// The run: one method over one target, fresh or resumed from its record. The same path for a
// volume and a disk; they differ in how the target is secured and let go, and in the end
// (wipe/run_end.h).

#include "devices/target.h"
#include "wipe/run_context.h"

struct BreakpointValues;

// Clears the context's cancel request, secures and opens the target, writes the passes,
// verifies and ends the run; everything it did is in context.result. resumePoint: the record a
// resumed run goes on from, nullptr for a fresh run. True when it reached the end of its last
// pass without being cancelled and without more than 10 consecutive failed block writes, and
// its end succeeded.
bool WipeRun(RunContext& context, const Target& target, const BreakpointValues* resumePoint, int methodId);
