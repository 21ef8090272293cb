#include "wipe/sanitize_run.h"

#include <algorithm>

#include "devices/disk_sanitize.h"
#include "devices/inventory.h"
#include "wipe/progress.h"
#include "wipe/run_end.h"
#include "wipe/sampling.h"

namespace {

constexpr std::uint32_t kLookMs = 250;
// A disk that still reports no end after a day is not going to: the run stops waiting for it.
constexpr std::uint32_t kLongestWaitMs = 24u * 3600u * 1000u;
constexpr std::uint32_t kProbeBytes = 4096;
// A disk that answered its status log and then answers nothing for this long has gone (pulled
// out, or its power cut); it goes on with the sanitize by itself once it is powered again.
constexpr std::uint32_t kLongestSilenceMs = 60u * 1000u;

// The disk as the samples see it: its length and sector size, whichever answer gives them.
struct DiskShape {
  std::uint64_t bytes = 0;
  std::uint32_t sectorBytes = 512;
};

DiskShape ShapeOf(const platform::Device& disk, const Target& target) {
  DiskShape shape;
  platform::DiskGeometry geometry;
  std::uint64_t size = 0;
  if (platform::QueryDriveGeometryEx(disk, &geometry, &size) && size != 0) {
    shape.bytes = size;
    if (geometry.bytesPerSector != 0) shape.sectorBytes = geometry.bytesPerSector;
  } else if (!platform::QueryLengthInfo(disk, &shape.bytes) || shape.bytes == 0) {
    shape.bytes = target.sizeBytes;
  }
  return shape;
}

std::uint32_t EstimateSeconds(const platform::SanitizeStatus& status, platform::SanitizeAction action) {
  return action == platform::SanitizeAction::CryptoErase ? status.cryptoEraseSeconds : status.blockEraseSeconds;
}

// One run's reading of its samples, before or after, with the bar and the pump; false when the
// user cancelled it.
bool ReadSamplesShown(RunContext& context, const platform::Device& disk, const std::vector<SampleSpot>& spots,
                      const std::string& caption, std::vector<SamplePrint>* prints) {
  context.SetCaption(caption);
  context.SetBar(0);
  return ReadSamples(disk, spots, prints, [&context](std::uint64_t done, std::uint64_t total) {
    context.SetBar(total == 0 ? 100 : static_cast<int>(done * 100 / total));
    context.Pump();
    return !context.CancelRequested();
  });
}

// How the wait for the disk ended.
enum class DiskEnd { Refused, Succeeded, Failed, Silent, Gone, TimedOut };

class SanitizeWatch {
 public:
  SanitizeWatch(RunContext& context, const platform::Device& disk, const std::string& diskPath,
                platform::SanitizeAction action, std::uint32_t estimateSeconds, bool keepsStatus)
      : context_(context),
        diskPath_(diskPath),
        estimateSeconds_(estimateSeconds),
        keepsStatus_(keepsStatus),
        started_(platform::TickCount()),
        lastAnswer_(started_) {
    command_ = platform::StartSanitize(disk, action);
  }

  // Looks at the control and the disk until the disk is done with the command, keeping the
  // window alive. *error: the code of a refused command.
  DiskEnd Wait(std::uint32_t* error) {
    bool returned = false;
    bool accepted = false;
    for (;;) {
      if (!returned) returned = platform::SanitizeReturned(command_, &accepted, error);
      if (returned && !accepted) return DiskEnd::Refused;
      platform::SanitizeStatus status;
      std::uint32_t queryError = 0;
      // A handle of its own for every look: the worker's control holds the run's handle, and
      // Windows lets one synchronous request at a time through a handle.
      const bool known = platform::QuerySanitizeStatus(
          platform::OpenDevice(diskPath_, platform::Access::QueryOnly), &status, &queryError);
      if (known) lastAnswer_ = platform::TickCount();
      if (keepsStatus_ && platform::TickCount() - lastAnswer_ >= kLongestSilenceMs) return DiskEnd::Gone;
      if (returned) {
        if (known && status.state == platform::SanitizeState::Succeeded) return DiskEnd::Succeeded;
        if (known && status.state == platform::SanitizeState::Failed) return DiskEnd::Failed;
        // A disk that keeps no status log tells its end only by answering reads again.
        if ((!known || status.state == platform::SanitizeState::NeverSanitized) && Answers()) return DiskEnd::Silent;
      }
      if (Elapsed() >= kLongestWaitMs) return DiskEnd::TimedOut;
      Show(known && status.state == platform::SanitizeState::InProgress ? &status : nullptr);
      context_.Pump();
      platform::SleepMs(kLookMs);
    }
  }

