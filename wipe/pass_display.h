#pragma once
// The progress window of a pass or a verification. Every label and the bar repaint the window,
// which under load costs more than writing or reading the block: so the values are drawn at
// most every kDrawIntervalMs, and always for the first and the last block and for the block a
// stopped pass or read-back ended at. Whatever is shown is what some block's values are, by the
// arithmetic of wipe/progress.h. Events are the loop's own business: it pumps them every block.

#include <cstdint>

struct WipeTarget;

inline constexpr std::uint32_t kDrawIntervalMs = 100;

struct PassDisplay {
  const WipeTarget& target;
  std::uint32_t firstBlock;
  std::uint32_t passStart;  // t0, seconds of the day
  std::uint32_t* speed;     // v: a run keeps it from one pass to the next
  std::uint32_t drawnAtTick = 0;
  bool owed = false;        // a block went by without being drawn
  std::uint32_t owedBlock = 0;
};
// Before block `block`: the window comes back when the user closed it; the values when due.
void ShowBlockProgress(PassDisplay* display, std::uint32_t block);
// A loop that stops early leaves the window at the last block it reached.
void ShowStoppedProgress(PassDisplay* display);
