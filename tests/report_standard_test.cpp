// What the erasure report says of the standard a run meets: the NIST SP 800-88 level reached and
// the hidden areas of a whole disk, on the page and in the JSON beside it, for runs of whole
// commands on disks of each kind; and the level of a run of the disk's own sanitize.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/handlers.h"
#include "report/erasure_report.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;

constexpr const char* kSpareCells = "Clear (overwrite); copies in spare cells are not reached";

class ReportStandardTest : public AppTest {
 protected:
  // The run of the row, both questions answered Yes; Cancel at the pump given (0: never).
  void Run(int page, const std::string& caption, long cancelAtPump) {
    std::filesystem::remove_all(HostPath("Reports"));
    Start();
    ui::ShowMainWindow();
    headless::SetActivePage(page);
    Check(page == ui::kPageWipeDisk ? ui::List::Disk : ui::List::Drive, caption);
    headless::SetPumpHook([cancelAtPump](long pump) {
      if (pump == cancelAtPump) CancelRequested = true;
    });
    headless::QueueAnswers({ui::kDialogYes, ui::kDialogYes});
    app::WipeItNowClicked();
    headless::SetPumpHook(nullptr);
  }

  std::string OnlyReport(const std::string& extension) const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(HostPath("Reports"))) {
      if (entry.path().extension() == extension) found.push_back(entry.path().string());
    }
    EXPECT_EQ(found.size(), 1u);
    if (found.empty()) return std::string();
    std::ifstream in(found[0], std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static std::string PageRow(const std::string& label, const std::string& value) {
    return "<tr><th>" + label + "</th><td>" + HtmlEscaped(value) + "</td></tr>";
  }
};

TEST_F(ReportStandardTest, TheLevelReachedAndTheHiddenAreasOnThePageAndInTheJson) {
  struct Case {
    const char* name;
    const char* bus;
    platform::DeviceAnswer solidState;
    std::uint64_t hiddenSectors;
    int page;
    const char* row;
    long cancelAtPump;
    const char* level;
    const char* hidden;  // nullptr: no such row, and null in the JSON
    const char* finding;
  };
  using platform::DeviceAnswer;
  const Case cases[] = {
      {"hard disk with a host protected area", "SATA", DeviceAnswer::No, 16384, ui::kPageWipeDisk, "Disk1", 0,
       "Clear (overwrite); the 16,384 sectors of its host protected area are not reached",
       "16,384 sectors (host protected area)", "found"},
      {"hard disk without one", "SATA", DeviceAnswer::No, 0, ui::kPageWipeDisk, "Disk1", 0, "Clear (overwrite)", "none",
       "none"},
      {"SATA solid-state disk", "SATA", DeviceAnswer::Yes, 0, ui::kPageWipeDisk, "Disk1", 0, kSpareCells, "none",
       "none"},
      {"NVMe disk", "NVMe", DeviceAnswer::Yes, 0, ui::kPageWipeDisk, "Disk1", 0, kSpareCells, "none (NVMe)",
       "none (NVMe)"},
      {"a disk behind a USB bridge, solid or not", "USB", DeviceAnswer::Unknown, 0, ui::kPageWipeDisk, "Disk1", 0,
       "Clear (overwrite); if the disk is solid-state, copies in spare cells are not reached",
       "could not be checked", "not checked"},
      {"a volume of the disk that hides sectors", "SATA", DeviceAnswer::No, 16384, ui::kPageWipeDrive, "E:\\", 0,
       "Clear (overwrite) of this volume only", nullptr, nullptr},
      {"a cancelled run", "SATA", DeviceAnswer::No, 16384, ui::kPageWipeDisk, "Disk1", 20,
       "none: the erasure did not complete", "16,384 sectors (host protected area)", "found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    machine_ = DefaultMachine();
    machine_.disks[1].model = "DUNMERE TEST DISK 16";
    machine_.disks[1].bus = c.bus;
    machine_.disks[1].solidState = c.solidState;
    machine_.disks[1].hiddenSectors = c.hiddenSectors;
    Run(c.page, c.row, c.cancelAtPump);

    const std::string page = OnlyReport(".html");
    EXPECT_NE(page.find(PageRow("NIST SP 800-88", c.level)), std::string::npos) << page;
    if (c.hidden != nullptr) {
      EXPECT_NE(page.find(PageRow("Hidden areas", c.hidden)), std::string::npos) << page;
    } else {
      EXPECT_EQ(page.find("<th>Hidden areas</th>"), std::string::npos);
    }
    const nlohmann::json json = nlohmann::json::parse(OnlyReport(".json"), nullptr, false);
    ASSERT_FALSE(json.is_discarded());
    EXPECT_EQ(json["result"]["nistLevel"], c.level);
    if (c.hidden == nullptr) {
      EXPECT_TRUE(json["result"]["hiddenAreas"].is_null());
      continue;
    }
    EXPECT_EQ(json["result"]["hiddenAreas"]["finding"], c.finding);
    EXPECT_EQ(json["result"]["hiddenAreas"]["text"], c.hidden);
    if (c.hiddenSectors != 0) {
      EXPECT_EQ(json["result"]["hiddenAreas"]["sectors"], c.hiddenSectors);
    } else {
      EXPECT_TRUE(json["result"]["hiddenAreas"]["sectors"].is_null());
    }
  }
}

// A run of the disk's own sanitize fills its part of the result; the report reads the level
// from it alone, whatever the disk would reach by an overwrite.
TEST(ReportSanitizeLevelTest, APurgeOnlyForASanitizeThatCompleted) {
  struct Case {
    const char* name;
    platform::SanitizeAction action;
    RunOutcome outcome;
    bool verified;
    const char* level;
  };
  const Case cases[] = {
      {"crypto erase, verified", platform::SanitizeAction::CryptoErase, RunOutcome::Succeeded, true,
       "Purge (device sanitize, crypto erase)"},
      {"block erase, verified", platform::SanitizeAction::BlockErase, RunOutcome::Succeeded, true,
       "Purge (device sanitize, block erase)"},
      {"verification off", platform::SanitizeAction::CryptoErase, RunOutcome::Succeeded, false,
       "Purge (device sanitize, crypto erase); not verified by sampling"},
      {"a sample kept its content", platform::SanitizeAction::CryptoErase, RunOutcome::Failed, false,
       "none: the erasure did not complete"},
  };
  ReportTarget target;
  target.isDisk = true;
  target.diskNumber = 3;
  target.identity.bus = "NVMe";
  target.identity.solidState = platform::DeviceAnswer::Yes;
  target.abilities.hiddenArea = HiddenArea::NoneOnNvme;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunResult run;
    run.outcome = c.outcome;
    run.sanitize.sent = true;
    run.sanitize.action = c.action;
    run.sanitize.verified = c.verified;
    EXPECT_EQ(NistLevelText(target, run), c.level);
  }
}

}  // namespace
