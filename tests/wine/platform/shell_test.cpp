// Starting programs, opening documents, the format dialog, the owner window of shell dialogs,
// and the shutdown privilege.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/main_window.h"
#include "tests/wine/platform/support.h"

namespace {

bool WaitForFile(const std::string& path, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 50) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(50);
  }
  return false;
}

std::string FileBesideExecutable(const char* name) {
  return wine_tests::ExecutableFolder() + "\\" + name + "-" +
         std::to_string(GetCurrentProcessId());
}

TEST(RunHidden, MissingProgramIsNotFound) {
  EXPECT_EQ(platform::RunHidden("FORMAT.COM"), 2u);
  EXPECT_EQ(platform::RunHidden("dunmere-no-such-program.exe /x"), 2u);
}

// The command line reaches the program with its arguments: the child makes the file named.
TEST(RunHidden, StartsTheCommandLine) {
  const std::string marker = FileBesideExecutable("run-hidden");
  DeleteFileA(marker.c_str());
  const std::uint32_t started = platform::RunHidden("\"" + wine_tests::ExecutableFile() +
                                                    "\" --child touch \"" + marker + "\"");
  EXPECT_GT(started, 31u);
  EXPECT_TRUE(WaitForFile(marker, 20000));
  DeleteFileA(marker.c_str());
}

// WinExec hands a batch file to cmd.exe, and Windows' cmd.exe cuts an unquoted path at its
// first blank, so the batch of a program under "C:\Program Files" is started quoted. (Wine's
// cmd.exe also finds the unquoted path, so only the quoted start is shown here.)
TEST(RunHidden, ABatchInAFolderWithBlanksRunsQuoted) {
  const std::string folder = FileBesideExecutable("folder with blanks");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string batch = folder + "\\format.bat";
  const std::string marker = folder + "\\ran";
  DeleteFileA(marker.c_str());
  ASSERT_TRUE(platform::WriteTextFile(batch, "echo ran > \"" + marker + "\"\n"));
  EXPECT_GT(platform::RunHidden("\"" + batch + "\""), 31u);
  EXPECT_TRUE(WaitForFile(marker, 20000));
  DeleteFileA(marker.c_str());
  DeleteFileA(batch.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST(ShellOpen, MissingFileIsNotFound) {
  EXPECT_EQ(platform::ShellOpen(FileBesideExecutable("no-such-guide") + ".chm"), 2);
}

// "open" on a batch file runs it, as it starts the updater beside the program.
TEST(ShellOpen, OpensAnExistingTarget) {
  const std::string marker = FileBesideExecutable("shell-open");
  const std::string batch = marker + ".bat";
  DeleteFileA(marker.c_str());
  ASSERT_TRUE(platform::WriteTextFile(batch, "echo opened > \"" + marker + "\"\n"));
  EXPECT_GT(platform::ShellOpen(batch), 32);
  EXPECT_TRUE(WaitForFile(marker, 20000));
  DeleteFileA(marker.c_str());
  DeleteFileA(batch.c_str());
}

// "User guide" passes the bare name: Explorer starts the program in its own folder, where the
// build puts the guide, and the shell's viewer opens it there (the window has the guide's title).
TEST(ShellOpen, OpensTheUserGuideByItsBareName) {
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(wine_tests::ExecutableFolder().c_str()));
  const bool present = GetFileAttributesA("userguide.chm") != INVALID_FILE_ATTRIBUTES;
  const std::intptr_t opened = present ? platform::ShellOpen("userguide.chm") : 0;
  SetCurrentDirectoryA(previous);
  ASSERT_TRUE(present) << "no userguide.chm beside the tests";
  EXPECT_GT(opened, 32);
  HWND viewer = nullptr;
  for (int waited = 0; viewer == nullptr && waited < 30000; waited += 100) {
    viewer = FindWindowA(nullptr, "Dunmere user guide");
    if (viewer == nullptr) Sleep(100);
  }
  ASSERT_NE(viewer, nullptr) << "the help viewer did not show the guide";
  PostMessageA(viewer, WM_CLOSE, 0, 0);
}

// Wine's SHFormatDrive shows nothing and answers SHFMT_NOFORMAT.
TEST(ShellFormatDrive, WineCannotFormat) { EXPECT_EQ(platform::ShellFormatDrive(4), -3); }

// The owner of shell dialogs is this process's TForm1 window, never another copy's.
class MainWindow : public testing::Test {
 protected:
  static LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  void TearDown() override {
    for (HWND window : windows_) DestroyWindow(window);
    if (registered_) UnregisterClassA("TForm1", GetModuleHandleA(nullptr));
    if (registeredOther_) UnregisterClassA("TForm2", GetModuleHandleA(nullptr));
  }
  HWND Create(const char* className) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Plain;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    const bool main = std::string(className) == "TForm1";
    bool& registered = main ? registered_ : registeredOther_;
    if (!registered) registered = RegisterClassA(&windowClass) != 0;
    HWND window = CreateWindowA(className, "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    if (window != nullptr) windows_.push_back(window);
    return window;
  }
  std::vector<HWND> windows_;
  bool registered_ = false;
  bool registeredOther_ = false;
};

TEST_F(MainWindow, NoneWithoutOne) { EXPECT_EQ(platform::win32::FindMainWindow(), nullptr); }

TEST_F(MainWindow, OwnTForm1AmongOtherWindows) {
  ASSERT_NE(Create("TForm2"), nullptr);
  EXPECT_EQ(platform::win32::FindMainWindow(), nullptr);
  HWND main = Create("TForm1");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(platform::win32::FindMainWindow(), main);
}

TEST_F(MainWindow, AnotherCopysWindowIsNotOurs) {
  const std::string ready = "Dunmere wine test ready " + std::to_string(GetCurrentProcessId());
  const std::string quit = "Dunmere wine test quit " + std::to_string(GetCurrentProcessId());
  platform::win32::UniqueHandle readyEvent = wine_tests::MakeEvent(ready);
  platform::win32::UniqueHandle quitEvent = wine_tests::MakeEvent(quit);
  ASSERT_TRUE(readyEvent && quitEvent);
  wine_tests::Child other("main-window \"" + ready + "\" \"" + quit + "\"");
  ASSERT_TRUE(other.started());
  ASSERT_EQ(WaitForSingleObject(readyEvent.get(), 20000), WAIT_OBJECT_0);
  ASSERT_NE(FindWindowA("TForm1", nullptr), nullptr);  // the other copy's window is there
  EXPECT_EQ(platform::win32::FindMainWindow(), nullptr);
  HWND main = Create("TForm1");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(platform::win32::FindMainWindow(), main);
  SetEvent(quitEvent.get());
  EXPECT_EQ(other.Wait(), 0);
}

// SetThreadExecutionState answers with the thread's state before the call, which shows the
// flags each call left: the system held, never the display, and nothing after the release.
TEST(SystemAwake, HoldsTheSystemButNotTheDisplayUntilReleased) {
  ASSERT_TRUE(platform::HoldSystemAwake());
  EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED),
            static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED));
  ASSERT_TRUE(platform::ReleaseSystemAwake());
  EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS), static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
}

TEST(Shutdown, PrivilegeCanBeEnabled) { EXPECT_TRUE(platform::EnableShutdownPrivilege()); }

// Only in a child: Wine accepts the request and ends the windowed programs of the prefix (the
// test's own private one; the host stays on).
TEST(Shutdown, PowerOffIsAccepted) { EXPECT_EQ(wine_tests::RunChild("power-off"), 1); }

}  // namespace
