// The executable's path and the small files beside it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/wine/platform/support.h"

namespace {

// A file beside the executable, removed again when the test ends.
class FileBesideExecutable : public testing::Test {
 protected:
  void SetUp() override {
    const std::string executable = platform::ExecutablePath();
    path_ = executable.substr(0, executable.find_last_of('\\')) + "\\wine-test-" +
            std::to_string(GetCurrentProcessId()) + ".bin";
    DeleteFileA(path_.c_str());
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }
  std::vector<std::uint8_t> Contents() const {
    return wine_tests::ReadHostFile(path_, 0, 1 << 16);
  }
  std::string path_;
};

TEST(Folders, CreatedOnceAndFoundThereAfterwardsButNotOverAFile) {
  const std::string executable = platform::ExecutablePath();
  const std::string folder = executable.substr(0, executable.find_last_of('\\')) + "\\wine-test-folder-" +
                             std::to_string(GetCurrentProcessId());
  RemoveDirectoryA(folder.c_str());
  EXPECT_TRUE(platform::CreateFolder(folder));
  EXPECT_TRUE(platform::CreateFolder(folder));  // there already
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  const std::string file = folder + "\\plain";
  ASSERT_TRUE(platform::WriteFileBytes(file, {1, 2, 3}));
  EXPECT_FALSE(platform::CreateFolder(file));
  EXPECT_FALSE(platform::CreateFolder(folder + "\\missing\\deeper"));
  DeleteFileA(file.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST(ExecutablePath, IsTheRunningProgramWithBackslashes) {
  const std::string path = platform::ExecutablePath();
  ASSERT_GT(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), ":\\");
  EXPECT_EQ(path.find('/'), std::string::npos);
  EXPECT_EQ(path, wine_tests::ExecutableFile());
  EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileBesideExecutable, WrittenBytesReadBack) {
  std::vector<std::uint8_t> settings(50, 0);
  settings[0] = 0xFF;
  settings[49] = 0x1A;  // would end a text-mode read early
  settings[20] = '\n';  // would grow in a text-mode write
  ASSERT_TRUE(platform::WriteFileBytes(path_, settings));
  EXPECT_EQ(Contents(), settings);
  std::vector<std::uint8_t> read;
  ASSERT_TRUE(platform::ReadFileBytes(path_, 50, &read));
  EXPECT_EQ(read, settings);
}

TEST_F(FileBesideExecutable, WriteReplacesALongerFile) {
  ASSERT_TRUE(platform::WriteFileBytes(path_, std::vector<std::uint8_t>(200, 7)));
  ASSERT_TRUE(platform::WriteFileBytes(path_, std::vector<std::uint8_t>(50, 1)));
  EXPECT_EQ(Contents(), std::vector<std::uint8_t>(50, 1));
}

TEST_F(FileBesideExecutable, ReadStopsAtTheLimitOrTheEnd) {
  std::vector<std::uint8_t> data(100);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  ASSERT_TRUE(platform::WriteFileBytes(path_, data));
  std::vector<std::uint8_t> read;
  ASSERT_TRUE(platform::ReadFileBytes(path_, 50, &read));
  EXPECT_EQ(read, std::vector<std::uint8_t>(data.begin(), data.begin() + 50));
  ASSERT_TRUE(platform::ReadFileBytes(path_, 4096, &read));
  EXPECT_EQ(read, data);
  ASSERT_TRUE(platform::WriteFileBytes(path_, {}));
  ASSERT_TRUE(platform::ReadFileBytes(path_, 50, &read));
  EXPECT_TRUE(read.empty());
}

TEST_F(FileBesideExecutable, MissingFileCannotBeRead) {
  std::vector<std::uint8_t> read = {1, 2, 3};
  EXPECT_FALSE(platform::ReadFileBytes(path_, 50, &read));
  EXPECT_EQ(read, (std::vector<std::uint8_t>{1, 2, 3}));
}

// A batch file line must end in CR LF for cmd.exe.
TEST_F(FileBesideExecutable, TextFileEndsItsLinesWithCrLf) {
  ASSERT_TRUE(platform::WriteFileBytes(path_, std::vector<std::uint8_t>(300, 'x')));
  const std::string line = "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:NTFS E:";
  ASSERT_TRUE(platform::WriteTextFile(path_, line + "\n"));
  const std::string expected = line + "\r\n";
  EXPECT_EQ(Contents(), std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

TEST_F(FileBesideExecutable, TextFileInAMissingFolderFails) {
  EXPECT_FALSE(platform::WriteTextFile(path_ + ".absent\\format.bat", "x\n"));
  EXPECT_FALSE(platform::WriteFileBytes(path_ + ".absent\\setting.bin", {1}));
}

TEST_F(FileBesideExecutable, RemovedOnceThenMissing) {
  ASSERT_TRUE(platform::WriteTextFile(path_, "x\n"));
  EXPECT_TRUE(platform::RemoveFile(path_));
  EXPECT_EQ(GetFileAttributesA(path_.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(platform::RemoveFile(path_));
}

}  // namespace
