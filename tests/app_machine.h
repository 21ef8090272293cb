#pragma once
// A small simulated machine for the application shell's tests, fresh headless windows and
// cleared program state, and a host folder that stands for the executable's folder.
//
// The default machine: disk 0 holds C: (the Windows volume), disk 1 holds the fixed data
// volume E:, disk 2 is a removable stick with F:. The volumes are a few MiB, so a whole wipe
// takes a moment.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/target_lists.h"
#include "app/log.h"
#include "app/main_window.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/sim/machine.h"
#include "tests/inventory_fixture.h"
#include "ui/headless/headless.h"

namespace app_test {

using inventory_test::kMiB;
using inventory_test::MakeDisk;
using inventory_test::MakeVolume;

class AppTest : public inventory_test::MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    char pattern[] = "/tmp/dunmere-app-XXXXXX";
    const char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    hostFolder_ = made;
    ResetProgramState();
    machine_ = DefaultMachine();
  }

  // Every window, table and flag as a freshly started process has them.
  void FreshProcess() {
    MachineTest::SetUp();
    ResetProgramState();
  }

  void TearDown() override {
    MachineTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(hostFolder_, ignored);
  }

  sim::Machine DefaultMachine() const {
    sim::Machine machine;
    machine.hostFolder = hostFolder_;
    machine.executablePath = "C:\\Program Files\\Dunmere\\dunmere.exe";
    machine.disks = {MakeDisk(0, 64 * kMiB), MakeDisk(1, 16 * kMiB), MakeDisk(2, 8 * kMiB)};
    machine.volumes = {
        MakeVolume('C', 0, kMiB, 32 * kMiB, "NTFS"),
        // 3 MiB and a tail of 4 KiB: three whole blocks and one short write per pass.
        MakeVolume('E', 1, kMiB, 3 * kMiB + 4096, "NTFS"),
        MakeVolume('F', 2, 0, 4 * kMiB, "FAT32"),
    };
    machine.volumes[2].driveType = platform::kDriveRemovable;
    return machine;
  }

  // Loads machine_ and forgets the calls loading made.
  void Load() { MachineTest::Load(machine_); }

  // Loads machine_ and fills both lists, as a started program has them.
  void Start() {
    Load();
    RefreshDriveList();
    RefreshDiskList();
    sim::ClearCalls();
  }

  static void ResetProgramState() {
    LogAnchor = AnchorPoint{};
    CancelRequested = false;
    for (unsigned char& entry : LastDriveChecks) entry = 0;
    for (unsigned char& entry : LastDiskChecks) entry = 0;
  }

  std::string HostPath(const std::string& name) const { return hostFolder_ + "/" + name; }

  bool HostFileExists(const std::string& name) const { return std::filesystem::exists(HostPath(name)); }

  std::vector<std::uint8_t> ReadHostFile(const std::string& name) const {
    std::ifstream in(HostPath(name), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void WriteHostFile(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(HostPath(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Index in sim::Calls() of the first call of this kind (and path, when given); -1 if none.
  static long FirstCall(sim::Op op, const std::string& path = std::string()) {
    const std::vector<sim::Call>& calls = sim::Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].op == op && (path.empty() || calls[i].path == path)) return static_cast<long>(i);
    }
    return -1;
  }

  // Writes that reached any device (the wipe itself, a breakpoint record).
  static std::size_t DeviceWrites() { return CallsOf(sim::Op::Write).size(); }

  // The row of the list whose caption is this text; -1 when it is not listed.
  static int RowOf(ui::List list, const std::string& caption) {
    const auto rows = headless::Rows(list);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (!rows[i].empty() && rows[i][0] == caption) return static_cast<int>(i);
    }
    return -1;
  }

  // Checks the row of this drive ("E:\") or disk ("Disk1") as a user's click does.
  static void Check(ui::List list, const std::string& caption) {
    const int row = RowOf(list, caption);
    ASSERT_GE(row, 0) << caption << " is not listed";
    headless::ClickCheckBox(list, row);
  }

  // From now on, notes at every sound how many dialogs had been shown before it, so a test can
  // tell a sound that announces a dialog from one that follows it.
  void NoteDialogsAtEachSound() {
    dialogsAtSound_.clear();
    sim::SetFaultHook([this](const sim::Call& call) {
      if (call.op == sim::Op::PlaySound) dialogsAtSound_.push_back(headless::Dialogs().size());
      return false;
    });
  }

  // 0, 1, ..., count - 1: each sound came just before its dialog.
  static std::vector<std::size_t> EachBeforeItsDialog(std::size_t count) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < count; ++i) order.push_back(i);
    return order;
  }

  // Milliseconds of the simulated clock since midnight, to measure what SleepMs cost.
  static long ClockMs() {
    const platform::LocalTime now = platform::LocalTimeNow();
    return ((now.hour * 60L + now.minute) * 60L + now.second) * 1000L + now.milliseconds;
  }

  std::string hostFolder_;
  sim::Machine machine_;
  std::vector<std::size_t> dialogsAtSound_;
};

}  // namespace app_test
