// What a disk can do to itself and what it hides, as the user meets it: the disk list's Model
// column, the lines logged before the first question, and the answers read from the simulated
// disks' raw protocol bytes (NVMe Identify Controller, ATA IDENTIFY DEVICE, READ NATIVE MAX).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/handlers.h"
#include "devices/disk_abilities.h"
#include "devices/target.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;
using app_test::kMiB;

constexpr const char* kNotice1 =
    "Disk 1 is a solid-state drive: overwriting may not reach every flash cell; see the user guide.";

class DiskAbilitiesTest : public AppTest {
 protected:
  sim::Disk& Disk1() { return machine_.disks[1]; }

  void Describe(const char* bus, bool solidState) {
    Disk1().model = "DUNMERE TEST DISK 16";
    Disk1().serial = "DT0001";
    Disk1().bus = bus;
    Disk1().solidState = solidState ? platform::DeviceAnswer::Yes : platform::DeviceAnswer::No;
  }

  // The lines logged once the command is given on the checked row, up to the first question
  // (answered No, so nothing is written).
  std::vector<std::string> LinesBeforeTheQuestions(int page, const std::string& caption) {
    Start();
    ui::ShowMainWindow();
    headless::SetActivePage(page);
    Check(page == ui::kPageWipeDisk ? ui::List::Disk : ui::List::Drive, caption);
    // The warning sound announces the first question: what was logged by then came before it.
    std::vector<std::string> before;
    bool asked = false;
    sim::SetFaultHook([&before, &asked](const sim::Call& call) {
      if (call.op == sim::Op::PlaySound && !asked) {
        before = headless::LogTexts();
        asked = true;
      }
      return false;
    });
    headless::QueueAnswers({ui::kDialogNo});
    app::WipeItNowClicked();
    sim::ClearFaults();
    EXPECT_TRUE(asked) << "no question was asked";
    EXPECT_EQ(headless::Dialogs().size(), 1u);
    EXPECT_EQ(headless::LogTexts(), before) << "a line came after the first question";
    EXPECT_EQ(DeviceWrites(), 0u);
    return before;
  }
};

