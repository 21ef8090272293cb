// At most one checked row per list, the selected-row index that names it, and the reset that
// every refill of a list brings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/commands.h"
#include "app/handlers.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;

class SelectionRuleTest : public AppTest {
 protected:
  // Rows straight into the lists, as the inventory adds them.
  static void FillRows(ui::List list, int count) {
    ui::ClearRows(list);
    for (int i = 0; i < count; ++i) ui::AddRow(list, "row" + std::to_string(i), {});
    ResetAfterRefill(list);
  }

  static std::vector<int> CheckedRows(ui::List list) {
    std::vector<int> rows;
    for (int i = 0; i < ui::RowCount(list); ++i) {
      if (ui::RowChecked(list, i)) rows.push_back(i);
    }
    return rows;
  }
};

struct ClickCase {
  const char* name;
  std::vector<int> clicks;  // check-box clicks, in order
  std::vector<int> checked;
  int selected;
};

TEST_F(SelectionRuleTest, LeavesAtMostTheLastCheckedRow) {
  const ClickCase cases[] = {
      {"check one row", {1}, {1}, 1},
      {"check row 2 while row 0 is checked", {0, 2}, {2}, 2},
      {"uncheck the only checked row", {3, 3}, {}, -1},
      {"walk down the list", {0, 1, 2, 3}, {3}, 3},
      {"uncheck, then check another", {2, 2, 0}, {0}, 0},
      {"check a row above the checked one", {3, 1}, {1}, 1},
  };
  for (const ClickCase& c : cases) {
    FillRows(ui::List::Drive, 4);
    for (int row : c.clicks) headless::ClickCheckBox(ui::List::Drive, row);
    EXPECT_EQ(CheckedRows(ui::List::Drive), c.checked) << c.name;
    EXPECT_EQ(SelectedDriveRow, c.selected) << c.name;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(LastDriveChecks[i] != 0, ui::RowChecked(ui::List::Drive, i)) << c.name << ", row " << i;
    }
  }
}

TEST_F(SelectionRuleTest, ANotificationWithoutAChangedCheckBoxKeepsTheSelection) {
  FillRows(ui::List::Disk, 3);
  headless::ClickCheckBox(ui::List::Disk, 1);
  app::ListChanged(ui::List::Disk);  // a row highlighted, no check box toggled
  EXPECT_EQ(SelectedDiskRow, 1);
  EXPECT_EQ(CheckedRows(ui::List::Disk), std::vector<int>{1});
}

TEST_F(SelectionRuleTest, TheTwoListsAreIndependent) {
  FillRows(ui::List::Drive, 3);
  FillRows(ui::List::Disk, 3);
  headless::ClickCheckBox(ui::List::Drive, 1);
  headless::ClickCheckBox(ui::List::Disk, 0);
  headless::ClickCheckBox(ui::List::Disk, 2);

  EXPECT_EQ(CheckedRows(ui::List::Drive), std::vector<int>{1});
  EXPECT_EQ(SelectedDriveRow, 1);
  EXPECT_EQ(CheckedRows(ui::List::Disk), std::vector<int>{2});
  EXPECT_EQ(SelectedDiskRow, 2);
}

TEST_F(SelectionRuleTest, ARefillUnchecksEverythingAndTheSameRowCanBeCheckedAgain) {
  Start();
  Check(ui::List::Drive, "E:\\");
  Check(ui::List::Disk, "Disk1");
  ASSERT_GE(SelectedDriveRow, 0);
  ASSERT_GE(SelectedDiskRow, 0);
  const int driveRow = SelectedDriveRow;

  app::ScanForHardwareChangesClicked();

  EXPECT_EQ(SelectedDriveRow, -1);
  EXPECT_EQ(SelectedDiskRow, -1);
  EXPECT_TRUE(CheckedRows(ui::List::Drive).empty());
  EXPECT_TRUE(CheckedRows(ui::List::Disk).empty());
  for (int i = 0; i < kListRowsRemembered; ++i) {
    ASSERT_EQ(LastDriveChecks[i], 0) << i;
    ASSERT_EQ(LastDiskChecks[i], 0) << i;
  }
  // Remembered states that survived the refill would swallow this click.
  headless::ClickCheckBox(ui::List::Drive, driveRow);
  EXPECT_EQ(SelectedDriveRow, driveRow);
}

TEST_F(SelectionRuleTest, AfterScanningWipeItNowAsksForATargetFirst) {
  Start();
  Check(ui::List::Drive, "E:\\");
  app::ScanForHardwareChangesClicked();

  app::WipeItNowClicked();

  EXPECT_EQ(headless::LogTexts(), std::vector<std::string>{"Please choose the drive first."});
  EXPECT_TRUE(headless::Dialogs().empty());
}

TEST_F(SelectionRuleTest, AListThatBecameShorterLeavesNoSelectionBehind) {
  Start();
  Check(ui::List::Drive, "F:\\");  // the last row
  machine_.volumes.pop_back();      // the stick is pulled out
  Load();

  app::ScanForHardwareChangesClicked();

  EXPECT_EQ(RowOf(ui::List::Drive, "F:\\"), -1);
  EXPECT_EQ(SelectedDriveRow, -1);
}

}  // namespace
