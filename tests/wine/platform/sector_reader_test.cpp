// The core's SectorReader and StartupChecks on both platform families. The 9x family is a copy
// of this program named platform-win98.exe, to which Wine shows Windows 98 (setup-drives says
// so), placed in one of the folders of the stand-in "korvane.dll": beside the library that
// exports pxRead, beside the one that exports only "PxRead", or where there is none. The copy
// runs the core as a child and writes what it saw into a report beside itself. On the NT
// family only disk numbers no Wine machine has are read: a disk that exists under Wine may be
// a disk of the host.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/commands.h"
#include "devices/inventory.h"
#include "platform/platform.h"
#include "tests/wine/platform/support.h"
#include "ui/headless/headless.h"

namespace {

constexpr int kRefusedOnNt = 3;  // a child of the 9x family that finds itself on NT
const char* const kChildExitCodes =
    "3: Wine did not show the copy Windows 98, 64: arguments missing, 65: report not written";

std::string RecordedCall() {
  char call[128] = {};
  if (GetEnvironmentVariableA("KORVANE_PXREAD_CALL", call, sizeof call) == 0) return "none";
  return call;
}

// ---- The child side, in the copy shown Windows 98 ----------------------------------------

// On the NT family SectorReader would open "\\.\physicaldriveN", which may be a disk of the
// host: a copy that is not shown Windows 98 reads nothing.
bool OnNtFamily() {
  if (!IsNtPlatform()) return false;
  std::fprintf(stderr, "the 9x child runs on the NT family; nothing read\n");
  return true;
}

// "sector-reader <disk> <first sector> <report>": one read of 8 sectors into a zeroed buffer.
int ReadSectorsAndReport(int argc, char** argv) {
  if (argc < 3) return 64;
  if (OnNtFamily()) return kRefusedOnNt;
  std::vector<std::uint8_t> buffer(4096);
  const auto disk = static_cast<std::uint8_t>(std::strtoul(argv[0], nullptr, 10));
  const auto sector = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
  const unsigned result = SectorReader(disk, sector, 8, buffer.data());
  std::ofstream report(argv[2]);
  report << "result=" << result << "\n";
  report << "call=" << RecordedCall() << "\n";
  char pointer[32];
  std::snprintf(pointer, sizeof pointer, "%p", static_cast<void*>(buffer.data()));
  report << "buffer=" << pointer << "\n";
  std::string head(buffer.begin(), buffer.begin() + 7);
  for (char& c : head) c = (c >= ' ' && c <= '~') ? c : '.';
  report << "head=" << head << "\n";
  report << "library=" << (GetModuleHandleA("korvane.dll") ? "loaded" : "freed") << "\n";
  return report.good() ? 0 : 65;
}

// "startup-checks <report>": the checks of the main window's creation, headless.
int RunStartupChecksAndReport(int argc, char** argv) {
  if (argc < 1) return 64;
  if (OnNtFamily()) return kRefusedOnNt;
  headless::Reset();
  StartupChecks();
  std::ofstream report(argv[0]);
  for (const headless::Dialog& dialog : headless::Dialogs()) {
    report << "dialog=" << dialog.kind << "|" << dialog.caption << "|" << dialog.text << "\n";
  }
  report << "termination=" << (ui::TerminationRequested() ? "requested" : "none") << "\n";
  report << "call=" << RecordedCall() << "\n";
  return report.good() ? 0 : 65;
}

// ---- The test side ----------------------------------------------------------------------------

std::vector<std::string> ReadReport(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream report(path);
  for (std::string line; std::getline(report, line);) lines.push_back(line);
  return lines;
}

// A copy of this program named platform-win98.exe in bin\korvane\<folder>, removed again with
// its report.
class Windows98Copy {
 public:
  explicit Windows98Copy(const std::string& folder)
      : folder_(wine_tests::ExecutableFolder() + "\\korvane\\" + folder),
        program_(folder_ + "\\platform-win98.exe"),
        report_(folder_ + "\\report.txt") {
    copied_ = CopyFileA(wine_tests::ExecutableFile().c_str(), program_.c_str(), FALSE) != 0;
    DeleteFileA(report_.c_str());
  }
  ~Windows98Copy() {
    DeleteFileA(program_.c_str());
    DeleteFileA(report_.c_str());
  }
  Windows98Copy(const Windows98Copy&) = delete;
  Windows98Copy& operator=(const Windows98Copy&) = delete;

  bool copied() const { return copied_; }
  // Runs the child mode with the report's path as the last argument; the report's lines.
  std::vector<std::string> Run(const std::string& mode, const std::string& arguments,
                               long* exitCode) {
    *exitCode = wine_tests::RunChild(mode + " " + arguments + " \"" + report_ + "\"", program_);
    return ReadReport(report_);
  }

