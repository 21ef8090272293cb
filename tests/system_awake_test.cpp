// The computer kept awake while "Wipe it now" or "Resume" hands the screen to a run: one hold
// before the run touches its device, one release after its last step, whatever way it ends;
// nothing held when the command stops before a run.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;
using app_test::kMiB;

const int kYes = ui::kDialogYes;
const int kNo = ui::kDialogNo;

// CancelThenResume: "Resume" after a wipe of the same target was cancelled.
enum class Command { Wipe, Resume, CancelThenResume };

struct AwakeCase {
  const char* name;
  Command command;
  int page;
  const char* target;  // a drive root path or a disk name
  std::function<void(sim::Machine&)> change;
  std::vector<int> answers;
  long cancelAt = 0;        // pump at which Cancel is clicked; 0: never
  long tickShutdownAt = 0;  // pump at which the shutdown box is ticked; 0: never
  bool failWrites = false;  // every block write on E: fails: the run aborts
  bool held = true;         // false: the command stops before a run
  sim::Op sign = sim::Op::Write;  // a call that shows this kind of end happened
  const char* line = nullptr;     // a line this end leaves in the log
};

class SystemAwakeTest : public AppTest {
 protected:
  void Prepare(const AwakeCase& c) {
    headless::Reset();
    machine_ = DefaultMachine();
    machine_.formatPolls = 1;
    machine_.volumes[1].length = 12 * kMiB;  // room for eleven failed blocks in a row
    if (c.change) c.change(machine_);
    Start();
    ui::ShowMainWindow();
    if (c.command == Command::CancelThenResume) Interrupt(c.page, c.target);
    Choose(c.page, c.target);
    headless::SetPumpHook([&c](long pump) {
      if (pump == c.cancelAt) app::CancelClicked();
      if (pump == c.tickShutdownAt) ui::SetShutdownBox(true);
    });
    if (c.failWrites) sim::FailWrites("\\\\.\\E:", 0, 12);
    headless::QueueAnswers(c.answers);
    sim::ClearCalls();
  }

  // A wipe of the target cancelled at its third pump: the record "Resume" needs.
  void Interrupt(int page, const std::string& target) {
    Choose(page, target);
    headless::SetPumpHook([](long pump) {
      if (pump == 3) app::CancelClicked();
    });
    headless::QueueAnswers({kYes, kYes});
    app::WipeItNowClicked();
    headless::SetPumpHook(nullptr);
  }

  static void Choose(int page, const std::string& target) {
    headless::SetActivePage(page);
    Check(page == ui::kPageWipeDrive ? ui::List::Drive : ui::List::Disk, target);
  }

  static std::vector<long> IndicesOf(sim::Op op) {
    std::vector<long> found;
    const std::vector<sim::Call>& calls = sim::Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].op == op) found.push_back(static_cast<long>(i));
    }
    return found;
  }

  static bool Logged(const char* text) {
    for (const std::string& line : headless::LogTexts()) {
      if (line == text) return true;
    }
    return false;
  }
};

// What a run does to the machine, from its first lock to the power-off.
bool RunCall(sim::Op op) {
  switch (op) {
    case sim::Op::Lock: case sim::Op::Dismount: case sim::Op::Unlock: case sim::Op::Write:
    case sim::Op::RunHidden: case sim::Op::PowerOff: case sim::Op::ShutdownPrivilege:
      return true;
    default:
      return false;
  }
}

