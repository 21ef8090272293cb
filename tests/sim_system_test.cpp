// Process and system services of the simulated machine: files next to the executable, the
// shell, the clocks, the mutex, the error mode, sound, power-off and the sector library.
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <ostream>

#include "tests/sim_fixture.h"

namespace sim_test {
namespace {

constexpr const char* kFolder = "C:\\Program Files\\Dunmere";

class SimFilesTest : public SimTest {
 protected:
  void SetUp() override {
    sim::Machine machine = SmallMachine();
    machine.executablePath = std::string(kFolder) + "\\dunmere.exe";
    machine.hostFolder = folder_.Path();
    Load(machine);
  }

  std::string HostText(const std::string& name) const {
    std::ifstream in(folder_.File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static std::string Next(const std::string& name) { return std::string(kFolder) + "\\" + name; }

  TempFolder folder_;
};

TEST_F(SimFilesTest, FilesNextToTheExecutableLiveInTheHostFolder) {
  EXPECT_EQ(platform::ExecutablePath(), "C:\\Program Files\\Dunmere\\dunmere.exe");
  const std::vector<std::uint8_t> settings(50, 7);
  ASSERT_TRUE(platform::WriteFileBytes(Next("setting.bin"), settings));
  EXPECT_EQ(HostText("setting.bin"), std::string(50, '\7'));
  std::vector<std::uint8_t> back;
  // Windows paths are case-insensitive.
  ASSERT_TRUE(platform::ReadFileBytes("c:\\PROGRAM FILES\\dunmere\\setting.bin", 100, &back));
  EXPECT_EQ(back, settings);
  ASSERT_TRUE(platform::ReadFileBytes(Next("setting.bin"), 20, &back));
  EXPECT_EQ(back.size(), 20u);
  ASSERT_TRUE(platform::RemoveFile(Next("setting.bin")));
  EXPECT_FALSE(platform::ReadFileBytes(Next("setting.bin"), 100, &back));
  EXPECT_FALSE(platform::RemoveFile(Next("setting.bin")));

  const std::vector<sim::Call>& calls = sim::Calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0].op, sim::Op::WriteFile);
  EXPECT_EQ(calls[0].path, Next("setting.bin"));
  EXPECT_EQ(calls[0].bytes, 50u);
  EXPECT_EQ(calls[3].op, sim::Op::RemoveFile);
  EXPECT_TRUE(calls[3].ok);
  EXPECT_FALSE(calls[4].ok);
  EXPECT_FALSE(calls[5].ok);
}

TEST_F(SimFilesTest, TextFilesGetWindowsLineEnds) {
  ASSERT_TRUE(platform::WriteTextFile(Next("format.bat"), "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:NTFS E:\n"));
  EXPECT_EQ(HostText("format.bat"), "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:NTFS E:\r\n");
  // Writing replaces the file.
  ASSERT_TRUE(platform::WriteTextFile(Next("format.bat"), "x"));
  EXPECT_EQ(HostText("format.bat"), "x");
}

TEST_F(SimFilesTest, PathsOutsideTheExecutablesFolderFail) {
  const std::vector<std::uint8_t> bytes = {1};
  for (const char* path : {"C:\\Program Files\\setting.bin", "C:\\Program Files\\Dunmere\\",
                           "C:\\Program Files\\Dunmere\\..\\escape.bin",
                           "C:\\Program Files\\DunmereX\\setting.bin", "setting.bin",
                           "C:\\Program Files\\Dunmere\\a:stream"}) {
    EXPECT_FALSE(platform::WriteFileBytes(path, bytes)) << path;
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder_.Path()).parent_path() /
                                       "escape.bin"));
}

TEST_F(SimFilesTest, WithoutAHostFolderNoFileExists) {
  sim::Machine machine = SmallMachine();
  Load(machine);
  EXPECT_FALSE(platform::WriteFileBytes(machine.executablePath + ".bin", {1}));
  EXPECT_EQ(platform::ShellOpen("userguide.chm"), 2);
}

TEST_F(SimFilesTest, TheHookFailsFileCalls) {
  sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::WriteFile; });
  EXPECT_FALSE(platform::WriteFileBytes(Next("setting.bin"), {1, 2}));
  EXPECT_FALSE(std::filesystem::exists(folder_.File("setting.bin")));
}

struct OpenCase {
  const char* target;
  std::intptr_t result;
};

std::ostream& operator<<(std::ostream& out, const OpenCase& c) { return out << c.target; }