 private:
  std::string folder_;
  std::string program_;
  std::string report_;
  bool copied_ = false;
};

// The library path: pxRead gets the BIOS drive 0x80 plus the disk number as one byte, the first
// sector unchanged and the caller's buffer, and its answer comes back as it is; the library is
// freed again after the one call.
TEST(SectorReaderOn9x, ReadsThroughTheLibraryBesideTheProgram) {
  Windows98Copy copy("exported");
  ASSERT_TRUE(copy.copied());
  struct Case {
    const char* disk;
    const char* sector;
    const char* result;
    const char* call;  // what pxRead recorded, up to the buffer's address
  };
  const Case cases[] = {
      {"0", "0", "result=1", "call=drive=0x80 sector=0 buffer="},
      {"3", "0", "result=0", "call=drive=0x83 sector=0 buffer="},
      {"0", "8388608", "result=1", "call=drive=0x80 sector=8388608 buffer="},
      {"99", "4294967295", "result=0", "call=drive=0xe3 sector=4294967295 buffer="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("disk ") + c.disk + " sector " + c.sector);
    long exitCode = -1;
    const std::vector<std::string> report =
        copy.Run("sector-reader", std::string(c.disk) + " " + c.sector, &exitCode);
    ASSERT_EQ(exitCode, 0) << kChildExitCodes;
    ASSERT_EQ(report.size(), 5u);
    EXPECT_EQ(report[0], c.result);
    const std::string buffer = report[2].substr(report[2].find('=') + 1);
    EXPECT_EQ(report[1], c.call + buffer);
    EXPECT_EQ(report[3], "head=KORVANE");
    EXPECT_EQ(report[4], "library=freed");
  }
}

// Without the library, or with one whose export is only "PxRead", nothing is called and the
// read fails.
TEST(SectorReaderOn9x, FailsWithoutLibraryOrExport) {
  for (const char* folder : {"absent", "misnamed"}) {
    SCOPED_TRACE(folder);
    Windows98Copy copy(folder);
    ASSERT_TRUE(copy.copied());
    long exitCode = -1;
    const std::vector<std::string> report = copy.Run("sector-reader", "0 0", &exitCode);
    ASSERT_EQ(exitCode, 0) << kChildExitCodes;
    ASSERT_EQ(report.size(), 5u);
    EXPECT_EQ(report[0], "result=0");
    EXPECT_EQ(report[1], "call=none");
    EXPECT_EQ(report[3], "head=.......");
    EXPECT_EQ(report[4], "library=freed");
  }
}

// On the 9x family the start refuses with the Win9x message after the disk probe, which the
// library answers for disk 0; without the library no disk is found either, and both messages
// come, in that order.
TEST(StartupChecksOn9x, RefuseThePlatformAfterProbingThroughTheLibrary) {
  const std::string win9x =
      "dialog=warning|Warning|Dunmere does not support Win9x system (Win95 Win98 WinMe). ";
  const std::string noDisk =
      "dialog=warning|Warning|Did not find any disk drive in your machine. Please be sure that "
      "you are logged on as administrator and close any other disk management software.";
  struct Case {
    const char* folder;
    std::vector<std::string> report;
  };
  const Case cases[] = {
      {"exported", {win9x, "termination=requested"}},
      {"absent", {win9x, noDisk, "termination=requested", "call=none"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    Windows98Copy copy(c.folder);
    ASSERT_TRUE(copy.copied());
    long exitCode = -1;
    std::vector<std::string> report = copy.Run("startup-checks", "", &exitCode);
    ASSERT_EQ(exitCode, 0) << kChildExitCodes;
    if (std::string(c.folder) == "exported") {
      // The probe stopped at disk 0, the first that answered.
      ASSERT_FALSE(report.empty());
      EXPECT_EQ(report.back().rfind("call=drive=0x80 sector=0 buffer=", 0), 0u) << report.back();
      report.pop_back();
    }
    EXPECT_EQ(report, c.report);
  }
}

// The NT family reads the disk device itself, even with the library within reach: a disk
// number that no Wine machine has fails to open, reads nothing and calls no library.
TEST(SectorReaderOnNt, AnAbsentDiskReadsNothing) {
  ASSERT_TRUE(IsNtPlatform());
  SetEnvironmentVariableA("KORVANE_PXREAD_CALL", nullptr);
  ASSERT_TRUE(SetDllDirectoryA((wine_tests::ExecutableFolder() + "\\korvane\\exported").c_str()));
  for (const std::uint8_t disk : {std::uint8_t{99}, std::uint8_t{255}}) {
    SCOPED_TRACE(static_cast<int>(disk));
    std::vector<std::uint8_t> buffer(4096, 0x5A);
    EXPECT_EQ(SectorReader(disk, 0, 8, buffer.data()), 0);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(4096, 0x5A));
  }
  EXPECT_EQ(RecordedCall(), "none");
  SetDllDirectoryA(nullptr);
}

}  // namespace

namespace wine_tests {

bool RunCoreChildMode(const std::string& mode, int argc, char** argv, int* exitCode) {
  if (mode == "sector-reader") {
    *exitCode = ReadSectorsAndReport(argc, argv);
  } else if (mode == "startup-checks") {
    *exitCode = RunStartupChecksAndReport(argc, argv);
  } else {
    return false;
  }
  return true;
}

}  // namespace wine_tests
