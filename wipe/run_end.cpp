#include "wipe/run_end.h"

#include "resume/breakpoint.h"
#include "wipe/block_writer.h"
#include "wipe/verify.h"

namespace {

// A way out before the success lines: the target let go, the last lines, the lists anew.
bool EndUnsuccessful(RunContext& context, const RunEndSteps& steps, bool aborted) {
  steps.release();
  if (aborted) LogWipeAborted(context);
  context.TargetsChanged();
  return false;
}

}  // namespace

bool FinishRun(const WipeMethod& method, const WipeTarget& target, const RunEndSteps& steps, RunResult* result) {
  RunContext& context = target.context;
  if (result->outcome == RunOutcome::Succeeded &&
      !RemoveBreakpointDurably(context, *target.device, &result->lastPass.recordRemoved)) {
    NoteRunFailed(kRecordNotRemoved, result);
  }
  switch (result->outcome) {
    case RunOutcome::Cancelled:
      // The record stays at the start of the target, so the wipe can be resumed.
      context.Log("User canceled.");
      return EndUnsuccessful(context, steps, false);
    case RunOutcome::Failed:
      context.ShowFailed();
      return EndUnsuccessful(context, steps, true);
    case RunOutcome::Succeeded:
      break;
  }
  if (VerificationWanted(context, result->lastPass)) {
    const Verification verification = VerifyLastPass(method, target, result->lastPass, steps.verifyCaption);
    NoteVerification(verification, result->lastPass, result);
    // The record is back at the start of the target: the wipe can be resumed.
    if (verification.outcome == VerifyOutcome::Failed) return EndUnsuccessful(context, steps, true);
  }
  steps.release();
  context.Log(SuccessLine(steps.subject, result->unwrittenBytes));
  steps.afterSuccess();
  context.TargetsChanged();
  if (context.Chosen(RunChoice::Shutdown)) context.Shutdown();
  return true;
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

void LogWipeAborted(RunContext& context) {
  context.Log("Please check drive connections.");
  context.Log("Wipe aborted!");
}
