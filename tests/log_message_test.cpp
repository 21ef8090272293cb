// The message log: line format, where a hidden log window opens, and the anchor the main
// window's activation keeps.
#include <gtest/gtest.h>

#include "app/handlers.h"
#include "app/log.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;

struct LineCase {
  platform::LocalTime time;
  const char* line;
};

TEST(ComposeLogLine, WritesNumbersWithoutLeadingZerosAndABlankBeforeTheSeconds) {
  const LineCase cases[] = {
      {{9, 5, 7, 34}, "[9:5 7.3s] : Please choose the drive first."},
      {{14, 30, 59, 990}, "[14:30 59.99s] : Please choose the drive first."},
      {{12, 0, 0, 5}, "[12:0 0.0s] : Please choose the drive first."},
      {{0, 0, 0, 999}, "[0:0 0.99s] : Please choose the drive first."},
  };
  for (const LineCase& c : cases) {
    EXPECT_EQ(ComposeLogLine(c.time, "Please choose the drive first."), c.line);
  }
}

struct PlaceCase {
  const char* name;
  AnchorPoint anchor;
  ui::LogScreen screen;
  int left;
  int top;
};

// The log window's outer sizes at 96 and at 144 dots per inch, on a 1280 x 1000 desktop.
constexpr ui::LogScreen kNoWorkArea{};
constexpr ui::LogScreen kDesktop96{96, 0, 0, 1280, 1000, 506, 172};
constexpr ui::LogScreen kDesktop144{144, 0, 0, 1280, 1000, 753, 247};
constexpr ui::LogScreen kTaskbarBelow96{96, 0, 0, 1280, 960, 506, 172};
constexpr ui::LogScreen kSmallScreen144{144, 0, 0, 700, 200, 753, 247};

TEST(LogWindowPlace, OpensUpAndLeftOfTheAnchorAndWhollyOnTheScreen) {
  const PlaceCase cases[] = {
      {"a centred main window: the bottom-right corner", {1920, 1080}, kNoWorkArea, 1395, 885},
      {"exactly at the edges", {525, 195}, kNoWorkArea, 0, 0},
      {"before the main window was ever active", {0, 0}, kNoWorkArea, 0, 0},
      {"only the left edge clamps", {500, 1000}, kNoWorkArea, 0, 805},
      {"only the top edge clamps", {1000, 100}, kNoWorkArea, 475, 0},
      {"a main window dragged past the top-left corner", {-40, -7}, kNoWorkArea, 0, 0},
      {"centred at 96 dpi", {1280, 1000}, kDesktop96, 755, 805},
      // Unscaled, the window reached 228 pixels past the right edge and 52 past the bottom.
      {"centred at 144 dpi: the offsets grow with the window", {1280, 1000}, kDesktop144, 492, 707},
      {"a taskbar below takes the bottom", {1280, 1000}, kTaskbarBelow96, 755, 788},
      {"a main window dragged past the bottom-right corner", {3000, 2400}, kDesktop144, 527, 753},
      {"a window larger than the screen keeps its caption on it", {1400, 600}, kSmallScreen144, 0, 0},
  };
  for (const PlaceCase& c : cases) {
    int left = -1;
    int top = -1;
    LogWindowPlace(c.anchor, c.screen, &left, &top);
    EXPECT_EQ(left, c.left) << c.name;
    EXPECT_EQ(top, c.top) << c.name;
  }
}

struct ActivateCase {
  int left, top, width, height;
  AnchorPoint anchor;
};

TEST(FormActivate, KeepsTwiceTheWindowCentreWithTheHalvesTruncated) {
  const ActivateCase cases[] = {
      {677, 327, 566, 426, {1920, 1080}},  // centred on a 1920 x 1080 desktop
      {10, 20, 565, 425, {584, 464}},      // odd sizes: 282 and 212 after halving
      {-100, -50, 301, 101, {100, 0}},
      {0, 0, 1, 1, {0, 0}},
  };
  for (const ActivateCase& c : cases) {
    LogAnchor = AnchorPoint{};
    app::FormActivate(c.left, c.top, c.width, c.height);
    EXPECT_EQ(LogAnchor.X, c.anchor.X) << c.left << "," << c.width;
    EXPECT_EQ(LogAnchor.Y, c.anchor.Y) << c.top << "," << c.height;
  }
}

class LogMessageTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    Load();
  }
};

TEST_F(LogMessageTest, FirstLineOpensTheWindowByTheAnchorAndCarriesTheLocalTime) {
  app::FormActivate(677, 327, 566, 426);
  sim::SetClock(9, 5, 7, 34);
  ASSERT_FALSE(ui::LogVisible());

  LogMessage("Please choose the drive first.");

  EXPECT_TRUE(ui::LogVisible());
  EXPECT_EQ(headless::LogLeft(), 1920 - 525);
  EXPECT_EQ(headless::LogTop(), 1080 - 195);
  ASSERT_EQ(headless::LogLines().size(), 1u);
  EXPECT_EQ(headless::LogLines()[0], "[9:5 7.3s] : Please choose the drive first.");
}

TEST_F(LogMessageTest, BeforeAnyActivationTheWindowOpensAtTheTopLeftCorner) {
  LogMessage("one");
  EXPECT_EQ(headless::LogLeft(), 0);
  EXPECT_EQ(headless::LogTop(), 0);
}

TEST_F(LogMessageTest, AVisibleWindowStaysWhereItIsAndAClosedOneReopensAtTheNewAnchor) {
  app::FormActivate(677, 327, 566, 426);
  LogMessage("first");
  app::FormActivate(100, 100, 566, 426);  // the user moved the main window
  LogMessage("second");
  EXPECT_EQ(headless::LogLeft(), 1395);
  EXPECT_EQ(headless::LogTop(), 885);

  headless::CloseLogWindow();
  LogMessage("third");

  EXPECT_TRUE(ui::LogVisible());
  EXPECT_EQ(headless::LogLeft(), 2 * (100 + 283) - 525);
  EXPECT_EQ(headless::LogTop(), 2 * (100 + 213) - 195);
  EXPECT_EQ(headless::LogTexts(), (std::vector<std::string>{"first", "second", "third"}));
}

}  // namespace