TEST_F(SystemAwakeTest, EveryRunIsHeldAwakeFromBeforeItsFirstCallToAfterItsLast) {
  auto refuses = [](sim::Machine& m) { m.volumes[1].lock = sim::LockBehaviour::Refuses; };
  auto unformatted = [](sim::Machine& m) { m.volumes[1].fileSystem = ""; };
  const AwakeCase cases[] = {
      {"drive wiped and formatted", Command::Wipe, ui::kPageWipeDrive, "E:\\", nullptr, {kYes, kYes}, 0, 0, false,
       true, sim::Op::RunHidden, "Successfully formatted the drive."},
      {"disk wiped", Command::Wipe, ui::kPageWipeDisk, "Disk1", nullptr, {kYes, kYes}, 0, 0, false, true,
       sim::Op::Write, "Administrator's tool->Computer management->Disk management."},
      {"drive cancelled", Command::Wipe, ui::kPageWipeDrive, "E:\\", nullptr, {kYes, kYes}, 3, 0, false, true,
       sim::Op::Write, "User canceled."},
      {"disk cancelled", Command::Wipe, ui::kPageWipeDisk, "Disk1", nullptr, {kYes, kYes}, 3, 0, false, true,
       sim::Op::Write, "User canceled."},
      {"drive aborted", Command::Wipe, ui::kPageWipeDrive, "E:\\", nullptr, {kYes, kYes}, 0, 0, true, true,
       sim::Op::Write, "Wipe aborted!"},
      {"drive refused before writing", Command::Wipe, ui::kPageWipeDrive, "E:\\", refuses, {kYes, kYes}, 0, 0,
       false, true, sim::Op::Dismount, "Unable to dismount the drive!"},
      {"disk refused before writing", Command::Wipe, ui::kPageWipeDisk, "Disk1", refuses, {kYes, kYes}, 0, 0,
       false, true, sim::Op::Dismount, "Unable to dismount the drive!"},
      {"drive wiped, then shut down", Command::Wipe, ui::kPageWipeDrive, "E:\\", nullptr, {kYes, kYes}, 0, 2,
       false, true, sim::Op::PowerOff, "Successfully formatted the drive."},
      {"disk wiped, then shut down", Command::Wipe, ui::kPageWipeDisk, "Disk1", nullptr, {kYes, kYes}, 0, 2,
       false, true, sim::Op::PowerOff, nullptr},
      {"drive resumed to the end", Command::CancelThenResume, ui::kPageWipeDrive, "E:\\", nullptr, {kYes}, 0, 0, false,
       true, sim::Op::RunHidden, "Successfully formatted the drive."},
      {"disk resumed, cancelled again", Command::CancelThenResume, ui::kPageWipeDisk, "Disk1", nullptr, {kYes}, 3, 0,
       false, true, sim::Op::Write, "User canceled."},
      // Stopped before any run: nothing to hold.
      {"the Windows volume", Command::Wipe, ui::kPageWipeDrive, "C:\\", nullptr, {}, 0, 0, false, false,
       sim::Op::WindowsDir, "It is current Windows drive, can not wipe."},
      {"a removable disk", Command::Wipe, ui::kPageWipeDisk, "Disk2", nullptr, {}, 0, 0, false, false,
       sim::Op::DriveType, "It is removable drive, please wipe it in drive mode."},
      {"No to the second question", Command::Wipe, ui::kPageWipeDrive, "E:\\", nullptr, {kYes, kNo}, 0, 0, false,
       false, sim::Op::PlaySound, nullptr},
      {"the format offer", Command::Wipe, ui::kPageWipeDrive, "E:\\", unformatted, {kYes}, 0, 0, false, false,
       sim::Op::ShellFormat, "Successfully formatted the drive."},
      {"no record to resume", Command::Resume, ui::kPageWipeDrive, "E:\\", nullptr, {}, 0, 0, false, false,
       sim::Op::Open, "Break point not found, can not resume."},
  };
  for (const AwakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Prepare(c);

    if (c.command == Command::Wipe) {
      app::WipeItNowClicked();
    } else {
      app::ResumeClicked();
    }
    headless::SetPumpHook(nullptr);
    sim::ClearFaults();

    EXPECT_FALSE(IndicesOf(c.sign).empty()) << "the case did not end as named";
    if (c.line != nullptr) {
      EXPECT_TRUE(Logged(c.line)) << c.line;
    }
    const std::vector<long> holds = IndicesOf(sim::Op::HoldAwake);
    const std::vector<long> releases = IndicesOf(sim::Op::ReleaseAwake);
    if (!c.held) {
      EXPECT_TRUE(holds.empty());
      EXPECT_TRUE(releases.empty());
      continue;
    }
    ASSERT_EQ(holds.size(), 1u);
    ASSERT_EQ(releases.size(), 1u);
    const std::vector<sim::Call>& calls = sim::Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
      if (!RunCall(calls[i].op)) continue;
      EXPECT_GT(static_cast<long>(i), holds[0]) << "call " << i << " before the hold";
      EXPECT_LT(static_cast<long>(i), releases[0]) << "call " << i << " after the release";
    }
    EXPECT_TRUE(headless::MainVisible());
  }
}

TEST_F(SystemAwakeTest, ARefusedHoldIsLoggedAndTheRunGoesOnAndIsReleased) {
  AwakeCase c{"hold refused", Command::Wipe, ui::kPageWipeDrive, "E:\\", nullptr, {kYes, kYes}};
  Prepare(c);
  sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::HoldAwake; });

  app::WipeItNowClicked();
  sim::ClearFaults();

  EXPECT_TRUE(Logged("Can not keep the computer awake during the wipe."));
  EXPECT_TRUE(Logged("Successfully formatted the drive."));
  EXPECT_EQ(sim::SoundsPlayed().back(), "finish.wav");
  EXPECT_EQ(IndicesOf(sim::Op::ReleaseAwake).size(), 1u);
}

}  // namespace