 private:
  std::uint32_t Elapsed() const { return platform::TickCount() - started_; }

  bool Answers() const {
    const platform::Device disk = platform::OpenDevice(diskPath_, platform::Access::Read);
    std::vector<std::uint8_t> sector(kProbeBytes);
    return disk && platform::ReadDevice(disk, sector.data(), kProbeBytes) == kProbeBytes;
  }

  // The bar follows the disk's own count where it gives one, else the time against its
  // estimate, else it only shows that the disk works.
  void Show(const platform::SanitizeStatus* status) {
    const std::uint32_t seconds = Elapsed() / 1000;
    context_.SetValue(ProgressValue::Elapsed, DurationText(seconds));
    const bool estimated = estimateSeconds_ != platform::kNoEstimate && estimateSeconds_ != 0;
    if (estimated) {
      context_.SetValue(ProgressValue::TimeLeft, DurationText(estimateSeconds_ > seconds ? estimateSeconds_ - seconds : 0));
    }
    if (status != nullptr) {
      context_.SetBar(SanitizePercent(*status));
    } else if (estimated) {
      context_.SetBar(static_cast<int>(std::min<std::uint64_t>(99, std::uint64_t{seconds} * 100 / estimateSeconds_)));
    } else {
      context_.ShowActivity();
    }
  }

  RunContext& context_;
  std::string diskPath_;
  std::uint32_t estimateSeconds_;
  bool keepsStatus_;
  std::uint32_t started_;
  std::uint32_t lastAnswer_;
  platform::SanitizeCommand command_ = platform::kNoSanitizeCommand;
};

bool Failed(RunContext& context, const RunEndSteps& steps, const std::string& line, const std::string& reason) {
  context.Log(line);
  NoteRunFailed(reason, &context.result);
  context.ShowFailed();
  return EndUnsuccessful(context, steps, false, &context.result);
}

// The samples' verdict, logged and kept for the report. True when none kept its content.
bool NoteSamples(RunContext& context, const std::vector<SampleSpot>& spots, const std::vector<SamplePrint>& before,
                 const std::vector<SamplePrint>& after, const DiskShape& shape, const Target& target,
                 std::uint64_t seed) {
  const SampleComparison comparison = CompareSamples(spots, before, after);
  SanitizeFacts& facts = context.result.sanitize;
  facts.samples = comparison.samples;
  facts.sampledBytes = comparison.sampledBytes;
  facts.constantSamples = comparison.constant;
  facts.unchangedSamples = comparison.unchanged;
  facts.verified = comparison.Passed();
  const std::string line = SampleVerificationLine(comparison, shape.bytes, "disk " + std::to_string(target.diskNumber));
  context.Log(line);
  VerificationFacts& verification = context.result.verification;
  verification.method = "samples read before and after the sanitize and compared (plan seed " + std::to_string(seed) + ")";
  verification.result = line.substr(line.find(": ") + 2);
  return comparison.Passed();
}

}  // namespace