class SimShellOpenTest : public SimFilesTest, public ::testing::WithParamInterface<OpenCase> {
 protected:
  void SetUp() override {
    SimFilesTest::SetUp();
    std::ofstream(folder_.File("userguide.chm")) << "help";
  }
};

TEST_P(SimShellOpenTest, OpensWebPagesMailAndFilesThatExist) {
  EXPECT_EQ(platform::ShellOpen(GetParam().target), GetParam().result);
  ASSERT_EQ(CallsOf(sim::Op::ShellOpen).size(), 1u);
  EXPECT_EQ(CallsOf(sim::Op::ShellOpen)[0].path, GetParam().target);
  EXPECT_EQ(CallsOf(sim::Op::ShellOpen)[0].ok, GetParam().result > 32);
}

INSTANTIATE_TEST_SUITE_P(Targets, SimShellOpenTest,
                         ::testing::Values(OpenCase{"http://www.example.com/dunmere", 42},
                                           OpenCase{"HTTPS://example.com", 42},
                                           OpenCase{"mailto:support@example.com", 42},
                                           OpenCase{"userguide.chm", 42},
                                           OpenCase{"update.exe", 2},
                                           OpenCase{"C:\\Program Files\\Dunmere\\userguide.chm", 42},
                                           OpenCase{"C:\\Other\\userguide.chm", 2},
                                           OpenCase{"ftp://example.com", 2}));

// ---- Clock -----------------------------------------------------------------------------------

class SimClockTest : public SimTest {};

TEST_F(SimClockTest, TheVirtualClockStartsAtMidnightAndMovesOnlyWhenTold) {
  platform::LocalTime now = platform::LocalTimeNow();
  EXPECT_EQ(now.hour * 3600000 + now.minute * 60000 + now.second * 1000 + now.milliseconds, 0);
  sim::SetClock(23, 59, 59, 900);
  const std::uint32_t ticks = platform::TickCount();
  platform::SleepMs(250);  // passes at once, and over midnight
  now = platform::LocalTimeNow();
  EXPECT_EQ(now.hour, 0);
  EXPECT_EQ(now.minute, 0);
  EXPECT_EQ(now.second, 0);
  EXPECT_EQ(now.milliseconds, 150);
  EXPECT_EQ(platform::TickCount() - ticks, 250u);
  sim::AdvanceClock(61000);
  now = platform::LocalTimeNow();
  EXPECT_EQ(now.minute, 1);
  EXPECT_EQ(now.second, 1);
}

TEST_F(SimClockTest, EachQueryCanAdvanceTheClock) {
  sim::SetClock(10, 0, 0);
  sim::SetClockStepPerQuery(1500);
  EXPECT_EQ(platform::LocalTimeNow().second, 0);
  EXPECT_EQ(platform::LocalTimeNow().second, 1);
  const platform::LocalTime third = platform::LocalTimeNow();
  EXPECT_EQ(third.second, 3);
  EXPECT_EQ(third.milliseconds, 0);
}

TEST_F(SimClockTest, ThePerformanceCounterChangesAtEveryQueryUnlessMissing) {
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  ASSERT_TRUE(platform::PerformanceCounter(&first));
  ASSERT_TRUE(platform::PerformanceCounter(&second));
  EXPECT_NE(first, second);
  sim::Machine machine = SmallMachine();
  machine.performanceCounter = false;
  Load(machine);
  EXPECT_FALSE(platform::PerformanceCounter(&first));
}

TEST_F(SimClockTest, TheRealClockFollowsTheHost) {
  sim::Machine machine = SmallMachine();
  machine.realClock = true;
  Load(machine);
  sim::SetClock(5, 0, 0);  // ignored while the host's clock is used
  const std::uint32_t before = platform::TickCount();
  std::uint64_t counterBefore = 0;
  ASSERT_TRUE(platform::PerformanceCounter(&counterBefore));
  platform::SleepMs(30);
  EXPECT_GE(platform::TickCount() - before, 25u);
  std::uint64_t counterAfter = 0;
  ASSERT_TRUE(platform::PerformanceCounter(&counterAfter));
  EXPECT_GE(counterAfter - counterBefore, 250000u);  // 10 MHz
  const std::time_t host = std::time(nullptr);
  const platform::LocalTime now = platform::LocalTimeNow();
  const std::tm* local = std::localtime(&host);
  EXPECT_LE(std::abs((now.hour * 60 + now.minute) - (local->tm_hour * 60 + local->tm_min)), 1);
}

// ---- Other state -----------------------------------------------------------------------------

