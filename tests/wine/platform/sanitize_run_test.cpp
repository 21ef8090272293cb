// The disk's own sanitize on the real calls: Wine answers neither the NVMe identify nor the
// sanitize control, as a driver that passes no NVMe command on, so the run on a loop device
// refuses it with one line, ends failed and leaves every byte of the device as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "devices/target.h"
#include "platform/platform.h"
#include "tests/wine/platform/core_state.h"
#include "tests/wine/platform/support.h"
#include "wipe/run_context.h"
#include "wipe/sanitize_run.h"

namespace {

// A front end that keeps what the run logged.
class KeptLines : public RunContext {
 public:
  void Log(const std::string& text) override { lines.push_back(text); }
  bool CancelRequested() const override { return false; }
  void ClearCancel() override {}
  void SetCaption(const std::string&) override {}
  void SetValue(ProgressValue, const std::string&) override {}
  void SetBar(int) override {}
  bool Chosen(RunChoice choice) override { return choice == RunChoice::Verify; }
  std::vector<std::string> lines;
};

TEST(SanitizeRun, ALoopDeviceRefusesItAndKeepsEveryByte) {
  const std::string image = wine_tests::DrivesFolder() + "\\l.img";
  if (wine_tests::LoopDeviceOf('L').empty()) GTEST_SKIP() << "no loop device on this machine";
  wine_tests::ResetCoreState();
  const std::vector<std::uint8_t> before =
      wine_tests::ReadHostFile(image, 0, static_cast<std::size_t>(wine_tests::kLoopDriveBytes));
  ASSERT_EQ(before.size(), wine_tests::kLoopDriveBytes);

  platform::Device device = platform::OpenDevice("\\\\.\\L:", platform::Access::ReadWrite);
  ASSERT_TRUE(device.valid());
  Target target;
  target.isDisk = true;
  target.diskNumber = 7;
  target.sizeBytes = wine_tests::kLoopDriveBytes;
  KeptLines context;
  bool released = false;
  EXPECT_FALSE(SanitizeHeldDisk(context, target, device, [&] {
    released = true;
    device.reset();
  }));
  EXPECT_TRUE(released);
  ASSERT_EQ(context.lines.size(), 1u);
  EXPECT_EQ(context.lines[0],
            "Disk 7 is not an NVMe disk: Windows passes a disk's own sanitize only to NVMe disks (a SATA disk needs "
            "its maker's tool or WinPE). Choose an overwrite method.");
  EXPECT_EQ(context.result.outcome, RunOutcome::Failed);
  EXPECT_EQ(context.result.failureReason, "the disk offers no sanitize that can be sent");
  EXPECT_FALSE(context.result.sanitize.tried) << "nothing may have been sent";
  EXPECT_FALSE(context.result.startedWriting);
  EXPECT_TRUE(wine_tests::ReadHostFile(image, 0, static_cast<std::size_t>(wine_tests::kLoopDriveBytes)) == before);
}

}  // namespace
