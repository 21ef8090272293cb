// Formatting a wiped volume (hidden FORMAT.COM through format.bat, or the shell's dialog) and
// switching the computer off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "postwipe/postwipe.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;
using app_test::kMiB;

const char* const kBatchPath = "C:\\Program Files\\Dunmere\\format.bat";
// How WinExec is given the batch: quoted, for the blank in "Program Files".
const char* const kBatchCommand = "\"C:\\Program Files\\Dunmere\\format.bat\"";

class FormatTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    machine_.formatPolls = 1;
    // E: as a wipe leaves it: listed with its former file system, now without one.
    machine_.volumes[1].fileSystem = "";
    machine_.volumes[2].fileSystem = "";
  }

  // Loads the machine, lists the drives and selects the row of rootPath with this former file
  // system, as the run's target.
  void Target(const std::string& rootPath, const std::string& formerFileSystem) {
    Start();
    SelectedDriveRow = RowOf(ui::List::Drive, rootPath);
    ASSERT_GE(SelectedDriveRow, 0);
    SetField(DriveTable[SelectedDriveRow].FileSystem, formerFileSystem);
  }

  // The batch file's first line, read from the host folder while FORMAT.COM "runs".
  void CaptureBatchLine() {
    headless::SetPumpHook([this](long) {
      if (!batchLine_.empty() || !HostFileExists("format.bat")) return;
      const std::vector<std::uint8_t> bytes = ReadHostFile("format.bat");
      batchLine_.assign(bytes.begin(), bytes.end());
    });
  }

  static std::vector<std::string> FreeSpacePolls(const std::string& rootPathPrefix) {
    std::vector<std::string> paths;
    for (const sim::Call& call : CallsOf(sim::Op::FreeSpace)) {
      if (call.path.rfind(rootPathPrefix, 0) == 0) paths.push_back(call.path);
    }
    return paths;
  }

  std::string batchLine_;
};

struct InvalidCase {
  const char* drive;
  int mode;
};

TEST_F(FormatTest, OnlyUpperCaseDrivesCToZAreFormatted) {
  Load();
  const InvalidCase cases[] = {
      {"A:", kFormatCommandLineMode}, {"B:", kFormatCommandLineMode}, {"a:", kFormatCommandLineMode},
      {"e:", kFormatCommandLineMode}, {"", kFormatCommandLineMode},   {"1:", kFormatCommandLineMode},
      {"[:", kFormatCommandLineMode}, {"A:", kFormatDialogMode},      {"e:", kFormatDialogMode},
  };
  for (const InvalidCase& c : cases) {
    headless::Reset();
    sim::ClearCalls();
    EXPECT_FALSE(FormatDrive(c.drive, c.mode)) << c.drive;
    EXPECT_EQ(headless::LogTexts(), std::vector<std::string>{"Invalid drive to format!"}) << c.drive;
    EXPECT_TRUE(CallsOf(sim::Op::RunHidden).empty()) << c.drive;
    EXPECT_TRUE(CallsOf(sim::Op::ShellFormat).empty()) << c.drive;
  }
}

struct FileSystemCase {
  const char* name;
  const char* rootPath;
  const char* former;
  const char* line;
  const char* formatted;  // what the volume reports afterwards
};

