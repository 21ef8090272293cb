#include "wipe/pass_display.h"

#include "devices/text_field.h"
#include "platform/platform.h"
#include "wipe/engine.h"
#include "wipe/progress.h"

namespace {

void DrawBlockProgress(PassDisplay* display, std::uint32_t block) {
  const WipeTarget& target = display->target;
  RunContext& context = target.context;
  context.SetBar(PassPercent(block, target.blockCount));
  context.SetValue(ProgressValue::Amount, AmountText(block, FieldText(*target.capacityText)));
  const std::uint32_t elapsed = ElapsedSeconds(display->passStart, SecondsOfDay(platform::LocalTimeNow()));
  std::uint32_t* speed = display->speed;
  if (elapsed != 0) {
    *speed = PassSpeed(block - display->firstBlock, elapsed);
    context.SetValue(ProgressValue::Speed, SpeedText(*speed));
  }
  context.SetValue(ProgressValue::Elapsed, DurationText(elapsed));
  if (*speed > 0) {
    context.SetValue(ProgressValue::TimeLeft,
                         DurationText(PassTimeLeft(target.blockCount - display->firstBlock, *speed, elapsed)));
  }
  display->drawnAtTick = platform::TickCount();
  display->owed = false;
}

}  // namespace

// The window comes back at every block when the user closed it; the values only when due.
void ShowBlockProgress(PassDisplay* display, std::uint32_t block) {
  display->target.context.ShowProgress();
  const bool due = block == display->firstBlock || block + 1 == display->target.blockCount ||
                   platform::TickCount() - display->drawnAtTick >= kDrawIntervalMs;
  if (due) {
    DrawBlockProgress(display, block);
    return;
  }
  display->owed = true;
  display->owedBlock = block;
}

// A loop that stops early leaves the window at the last block it reached.
void ShowStoppedProgress(PassDisplay* display) {
  if (display->owed) DrawBlockProgress(display, display->owedBlock);
}

