// The facts a run hands to the erasure report, taken from what its passes did.
#include "wipe/runs.h"

namespace {

void RecordPasses(const RunStart& start, const WipeTarget& target, const RunReport& report,
                  RunFacts* facts) {
  facts->resumed = start.resume;
  facts->firstPass = start.firstPass;
  facts->startBlock = start.startBlock;
  facts->bytesPerPass = static_cast<std::uint64_t>(target.blockCount) * kBlockSize + target.tailBytes;
  facts->outcome = report.outcome;
  facts->failureReason = report.failureReason;
  facts->passes = report.passes;
  facts->unwrittenBytes = report.unwrittenBytes;
  facts->unwrittenBlocks = report.unwrittenBlocks;
  facts->ended = platform::LocalTimeNow();
}

}  // namespace

RunReport WritePassesOfRun(const WipeMethod& method, const WipeTarget& target, bool resume,
                           std::uint8_t* buffer, RunFacts* facts) {
  const RunStart start = StartOfRun(resume, method);
  if (facts != nullptr) {
    facts->startedWriting = true;
    facts->started = platform::LocalTimeNow();
  }
  RunReport report = WritePasses(method, target, start, buffer);
  if (facts != nullptr) RecordPasses(start, target, report, facts);
  return report;
}

void NoteRunFailed(const std::string& reason, RunFacts* facts) {
  if (facts == nullptr) return;
  facts->outcome = RunOutcome::Failed;
  facts->failureReason = reason;
}