TEST_F(FormatTest, TheBatchGivesBackTheFormerFileSystemOrTheDefaultOfTheDriveType) {
  const FileSystemCase cases[] = {
      {"fixed, NTFS", "E:\\", "NTFS", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:NTFS E:", "NTFS"},
      {"fixed, FAT", "E:\\", "FAT", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT E:", "FAT"},
      {"fixed, FAT32", "E:\\", "FAT32", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 E:", "FAT32"},
      {"fixed, empty", "E:\\", "", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:NTFS E:", "NTFS"},
      {"fixed, exFAT", "E:\\", "exFAT", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:NTFS E:", "NTFS"},
      {"removable, empty", "F:\\", "", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 F:", "FAT32"},
      {"removable, exFAT", "F:\\", "exFAT", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 F:", "FAT32"},
      {"removable, NTFS", "F:\\", "NTFS", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:NTFS F:", "NTFS"},
      {"removable, lower-case ntfs", "F:\\", "ntfs", "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 F:", "FAT32"},
  };
  for (const FileSystemCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    batchLine_.clear();
    Target(c.rootPath, c.former);
    CaptureBatchLine();

    sim::ClearCalls();
    EXPECT_TRUE(FormatDrive(std::string(c.rootPath, 2), kFormatCommandLineMode));

    // The drive type is asked of the root directory, backslash included.
    const std::vector<sim::Call> asked = CallsOf(sim::Op::DriveType);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].path, c.rootPath);

    EXPECT_TRUE(batchLine_ == std::string(c.line) + "\r\n" || batchLine_ == std::string(c.line) + "\n")
        << batchLine_;
    EXPECT_FALSE(HostFileExists("format.bat"));
    std::string label;
    std::string fileSystem;
    EXPECT_TRUE(platform::VolumeInformation(c.rootPath, &label, &fileSystem));
    EXPECT_EQ(fileSystem, c.formatted);
    EXPECT_EQ(label, "CLEAN");
  }
}

TEST_F(FormatTest, WithNothingSelectedTheFormerFileSystemCountsAsUnknown) {
  Target("F:\\", "NTFS");
  SelectedDriveRow = -1;  // the lists were refilled meanwhile
  CaptureBatchLine();

  EXPECT_TRUE(FormatDrive("F:", kFormatCommandLineMode));

  EXPECT_EQ(batchLine_.substr(0, batchLine_.find_first_of("\r\n")), "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 F:");
}

TEST_F(FormatTest, AVolumeBackAtTheFirstPollEndsTheWaitThere) {
  Target("E:\\", "NTFS");
  const long before = ClockMs();

  EXPECT_TRUE(FormatDrive("E:", kFormatCommandLineMode));

  EXPECT_EQ(headless::LogTexts(), std::vector<std::string>{"Successfully formatted the drive."});
  EXPECT_EQ(ClockMs() - before, 1000);
  EXPECT_EQ(headless::PumpCount(), 1);
  EXPECT_EQ(FreeSpacePolls("E:").size(), 1u);
  EXPECT_FALSE(HostFileExists("format.bat"));
  // FORMAT.COM is tried bare first, then the batch runs, then the batch is deleted.
  const long probe = FirstCall(sim::Op::RunHidden, "FORMAT.COM");
  const long write = FirstCall(sim::Op::WriteFile, kBatchPath);
  const long run = FirstCall(sim::Op::RunHidden, kBatchCommand);
  const long removed = FirstCall(sim::Op::RemoveFile, kBatchPath);
  ASSERT_GE(probe, 0);
  EXPECT_LT(probe, write);
  EXPECT_LT(write, run);
  EXPECT_LT(run, removed);
  // The volume has its file system again.
  std::uint64_t total = 0;
  EXPECT_TRUE(platform::DiskTotalBytes("E:\\", &total));
}

TEST_F(FormatTest, AFormatThatComesBackLaterIsWaitedFor) {
  machine_.formatPolls = 3;
  Target("E:\\", "NTFS");
  const long before = ClockMs();

  EXPECT_TRUE(FormatDrive("E:", kFormatCommandLineMode));

  EXPECT_EQ(ClockMs() - before, 3000);
  EXPECT_EQ(headless::PumpCount(), 3);
  EXPECT_EQ(FreeSpacePolls("E:").size(), 3u);
}

TEST_F(FormatTest, AFormatThatNeverFinishesIsGivenUpAfterSixtyPolls) {
  machine_.formatPolls = -1;
  Target("E:\\", "NTFS");
  const long before = ClockMs();

  EXPECT_FALSE(FormatDrive("E:", kFormatCommandLineMode));

  EXPECT_EQ(ClockMs() - before, 60000);
  EXPECT_EQ(headless::PumpCount(), 60);
  EXPECT_EQ(FreeSpacePolls("E:").size(), 60u);
  EXPECT_EQ(headless::LogTexts(),
            (std::vector<std::string>{"Fail to format the drive.", "Please format the drive manually."}));
  EXPECT_FALSE(HostFileExists("format.bat"));
  EXPECT_EQ(CallsOf(sim::Op::RemoveFile).size(), 1u);
}

TEST_F(FormatTest, WithoutFormatComNothingIsWrittenOrRun) {
  machine_.formatCommand = false;
  Target("E:\\", "NTFS");

  EXPECT_FALSE(FormatDrive("E:", kFormatCommandLineMode));

  EXPECT_EQ(headless::LogTexts(),
            (std::vector<std::string>{"Format command not found!", "Please format the drive manually."}));
  EXPECT_EQ(CallsOf(sim::Op::RunHidden).size(), 1u);
  EXPECT_TRUE(CallsOf(sim::Op::WriteFile).empty());
  EXPECT_FALSE(HostFileExists("format.bat"));
  EXPECT_EQ(headless::PumpCount(), 0);
}

struct BatchFaultCase {
  const char* name;
  sim::Op failing;
  std::string path;
};

TEST_F(FormatTest, ABatchThatCannotBeWrittenOrStartedIsReportedAndLeftBehindNowhere) {
  const BatchFaultCase cases[] = {
      {"cannot be written", sim::Op::WriteFile, kBatchPath},
      {"cannot be started", sim::Op::RunHidden, kBatchCommand},
  };
  for (const BatchFaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    headless::Reset();
    Target("E:\\", "NTFS");
    sim::SetFaultHook([&c](const sim::Call& call) { return call.op == c.failing && call.path == c.path; });

    EXPECT_FALSE(FormatDrive("E:", kFormatCommandLineMode));
    sim::ClearFaults();

    EXPECT_EQ(headless::LogTexts(),
              (std::vector<std::string>{"Fail to format the drive.", "Please format the drive manually."}));
    EXPECT_FALSE(HostFileExists("format.bat"));
    EXPECT_EQ(headless::PumpCount(), 0);
    EXPECT_TRUE(FreeSpacePolls("E:").empty());
  }
}

struct DialogCase {
  int result;
  bool formatted;
  const char* line;  // nullptr: none
};

TEST_F(FormatTest, TheDialogModeReportsWhatTheShellAnswered) {
  const DialogCase cases[] = {
      {-1, false, nullptr},
      {-2, false, "The format was canceled."},
      {-3, false, "The drive can not be formatted."},
      {0, true, "Successfully formatted the drive."},
      {4, true, "Successfully formatted the drive."},
  };
  for (const DialogCase& c : cases) {
    SCOPED_TRACE(c.result);
    headless::Reset();
    machine_.formatDialogResult = c.result;
    Load();

    EXPECT_EQ(FormatDrive("E:", kFormatDialogMode), c.formatted);

    EXPECT_EQ(headless::LogTexts(), c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    const std::vector<sim::Call> dialogs = CallsOf(sim::Op::ShellFormat);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].path, "E:\\");
    EXPECT_EQ(dialogs[0].offset, 4u);  // the drive index of E:
    EXPECT_TRUE(CallsOf(sim::Op::RunHidden).empty());
    EXPECT_TRUE(CallsOf(sim::Op::WriteFile).empty());
  }
}

class ShutdownTest : public AppTest {};

TEST_F(ShutdownTest, AsksForPowerOffOnceTheShutdownPrivilegeIsEnabled) {
  Load();
  EXPECT_NE(ShutdownComputer(), 0);
  EXPECT_EQ(CallsOf(sim::Op::ShutdownPrivilege).size(), 1u);
  EXPECT_EQ(CallsOf(sim::Op::PowerOff).size(), 1u);
  EXPECT_LT(FirstCall(sim::Op::ShutdownPrivilege), FirstCall(sim::Op::PowerOff));
}

TEST_F(ShutdownTest, WithoutItsTokenTheProgramAsksNothing) {
  Load();
  sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::ShutdownPrivilege; });
  EXPECT_EQ(ShutdownComputer(), 0);
  sim::ClearFaults();
  EXPECT_TRUE(CallsOf(sim::Op::PowerOff).empty());
  EXPECT_TRUE(headless::LogLines().empty());
}

TEST_F(ShutdownTest, ARefusedPowerOffIsPassedOnQuietly) {
  Load();
  sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::PowerOff; });
  EXPECT_EQ(ShutdownComputer(), 0);
  sim::ClearFaults();
  EXPECT_TRUE(headless::LogLines().empty());
}

}  // namespace
