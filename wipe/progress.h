#pragma once
// The progress window's arithmetic, per pass. Counts are in blocks of 1 MiB ("MB" in the
// texts), times in whole seconds of the local time of day.

#include <cstdint>
#include <string>

#include "platform/platform.h"

inline constexpr std::uint32_t kSecondsPerDay = 86400;

std::uint32_t SecondsOfDay(const platform::LocalTime& time);
// now - start, corrected for one passage of midnight.
std::uint32_t ElapsedSeconds(std::uint32_t start, std::uint32_t now);
// "1h2m3s": plain decimals, no leading zeros.
std::string DurationText(std::uint32_t seconds);
// Position of the bar: block k of n as a whole percentage.
int PassPercent(std::uint32_t block, std::uint32_t blockCount);
// "k MB/<size text>"
std::string AmountText(std::uint32_t block, const std::string& capacityText);
// "v MB/S"
std::string SpeedText(std::uint32_t mibPerSecond);
// Whole MiB per second over the blocks written since the pass started; elapsed must not be 0.
std::uint32_t PassSpeed(std::uint32_t blocksWritten, std::uint32_t elapsed);
// The pass's length from its start block at that speed, less the time already spent (unsigned
// arithmetic as the display has always done it); speed must not be 0.
std::uint32_t PassTimeLeft(std::uint32_t blocksInPass, std::uint32_t speed, std::uint32_t elapsed);
