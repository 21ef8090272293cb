// The process and the system: platform family, error mode, clocks, the instance mutex. The
// checks that need a second process start this test program again as a child.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/platform.h"
#include "tests/wine/platform/support.h"

namespace {

// A name no other test and no earlier run uses.
std::string UniqueName(const char* what) {
  return std::string("Dunmere wine test ") + what + " " + std::to_string(GetCurrentProcessId()) +
         " " + std::to_string(GetTickCount());
}

TEST(PlatformFamily, ThisProcessRunsOnTheNtFamily) {
  EXPECT_EQ(platform::PlatformId(), platform::kPlatformNt);
}

// setup-drives tells Wine to show Windows 98 to programs named platform-win98.exe; a copy of
// this program under that name must see the 9x family, and asks anew in every process.
TEST(PlatformFamily, AProgramShownWindows98SeesThe9xFamily) {
  const std::string copy = wine_tests::ExecutableFolder() + "\\platform-win98.exe";
  ASSERT_TRUE(CopyFileA(wine_tests::ExecutableFile().c_str(), copy.c_str(), FALSE));
  EXPECT_EQ(wine_tests::RunChild("platform-id", copy),
            static_cast<long>(platform::kPlatformWindows9x));
  EXPECT_EQ(wine_tests::RunChild("platform-id"), static_cast<long>(platform::kPlatformNt));
  DeleteFileA(copy.c_str());
}

TEST(ErrorMode, ChangeAnswersWithThePreviousMode) {
  const std::uint32_t original = platform::ChangeErrorMode(platform::kSemFailCriticalErrors);
  EXPECT_EQ(platform::ChangeErrorMode(original), platform::kSemFailCriticalErrors);
  EXPECT_EQ(platform::ChangeErrorMode(original), original);
}

// The C runtime's clock is an independent witness of the local time of day.
TEST(Clocks, LocalTimeIsTheTimeOfDay) {
  const std::time_t before = std::time(nullptr);
  const platform::LocalTime now = platform::LocalTimeNow();
  const std::tm* local = std::localtime(&before);
  ASSERT_NE(local, nullptr);
  const int seconds = now.hour * 3600 + now.minute * 60 + now.second;
  const int expected = local->tm_hour * 3600 + local->tm_min * 60 + local->tm_sec;
  const int apart = (seconds - expected + 86400) % 86400;
  EXPECT_LE(apart, 2) << now.hour << ":" << now.minute << ":" << now.second;
  EXPECT_GE(now.milliseconds, 0);
  EXPECT_LT(now.milliseconds, 1000);
}

TEST(Clocks, LocalTimeCarriesTheDate) {
  const std::time_t before = std::time(nullptr);
  const platform::LocalTime now = platform::LocalTimeNow();
  const std::tm* local = std::localtime(&before);
  ASSERT_NE(local, nullptr);
  // Just before midnight the two may name neighbouring days; the test does not run then.
  if (local->tm_hour == 23 && local->tm_min == 59) GTEST_SKIP() << "too close to midnight";
  EXPECT_EQ(now.year, local->tm_year + 1900);
  EXPECT_EQ(now.month, local->tm_mon + 1);
  EXPECT_EQ(now.day, local->tm_mday);
}

TEST(SystemNames, ComputerUserAndWindowsAreNamed) {
  std::string computer;
  std::string user;
  std::string windows;
  ASSERT_TRUE(platform::ComputerName(&computer));
  ASSERT_TRUE(platform::UserName(&user));
  ASSERT_TRUE(platform::WindowsVersion(&windows));
  EXPECT_FALSE(computer.empty());
  EXPECT_FALSE(user.empty());
  EXPECT_EQ(user.find('\0'), std::string::npos);
  EXPECT_EQ(windows.rfind("Windows ", 0), 0u) << windows;
  EXPECT_NE(windows.find("(build "), std::string::npos) << windows;
}

TEST(Clocks, CountersAdvanceAcrossASleep) {
  std::uint64_t counterBefore = 0;
  ASSERT_TRUE(platform::PerformanceCounter(&counterBefore));
  const std::uint32_t ticksBefore = platform::TickCount();
  platform::SleepMs(100);
  std::uint64_t counterAfter = 0;
  ASSERT_TRUE(platform::PerformanceCounter(&counterAfter));
  EXPECT_GT(counterAfter, counterBefore);
  // GetTickCount moves in steps of up to about 16 ms on Windows.
  EXPECT_GE(platform::TickCount() - ticksBefore, 80u);
}

TEST(InstanceMutex, FirstCreatorIsAlone) {
  bool alreadyExists = true;
  ASSERT_TRUE(platform::CreateInstanceMutex(UniqueName("alone"), &alreadyExists));
  EXPECT_FALSE(alreadyExists);
}

// The handle stays open after the call, so a second process finds the name taken.
TEST(InstanceMutex, SecondProcessFindsItTaken) {
  const std::string name = UniqueName("taken");
  bool alreadyExists = true;
  ASSERT_TRUE(platform::CreateInstanceMutex(name, &alreadyExists));
  ASSERT_FALSE(alreadyExists);
  EXPECT_EQ(wine_tests::RunChild("mutex \"" + name + "\""), 1);
}

TEST(InstanceMutex, SameProcessAgainFindsItTaken) {
  const std::string name = UniqueName("again");
  bool alreadyExists = true;
  ASSERT_TRUE(platform::CreateInstanceMutex(name, &alreadyExists));
  ASSERT_TRUE(platform::CreateInstanceMutex(name, &alreadyExists));
  EXPECT_TRUE(alreadyExists);
}

// The name lives as long as its creator: after that process has ended, the next one is the
// first again.
TEST(InstanceMutex, NameEndsWithItsProcess) {
  const std::string name = UniqueName("ended");
  EXPECT_EQ(wine_tests::RunChild("mutex \"" + name + "\""), 0);
  EXPECT_EQ(wine_tests::RunChild("mutex \"" + name + "\""), 0);
}

}  // namespace
