// The sector library "korvane.dll" and its export pxRead. The test builds two stand-ins: one
// exporting pxRead, which records its arguments in the environment variable
// KORVANE_PXREAD_CALL and answers 1 for BIOS drive 0x80, and one whose only export is "PxRead".
// Neither lies beside the test program; each test points the library search at one folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/wine/platform/support.h"

namespace {

class SectorLibrary : public testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("KORVANE_PXREAD_CALL", nullptr);
    ASSERT_EQ(GetModuleHandleA("korvane.dll"), nullptr);
  }
  void TearDown() override { SetDllDirectoryA(nullptr); }

  static void SearchIn(const char* folder) {
    ASSERT_TRUE(SetDllDirectoryA((wine_tests::ExecutableFolder() + "\\korvane\\" + folder).c_str()));
  }
  static std::string RecordedCall() {
    char call[128] = {};
    if (GetEnvironmentVariableA("KORVANE_PXREAD_CALL", call, sizeof call) == 0) return "none";
    return call;
  }
  static std::string ExpectedCall(unsigned drive, std::uint32_t sector, const void* buffer) {
    char call[128];
    std::snprintf(call, sizeof call, "drive=0x%02x sector=%u buffer=%p", drive, sector, buffer);
    return call;
  }
};

TEST_F(SectorLibrary, PassesDriveSectorAndBufferAndHandsBackTheAnswer) {
  SearchIn("exported");
  struct Case {
    std::uint8_t biosDrive;
    std::uint32_t firstSector;
    std::uint8_t answer;
  };
  const Case cases[] = {
      {0x80, 0, 1},            // disk 0 from its first sector
      {0x83, 0, 0},            // disk 3: the stand-in has only one disk
      {0x80, 8388608, 1},      // a sector beyond 4 GiB
      {0xE3, 0xFFFFFFFFu, 0},  // disk 99, the last sector number there is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.biosDrive));
    std::vector<std::uint8_t> buffer(4096);
    std::uint8_t result = 0xEE;
    ASSERT_TRUE(platform::CallSectorLibrary(c.biosDrive, c.firstSector, buffer.data(), &result));
    EXPECT_EQ(result, c.answer);
    EXPECT_EQ(RecordedCall(), ExpectedCall(c.biosDrive, c.firstSector, buffer.data()));
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 7), "KORVANE");
    // Loaded and freed around the one call.
    EXPECT_EQ(GetModuleHandleA("korvane.dll"), nullptr);
  }
}

// No library in the search path, or one whose only export is "PxRead": export names match
// exactly, so neither is called into, and a library loaded for the lookup is freed again.
TEST_F(SectorLibrary, WithoutLibraryOrExportNoCallIsMade) {
  for (const char* folder : {"absent", "misnamed"}) {
    SCOPED_TRACE(folder);
    SearchIn(folder);
    std::vector<std::uint8_t> buffer(4096);
    std::uint8_t result = 0xEE;
    EXPECT_FALSE(platform::CallSectorLibrary(0x80, 0, buffer.data(), &result));
    EXPECT_EQ(result, 0xEE);
    EXPECT_EQ(RecordedCall(), "none");
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(GetModuleHandleA("korvane.dll"), nullptr);
  }
}

}  // namespace