// Every disk is asked through the same readers as a real driver's answers.
TEST_F(DiskAbilitiesTest, DisksSayWhatTheyCanDoAndWhatTheyHide) {
  struct Case {
    const char* name;
    const char* bus;
    std::vector<std::string> sanitize;
    std::uint64_t hiddenSectors;
    bool nativeMaxRefused;
    bool identifyRefused;
    bool canSanitize;
    const char* actions;
    HiddenArea hidden;
    std::uint64_t hiddenFound;
  };
  const Case cases[] = {
      {"NVMe, crypto and block", "NVMe", {"crypto", "block"}, 0, false, false, true, "crypto erase, block erase",
       HiddenArea::NoneOnNvme, 0},
      {"NVMe, block only", "NVMe", {"block"}, 0, false, false, true, "block erase", HiddenArea::NoneOnNvme, 0},
      {"NVMe, overwrite only", "NVMe", {"overwrite"}, 0, false, false, false, "overwrite", HiddenArea::NoneOnNvme, 0},
      {"NVMe, no sanitize", "NVMe", {}, 0, false, false, false, "", HiddenArea::NoneOnNvme, 0},
      {"SATA with a host protected area", "SATA", {}, 16384, false, false, false, "", HiddenArea::Found, 16384},
      {"ATA with one hidden sector", "ATA", {}, 1, false, false, false, "", HiddenArea::Found, 1},
      {"SATA without one", "SATA", {}, 0, false, false, false, "", HiddenArea::None, 0},
      // The disk says an area is set, but the command that sizes it does not get through.
      {"SATA, native max refused", "SATA", {}, 2048, true, false, false, "", HiddenArea::Found, 0},
      {"SATA, identify refused", "SATA", {}, 2048, false, true, false, "", HiddenArea::NotChecked, 0},
      {"USB bridge", "USB", {}, 0, false, false, false, "", HiddenArea::NotChecked, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    machine_ = DefaultMachine();
    Describe(c.bus, true);
    Disk1().sanitize = c.sanitize;
    Disk1().hiddenSectors = c.hiddenSectors;
    Start();
    sim::SetFaultHook([&c](const sim::Call& call) {
      return (c.nativeMaxRefused && call.op == sim::Op::NativeMax) ||
             (c.identifyRefused && call.op == sim::Op::AtaIdentify);
    });

    const Target target = WithIdentity(DiskTarget(DiskTable[1]));
    sim::ClearFaults();

    EXPECT_EQ(CanSanitize(target.abilities), c.canSanitize);
    EXPECT_EQ(SanitizeActionsText(target.abilities), c.actions);
    EXPECT_EQ(target.abilities.hiddenArea, c.hidden);
    EXPECT_EQ(target.abilities.hiddenSectors, c.hiddenFound);
    // Asked, never set: the disk still reports the size it did.
    EXPECT_EQ(DiskTable[1].Capacity, 16 * kMiB);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
}

TEST_F(DiskAbilitiesTest, TheModelColumnSaysWhichDisksCanSanitize) {
  struct Case {
    const char* name;
    const char* bus;
    std::vector<std::string> sanitize;
    const char* model;
    const char* column;
  };
  const Case cases[] = {
      {"crypto and block", "NVMe", {"crypto", "block"}, "DUNMERE NVME 16", "DUNMERE NVME 16 (can sanitize) \xC2\xB7 S/N DT0001"},
      {"overwrite only: not a Device sanitize", "NVMe", {"overwrite"}, "DUNMERE NVME 16", "DUNMERE NVME 16 \xC2\xB7 S/N DT0001"},
      {"no model", "NVMe", {"block"}, "", "(can sanitize) \xC2\xB7 S/N DT0001"},
      {"a SATA disk's own erase is not for Windows to send", "SATA", {}, "DUNMERE SATA 16", "DUNMERE SATA 16 \xC2\xB7 S/N DT0001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    machine_ = DefaultMachine();
    Describe(c.bus, true);
    Disk1().model = c.model;
    Disk1().sanitize = c.sanitize;
    Start();
    const auto rows = headless::Rows(ui::List::Disk);
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_EQ(rows[1].size(), 4u);
    EXPECT_EQ(rows[1][0], "Disk1");
    EXPECT_EQ(rows[1][3], c.column);
    // The other columns keep their texts.
    EXPECT_EQ(rows[1][1], "16 MB");
    EXPECT_EQ(rows[1][2], "E:\\ [] ");
  }
}

TEST_F(DiskAbilitiesTest, WhatTheDiskCanDoAndHidesIsLoggedBeforeTheFirstQuestion) {
  struct Case {
    const char* name;
    const char* bus;
    bool solidState;
    std::vector<std::string> sanitize;
    std::uint64_t hiddenSectors;
    int page;
    const char* row;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"NVMe disk that can sanitize", "NVMe", true, {"crypto", "block"}, 0, ui::kPageWipeDisk, "Disk1",
       {kNotice1, "Disk 1 can erase itself: crypto erase, block erase.",
        "To purge disk 1, spare cells included, choose \"Device sanitize\": the disk erases itself."}},
      {"a volume on it", "NVMe", true, {"block"}, 0, ui::kPageWipeDrive, "E:\\",
       {kNotice1, "Disk 1 can erase itself: block erase.",
        "To purge disk 1, spare cells included, choose \"Device sanitize\" on the \"Wipe disk\" page: the disk "
        "erases itself."}},
      {"NVMe disk that offers only an overwrite", "NVMe", true, {"overwrite"}, 0, ui::kPageWipeDisk, "Disk1",
       {kNotice1, "Disk 1 can erase itself: overwrite."}},
      {"NVMe disk without a sanitize", "NVMe", true, {}, 0, ui::kPageWipeDisk, "Disk1", {kNotice1}},
      {"SATA solid-state disk", "SATA", true, {}, 0, ui::kPageWipeDisk, "Disk1",
       {kNotice1,
        "A purge of disk 1 needs the disk maker's tool or WinPE: Windows passes no erase command to a SATA disk. "
        "This run will be an overwrite."}},
      {"SATA hard disk with a host protected area", "SATA", false, {}, 16384, ui::kPageWipeDisk, "Disk1",
       {"Disk 1 hides 16,384 sectors (a host protected area) that no overwrite reaches."}},
      {"a volume on it: no overwrite of a volume would reach there anyway", "SATA", false, {}, 16384,
       ui::kPageWipeDrive, "E:\\", {}},
      {"SATA hard disk without one", "SATA", false, {}, 0, ui::kPageWipeDisk, "Disk1", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    machine_ = DefaultMachine();
    Describe(c.bus, c.solidState);
    Disk1().sanitize = c.sanitize;
    Disk1().hiddenSectors = c.hiddenSectors;
    EXPECT_EQ(LinesBeforeTheQuestions(c.page, c.row), c.lines);
  }
}

}  // namespace