TEST_F(SimTest, TheMutexExistsOnceCreatedOrHeldElsewhere) {
  bool exists = true;
  ASSERT_TRUE(platform::CreateInstanceMutex("Dunmere designed by Korvane", &exists));
  EXPECT_FALSE(exists);
  EXPECT_TRUE(sim::MutexHeld("Dunmere designed by Korvane"));
  ASSERT_TRUE(platform::CreateInstanceMutex("Dunmere designed by Korvane", &exists));
  EXPECT_TRUE(exists);
  EXPECT_FALSE(sim::MutexHeld("dunmere designed by korvane"));  // names are case-sensitive
  sim::HoldMutex("other copy");
  ASSERT_TRUE(platform::CreateInstanceMutex("other copy", &exists));
  EXPECT_TRUE(exists);
  Load(SmallMachine());
  EXPECT_FALSE(sim::MutexHeld("Dunmere designed by Korvane"));
}

TEST_F(SimTest, ErrorModeAndPlatformFamily) {
  EXPECT_EQ(platform::ChangeErrorMode(platform::kSemFailCriticalErrors), 0u);
  EXPECT_EQ(sim::ErrorMode(), platform::kSemFailCriticalErrors);
  EXPECT_EQ(platform::ChangeErrorMode(0), platform::kSemFailCriticalErrors);
  ASSERT_EQ(CallsOf(sim::Op::ErrorMode).size(), 2u);
  EXPECT_EQ(CallsOf(sim::Op::ErrorMode)[0].bytes, platform::kSemFailCriticalErrors);
  EXPECT_EQ(platform::PlatformId(), platform::kPlatformNt);
  sim::SetPlatformId(platform::kPlatformWindows9x);
  EXPECT_EQ(platform::PlatformId(), platform::kPlatformWindows9x);
}

TEST_F(SimTest, SoundPrivilegeAndPowerOffAreRecorded) {
  platform::PlaySoundAsync("finish.wav");
  EXPECT_TRUE(platform::EnableShutdownPrivilege());
  EXPECT_EQ(platform::RequestPowerOff(), 1);
  const std::vector<sim::Call>& calls = sim::Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].op, sim::Op::PlaySound);
  EXPECT_EQ(calls[0].path, "finish.wav");
  EXPECT_EQ(calls[1].op, sim::Op::ShutdownPrivilege);
  EXPECT_EQ(calls[2].op, sim::Op::PowerOff);
  sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::PowerOff; });
  EXPECT_EQ(platform::RequestPowerOff(), 0);
}

// ---- Sector library ---------------------------------------------------------------------------

TEST_F(SimTest, TheSectorLibraryExistsOnlyWhenTheMachineHasIt) {
  std::vector<std::uint8_t> buffer(4096);
  std::uint8_t result = 9;
  EXPECT_FALSE(platform::CallSectorLibrary(0x80, 0, buffer.data(), &result));
  EXPECT_EQ(result, 9);
  ASSERT_EQ(CallsOf(sim::Op::SectorLibrary).size(), 1u);
}

TEST_F(SimTest, TheSectorLibraryReadsTheDiskOfTheBiosNumber) {
  sim::Machine machine = SmallMachine();
  machine.sectorLibrary = true;
  machine.disks[1].openable = false;
  Load(machine);
  ASSERT_TRUE(sim::WriteDisk(0, 1024, Bytes(16, 0x42)));
  std::vector<std::uint8_t> buffer(4096);
  std::uint8_t result = 0;
  ASSERT_TRUE(platform::CallSectorLibrary(0x80, 2, buffer.data(), &result));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(buffer[0], 0x42);
  ASSERT_TRUE(platform::CallSectorLibrary(0x80, 16 * 2048 - 4, buffer.data(), &result));
  EXPECT_EQ(result, 0);  // only 2048 bytes before the end
  ASSERT_TRUE(platform::CallSectorLibrary(0x81, 0, buffer.data(), &result));
  EXPECT_EQ(result, 0);  // not openable
  ASSERT_TRUE(platform::CallSectorLibrary(0x85, 0, buffer.data(), &result));
  EXPECT_EQ(result, 0);  // absent
  const std::vector<sim::Call> calls = CallsOf(sim::Op::SectorLibrary);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].path, "\\\\.\\physicaldrive0");
  EXPECT_EQ(calls[0].offset, 1024u);
  EXPECT_EQ(calls[3].path, "\\\\.\\physicaldrive5");
}

}  // namespace
}  // namespace sim_test
