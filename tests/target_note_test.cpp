// The checked target named in the status bar's right panel and a row's info tip: which disk
// it is (model, serial number, size) without scrolling to the Model column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/target_note.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;

class TargetNoteTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    machine_.disks[1].model = "DUNMERE VIRTUAL DISK 16";
    machine_.disks[1].serial = "DM0002";
    Start();
  }
};

struct Step {
  const char* name;
  int page;                 // the tab clicked first
  ui::List list;
  std::string row;          // the row whose check box is clicked; empty: none
  std::string note;         // the right panel afterwards
};

TEST_F(TargetNoteTest, TheRightPanelNamesTheActivePagesCheckedTarget) {
  const std::string e = "E:\\, 3 MB, on simulated Disk1: DUNMERE VIRTUAL DISK 16 \xC2\xB7 S/N DM0002";
  const std::string disk1 = "Simulated Disk1, 16 MB: DUNMERE VIRTUAL DISK 16 \xC2\xB7 S/N DM0002";
  const Step steps[] = {
      {"nothing checked", ui::kPageWipeDrive, ui::List::Drive, "", "Simulated PC"},
      {"a volume checked", ui::kPageWipeDrive, ui::List::Drive, "E:\\", e},
      {"the disk page with no disk checked", ui::kPageWipeDisk, ui::List::Disk, "", "Simulated PC"},
      {"a disk checked", ui::kPageWipeDisk, ui::List::Disk, "Disk1", disk1},
      {"a disk that gives no descriptor", ui::kPageWipeDisk, ui::List::Disk, "Disk2",
       "Simulated Disk2, 8 MB: model unknown"},
      {"back to the drive page, its row still checked", ui::kPageWipeDrive, ui::List::Drive, "", e},
      {"the volume unchecked", ui::kPageWipeDrive, ui::List::Drive, "E:\\", "Simulated PC"},
  };
  for (const Step& step : steps) {
    headless::SetActivePage(step.page);
    if (!step.row.empty()) Check(step.list, step.row);
    EXPECT_EQ(headless::StatusNote(), step.note) << step.name;
  }
}

TEST_F(TargetNoteTest, ARefillOrADeviceChangeLeavesNoTargetNamed) {
  Check(ui::List::Drive, "E:\\");
  ASSERT_NE(headless::StatusNote(), "Simulated PC");
  app::ScanForHardwareChangesClicked();
  EXPECT_EQ(headless::StatusNote(), "Simulated PC");

  Check(ui::List::Drive, "E:\\");
  app::DevicesChanged();
  EXPECT_EQ(headless::StatusNote(), "Simulated PC");
}

TEST_F(TargetNoteTest, ARowsInfoTipNamesItsDeviceCheckedOrNot) {
  EXPECT_EQ(app::RowTip(ui::List::Disk, RowOf(ui::List::Disk, "Disk1")),
            "Simulated Disk1, 16 MB: DUNMERE VIRTUAL DISK 16 \xC2\xB7 S/N DM0002");
  EXPECT_EQ(app::RowTip(ui::List::Drive, RowOf(ui::List::Drive, "F:\\")),
            "F:\\, 4 MB, on simulated Disk2: model unknown");
  EXPECT_EQ(app::RowTip(ui::List::Disk, ui::RowCount(ui::List::Disk)), "");
  EXPECT_EQ(app::RowTip(ui::List::Drive, -1), "");
}

}  // namespace
