#include "wipe/run_end.h"

#include "resume/breakpoint.h"
#include "wipe/block_writer.h"
#include "wipe/verify.h"

namespace {

// What vouches for the blocks that the run this one resumed wrote before block startBlock.
EarlierBlocks EarlierBlocksOf(const RunResult& result, const Verification* verification) {
  if (!result.resumed || result.startBlock == 0) return EarlierBlocks::None;
  for (const PassFacts& pass : result.passes) {
    if (pass.pass > result.firstPass && pass.completed) return EarlierBlocks::Overwritten;
  }
  const bool readBack = verification != nullptr && verification->unverifiableBytes == 0 &&
                        (verification->outcome == VerifyOutcome::Verified || verification->outcome == VerifyOutcome::Failed);
  return readBack ? EarlierBlocks::ReadBackRight : EarlierBlocks::NotReadBack;
}

// Why a run read nothing back, which the report tells apart from a check that was made.
void NoteNoVerification(RunContext& context, RunResult* result) {
  switch (result->outcome) {
    case RunOutcome::Cancelled:
      result->verification.result = "not performed: the run was cancelled before it";
      return;
    case RunOutcome::Failed:
      result->verification.result = "not performed: the run failed before it";
      return;
    case RunOutcome::Succeeded:
      break;
  }
  if (!context.Chosen(RunChoice::Verify)) result->verification.result = "not performed: \"Verify after wipe\" was off";
}

}  // namespace

bool EndUnsuccessful(RunContext& context, const RunEndSteps& steps, bool aborted, RunResult* result) {
  steps.release();
  if (aborted) LogWipeAborted(context);
  context.TargetsChanged();
  result->ended = platform::LocalTimeNow();
  return false;
}

bool EndSuccessful(RunContext& context, const RunEndSteps& steps, const std::vector<std::string>& lines,
                   RunResult* result) {
  steps.release();
  for (const std::string& line : lines) context.Log(line);
  steps.afterSuccess();
  context.TargetsChanged();
  result->ended = platform::LocalTimeNow();
  if (context.Chosen(RunChoice::Shutdown)) context.Shutdown();
  return true;
}

bool FinishRun(const WipeMethod& method, const WipeTarget& target, const RunEndSteps& steps, RunResult* result) {
  RunContext& context = target.context;
  result->earlierBlocks = EarlierBlocksOf(*result, nullptr);
  if (result->outcome == RunOutcome::Succeeded &&
      !RemoveBreakpointDurably(context, *target.device, &result->lastPass.recordRemoved)) {
    NoteRunFailed(kRecordNotRemoved, result);
  }
  switch (result->outcome) {
    case RunOutcome::Cancelled:
      // The record stays at the start of the target, so the wipe can be resumed.
      context.Log("User canceled.");
      NoteNoVerification(context, result);
      return EndUnsuccessful(context, steps, false, result);
    case RunOutcome::Failed:
      context.ShowFailed();
      NoteNoVerification(context, result);
      return EndUnsuccessful(context, steps, true, result);
    case RunOutcome::Succeeded:
      break;
  }
  if (VerificationWanted(context, result->lastPass)) {
    const Verification verification = VerifyLastPass(method, target, result->lastPass, steps.verifyCaption);
    NoteVerification(verification, result->lastPass, result);
    result->earlierBlocks = EarlierBlocksOf(*result, &verification);
    // The record is back at the start of the target: the wipe can be resumed.
    if (verification.outcome == VerifyOutcome::Failed) return EndUnsuccessful(context, steps, true, result);
  } else {
    NoteNoVerification(context, result);
  }
  std::vector<std::string> lines{SuccessLine(steps.subject, result->unwrittenBytes)};
  if (result->earlierBlocks == EarlierBlocks::NotReadBack) lines.push_back(EarlierBlocksLine(result->startBlock));
  return EndSuccessful(context, steps, lines, result);
}

void NoteRunFailed(const std::string& reason, RunResult* result) {
  result->outcome = RunOutcome::Failed;
  result->failureReason = reason;
}

std::string SuccessLine(const std::string& subject, std::uint64_t unwrittenBytes) {
  if (unwrittenBytes == 0) return subject + " wiped successfully.";
  const std::uint64_t mib = (unwrittenBytes + kBlockSize - 1) / kBlockSize;
  return subject + " wiped, but " + std::to_string(mib) + " MB could not be overwritten.";
}

bool RemoveBreakpointDurably(RunContext& context, const platform::Device& device, bool* removed) {
  // A record left behind lists the device as resumable: the run cannot call it wiped.
  return FlushToMedia(context, device) && RemoveBreakpoint(device, context, removed) && FlushToMedia(context, device);
}

std::string EarlierBlocksLine(std::uint32_t startBlock) {
  return std::string(startBlock == 1 ? "Block 0 was" : "Blocks 0 to " + std::to_string(startBlock - 1) + " were") +
         " written by the interrupted run this one resumed, and not read back since: what that run could not "
         "overwrite is listed in its own report.";
}

void AdviseOnPartitioning(RunContext& context) {
  context.Log("You can partition and format the disk in Control panel->");
  context.Log("Administrator's tool->Computer management->Disk management.");
}

void LogWipeAborted(RunContext& context) {
  context.Log("Please check drive connections.");
  context.Log("Wipe aborted!");
}