bool SanitizeHeldDisk(RunContext& context, const Target& target, const platform::Device& disk,
                      const std::function<void()>& release) {
  RunResult& result = context.result;
  const std::string number = std::to_string(target.diskNumber);
  RunEndSteps steps;
  steps.subject = "Disk " + number;
  steps.release = release;
  steps.afterSuccess = [&context] { AdviseOnPartitioning(context); };
  result.started = platform::LocalTimeNow();
  result.ended = result.started;

  // Asked again through the run's own handle: the disk may have changed since the command.
  const DiskSanitize offered = ReadDiskSanitize(disk);
  const std::string refusal = SanitizeRefusal(target.diskNumber, offered);
  if (!refusal.empty()) {
    context.Refused();
    context.Log(refusal);
    NoteRunFailed("the disk offers no sanitize that can be sent", &result);
    return EndUnsuccessful(context, steps, false, &context.result);
  }
  const platform::SanitizeAction action = ChosenAction(offered);
  const DiskShape shape = ShapeOf(disk, target);
  result.bytesPerPass = shape.bytes;

  const bool sampling = context.Chosen(RunChoice::Verify);
  const std::uint64_t seed = (std::uint64_t{platform::TickCount()} << 8) ^ static_cast<std::uint64_t>(target.diskNumber);
  const std::vector<SampleSpot> spots = sampling ? PlanSamples(shape.bytes, shape.sectorBytes, seed) : std::vector<SampleSpot>();
  std::vector<SamplePrint> before;
  if (sampling &&
      !ReadSamplesShown(context, disk, spots, "  Reading samples of disk" + number + " before the sanitize . . .", &before)) {
    // Nothing was sent to the disk: it holds what it held.
    result.outcome = RunOutcome::Cancelled;
    result.ended = platform::LocalTimeNow();
    context.Log("User canceled.");
    return EndUnsuccessful(context, steps, false, &context.result);
  }

  context.SetCaption("  Sanitizing disk" + number + " with its own " + ActionText(action) + " . . .");
  context.SetBar(0);
  context.AllowCancel(false, "A sanitize cannot be stopped.");
  result.startedWriting = true;
  result.sanitize.tried = true;
  result.sanitize.action = action;
  std::uint32_t error = 0;
  SanitizeWatch watch(context, disk, DiskDevicePath(target.diskNumber), action,
                      offered.statusKnown ? EstimateSeconds(offered.status, action) : platform::kNoEstimate,
                      offered.statusKnown);
  const DiskEnd end = watch.Wait(&error);
  context.AllowCancel(true, "");
  // The disk's own erase stands for the passes: the report's end of the passes is its end.
  result.passesEnded = result.ended = platform::LocalTimeNow();
  result.sanitize.sent = end != DiskEnd::Refused;
  result.sanitize.error = error;
  switch (end) {
    case DiskEnd::Refused:
      return Failed(context, steps,
                    "Disk " + number + " refused the sanitize command (error " + std::to_string(error) + "); nothing was erased.",
                    "the disk refused the sanitize command (error " + std::to_string(error) + ")");
    case DiskEnd::Failed:
      return Failed(context, steps,
                    "Disk " + number + " reports that its sanitize failed; part of it may be erased. Only a new " +
                        kSanitizeBoxText + " can erase it now.",
                    "the disk reported that its sanitize failed");
    case DiskEnd::Gone:
      return Failed(context, steps,
                    "Disk " + number + " stopped answering during its sanitize; once powered again it carries the "
                    "sanitize on by itself.",
                    "the disk stopped answering during its sanitize");
    case DiskEnd::TimedOut:
      return Failed(context, steps, "Disk " + number + " did not report the end of its sanitize within 24 hours.",
                    "the disk did not report the end of its sanitize");
    case DiskEnd::Silent:
      context.Log("Disk " + number + " keeps no sanitize status; it answers reads again, so its sanitize has ended.");
      break;
    case DiskEnd::Succeeded:
      break;
  }
  result.sanitize.finished = true;
  result.outcome = RunOutcome::Succeeded;
  if (sampling) {
    std::vector<SamplePrint> after;
    if (!ReadSamplesShown(context, disk, spots, "  Reading samples of disk" + number + " after the sanitize . . .", &after)) {
      result.verification.method = "samples read before and after the sanitize";
      result.verification.result = "cancelled by the user; the sanitize itself is complete";
    } else if (!NoteSamples(context, spots, before, after, shape, target, seed)) {
      result.ended = platform::LocalTimeNow();
      return Failed(context, steps,
                    "Disk " + number + " reported its sanitize done, but the samples show that it did not erase everything.",
                    "samples read after the sanitize still hold their former content or could not be read");
    }
  }
  result.ended = platform::LocalTimeNow();
  return EndSuccessful(context, steps, {"Disk " + number + " sanitized by its own " + ActionText(action) + "."},
                       &result);
}
