#include "wipe/progress.h"

std::uint32_t SecondsOfDay(const platform::LocalTime& time) {
  return static_cast<std::uint32_t>(time.hour * 3600 + time.minute * 60 + time.second);
}

std::uint32_t ElapsedSeconds(std::uint32_t start, std::uint32_t now) {
  return now < start ? now + kSecondsPerDay - start : now - start;
}

std::string DurationText(std::uint32_t seconds) {
  return std::to_string(seconds / 3600) + "h" + std::to_string(seconds % 3600 / 60) + "m" +
         std::to_string(seconds % 60) + "s";
}

int PassPercent(std::uint32_t block, std::uint32_t blockCount) {
  if (blockCount == 0) return 0;
  // 64-bit: block * 100 overflows 32 bits on disks beyond 40 TiB.
  return static_cast<int>(static_cast<std::uint64_t>(block) * 100 / blockCount);
}

std::string AmountText(std::uint32_t block, const std::string& capacityText) {
  return std::to_string(block) + " MB/" + capacityText;
}

std::string SpeedText(std::uint32_t mibPerSecond) { return std::to_string(mibPerSecond) + " MB/S"; }

std::uint32_t PassSpeed(std::uint32_t blocksWritten, std::uint32_t elapsed) {
  return blocksWritten / elapsed;
}

std::uint32_t PassTimeLeft(std::uint32_t blocksInPass, std::uint32_t speed, std::uint32_t elapsed) {
  // The speed is a whole number truncated down, so a pass can outlast its estimate; unsigned
  // arithmetic would then show some billion seconds instead of none.
  const std::uint32_t estimate = blocksInPass / speed;
  return estimate > elapsed ? estimate - elapsed : 0;
}
