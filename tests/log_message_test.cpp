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
  AnchorPoint anchor;
  int left;
  int top;
};

TEST(LogWindowPlace, OpensUpAndLeftOfTheAnchorAndNeverOffTheScreen) {
  const PlaceCase cases[] = {
      {{1920, 1080}, 1395, 885},  // a centred main window: the bottom-right corner
      {{525, 195}, 0, 0},         // exactly at the edges
      {{0, 0}, 0, 0},             // before the main window was ever active
      {{500, 1000}, 0, 805},      // only the left edge clamps
      {{1000, 100}, 475, 0},      // only the top edge clamps
      {{-40, -7}, 0, 0},          // a main window dragged past the top-left corner
  };
  for (const PlaceCase& c : cases) {
    int left = -1;
    int top = -1;
    LogWindowPlace(c.anchor, &left, &top);
    EXPECT_EQ(left, c.left) << c.anchor.X << "," << c.anchor.Y;
    EXPECT_EQ(top, c.top) << c.anchor.X << "," << c.anchor.Y;
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
