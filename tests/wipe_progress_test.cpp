// The progress window's arithmetic: elapsed time across midnight, the h/m/s form, the bar,
// the speed and the time left.
#include <gtest/gtest.h>

#include "wipe/progress.h"

namespace {

platform::LocalTime At(int hour, int minute, int second) {
  platform::LocalTime time;
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  time.milliseconds = 999;  // whole seconds only
  return time;
}

TEST(WipeProgress, ElapsedTimeAcrossMidnight) {
  struct Case {
    platform::LocalTime start;
    platform::LocalTime now;
    std::uint32_t elapsed;
    const char* text;
  };
  const Case cases[] = {
      {At(23, 59, 50), At(0, 0, 5), 15, "0h0m15s"},
      {At(12, 0, 0), At(12, 0, 0), 0, "0h0m0s"},
      {At(10, 0, 0), At(11, 1, 1), 3661, "1h1m1s"},
      {At(0, 0, 1), At(0, 0, 0), 86399, "23h59m59s"},  // a pass of almost a day, once round
      {At(8, 30, 0), At(8, 29, 0), 86340, "23h59m0s"},
  };
  for (const Case& c : cases) {
    const std::uint32_t elapsed = ElapsedSeconds(SecondsOfDay(c.start), SecondsOfDay(c.now));
    EXPECT_EQ(elapsed, c.elapsed);
    EXPECT_EQ(DurationText(elapsed), c.text);
  }
}

TEST(WipeProgress, TextsAndArithmetic) {
  EXPECT_EQ(DurationText(100 * 3600 + 5), "100h0m5s");
  EXPECT_EQ(SpeedText(0), "0 MB/S");
  EXPECT_EQ(AmountText(37, "74.5 GB"), "37 MB/74.5 GB");
  EXPECT_EQ(PassPercent(0, 0), 0);
  EXPECT_EQ(PassPercent(37, 100), 37);
  EXPECT_EQ(PassPercent(199, 200), 99);
  // 50 million blocks (a 48 TiB disk): block * 100 must not wrap at 32 bits.
  EXPECT_EQ(PassPercent(45000000, 50000000), 90);
  // The speed counts whole MiB per second since the pass began, truncated.
  EXPECT_EQ(PassSpeed(10, 3), 3u);
  EXPECT_EQ(PassSpeed(2, 3), 0u);
  // 200 blocks of a pass at 3 MiB/s take 66 s; 20 s are gone.
  EXPECT_EQ(PassTimeLeft(200, 3, 20), 46u);
  // A pass that outlasts its estimate shows no time left, not a wrapped-around count.
  EXPECT_EQ(PassTimeLeft(200, 3, 66), 0u);
  EXPECT_EQ(PassTimeLeft(200, 3, 70), 0u);
}

}  // namespace
