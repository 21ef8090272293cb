// Windows telling the main window that a disk or volume came or went: both lists are refilled
// with no row checked, except while a command runs, which gets the refill once it is over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/handlers.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;

constexpr int kYes = ui::kDialogYes;

class DeviceChangeTest : public AppTest {};

TEST_F(DeviceChangeTest, ANotificationRefillsBothListsWithNoRowChecked) {
  Start();
  Check(ui::List::Drive, "F:\\");
  Check(ui::List::Disk, "Disk2");
  machine_.volumes.pop_back();  // the stick is pulled out
  machine_.disks.pop_back();
  Load();

  app::DevicesChanged();

  EXPECT_EQ(RowOf(ui::List::Drive, "F:\\"), -1);
  EXPECT_EQ(RowOf(ui::List::Disk, "Disk2"), -1);
  EXPECT_EQ(SelectedDriveRow, -1);
  EXPECT_EQ(SelectedDiskRow, -1);
  for (int i = 0; i < ui::RowCount(ui::List::Drive); ++i) EXPECT_FALSE(ui::RowChecked(ui::List::Drive, i)) << i;
  for (int i = 0; i < kListRowsRemembered; ++i) ASSERT_EQ(LastDiskChecks[i], 0) << i;
}

// The stick is pulled out while E: (on another disk) is wiped: the lists keep their rows and
// check marks until the run is over, and then no longer show the stick.
TEST_F(DeviceChangeTest, DuringARunTheListsWaitForItsEnd) {
  Start();
  Check(ui::List::Disk, "Disk2");
  Check(ui::List::Drive, "E:\\");
  const int diskRow = SelectedDiskRow;
  const int driveRow = SelectedDriveRow;
  sim::Machine withoutStick = machine_;
  withoutStick.volumes.pop_back();
  withoutStick.disks.pop_back();
  bool pulled = false;
  bool checkedInRun = false;
  int stickRowInRun = -1;
  int driveRowInRun = -1;
  headless::SetPumpHook([&](long pump) {
    if (pump != 3) return;
    std::string error;
    pulled = sim::Replug(withoutStick, nullptr, &error);
    app::DevicesChanged();
    checkedInRun = ui::RowChecked(ui::List::Disk, diskRow);
    stickRowInRun = RowOf(ui::List::Disk, "Disk2");
    driveRowInRun = SelectedDriveRow;
  });
  headless::QueueAnswers({kYes, kYes});

  app::WipeItNowClicked();

  ASSERT_TRUE(pulled);
  EXPECT_TRUE(checkedInRun);
  EXPECT_EQ(stickRowInRun, diskRow);
  EXPECT_EQ(driveRowInRun, driveRow);
  EXPECT_FALSE(headless::ProgressVisible());
  EXPECT_EQ(RowOf(ui::List::Disk, "Disk2"), -1);
  EXPECT_EQ(RowOf(ui::List::Drive, "F:\\"), -1);
  EXPECT_EQ(SelectedDiskRow, -1);
  EXPECT_EQ(SelectedDriveRow, -1);
}

}  // namespace
