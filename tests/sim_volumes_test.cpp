// Volume queries by root path, and the boot sector they are answered from: recognised after a
// format, lost after a wipe or a breakpoint record over sector 0, written again by FORMAT.COM
// through the batch file or by the format dialog.
#include <ostream>

#include "tests/sim_fixture.h"

namespace sim_test {
namespace {

class SimVolumesTest : public SimTest {};

TEST_F(SimVolumesTest, DriveTypesComeFromTheDescription) {
  EXPECT_EQ(platform::DriveType("C:\\"), platform::kDriveFixed);
  EXPECT_EQ(platform::DriveType("e:\\"), platform::kDriveRemovable);
  // Without the backslash the path is the drive's current directory, not its root.
  EXPECT_EQ(platform::DriveType("E:"), platform::kDriveNoRootDir);
  EXPECT_EQ(platform::DriveType("Z:\\"), platform::kDriveRemote);
  EXPECT_EQ(platform::DriveType("Q:\\"), platform::kDriveNoRootDir);
  EXPECT_EQ(platform::DriveType("C:\\WINDOWS"), platform::kDriveNoRootDir);
  EXPECT_EQ(CallsOf(sim::Op::DriveType).size(), 6u);
  EXPECT_EQ(CallsOf(sim::Op::DriveType)[3].path, "Z:\\");
}

TEST_F(SimVolumesTest, AFormattedVolumeReportsItsLabelFileSystemAndSize) {
  std::string label;
  std::string fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("D:\\", &label, &fileSystem));
  EXPECT_EQ(label, "Data");
  EXPECT_EQ(fileSystem, "FAT32");
  std::uint64_t total = 0;
  ASSERT_TRUE(platform::DiskTotalBytes("D:\\", &total));
  EXPECT_EQ(total, 7 * kMiB - 4096);
  ASSERT_TRUE(platform::DiskTotalBytes("C:\\", &total));
  EXPECT_EQ(total, 8 * kMiB);  // fileSystemSize 0: the whole volume
  // A network drive has no boot sector to read; the description answers.
  ASSERT_TRUE(platform::VolumeInformation("Z:\\", &label, &fileSystem));
  EXPECT_EQ(fileSystem, "NTFS");
  ASSERT_TRUE(platform::DiskTotalBytes("Z:\\", &total));
  EXPECT_EQ(total, 5 * kMiB);
  // GetVolumeInformationA wants the backslash of a root directory.
  EXPECT_FALSE(platform::VolumeInformation("D:", &label, &fileSystem));
}

// The serial number is what tells a volume formatted again, or another volume put under the
// letter, from the one a user chose.
TEST_F(SimVolumesTest, EachVolumeHasASerialNumberThatAFormatRenews) {
  std::uint32_t serials[3] = {};
  ASSERT_TRUE(platform::VolumeInformation("C:\\", nullptr, nullptr, &serials[0]));
  ASSERT_TRUE(platform::VolumeInformation("D:\\", nullptr, nullptr, &serials[1]));
  ASSERT_TRUE(platform::VolumeInformation("E:\\", nullptr, nullptr, &serials[2]));
  for (std::uint32_t serial : serials) EXPECT_NE(serial, 0u);
  EXPECT_NE(serials[0], serials[1]);
  EXPECT_NE(serials[1], serials[2]);
  EXPECT_NE(serials[0], serials[2]);

  // The same volume described again has the same number; a format gives it another each time.
  Load(SmallMachine());
  std::uint32_t again = 0;
  ASSERT_TRUE(platform::VolumeInformation("C:\\", nullptr, nullptr, &again));
  EXPECT_EQ(again, serials[0]);
  ASSERT_TRUE(sim::FormatVolume('C', "NTFS", "System", 0));
  std::uint32_t formatted = 0;
  ASSERT_TRUE(platform::VolumeInformation("C:\\", nullptr, nullptr, &formatted));
  EXPECT_NE(formatted, serials[0]);
  ASSERT_TRUE(sim::FormatVolume('C', "NTFS", "System", 0));
  std::uint32_t formattedAgain = 0;
  ASSERT_TRUE(platform::VolumeInformation("C:\\", nullptr, nullptr, &formattedAgain));
  EXPECT_NE(formattedAgain, formatted);
}

TEST_F(SimVolumesTest, ADescribedSerialNumberIsReportedByPathAndThroughTheHandle) {
  sim::Machine machine = SmallMachine();
  machine.volumes[1].volumeSerial = 0xC0FFEE01;
  Load(machine);
  std::uint32_t serial = 0;
  ASSERT_TRUE(platform::VolumeInformation("D:\\", nullptr, nullptr, &serial));
  EXPECT_EQ(serial, 0xC0FFEE01u);
  const platform::Device volume = platform::OpenDevice("\\\\.\\D:", platform::Access::ReadWrite);
  ASSERT_TRUE(volume);
  ASSERT_TRUE(platform::ControlLockVolume(volume));
  platform::VolumeIdentity identity;
  ASSERT_TRUE(platform::QueryVolumeIdentity(volume, &identity));
  EXPECT_EQ(identity.serialNumber, 0xC0FFEE01u);
  EXPECT_EQ(identity.fileSystem, "FAT32");
  EXPECT_EQ(identity.label, "Data");
  // A disk has no file system to tell of.
  const platform::Device disk = platform::OpenDevice("\\\\.\\physicaldrive0", platform::Access::ReadWrite);
  EXPECT_FALSE(platform::QueryVolumeIdentity(disk, &identity));
}

struct FileSystemCase {
  const char* fileSystem;
  const char* label;
};

std::ostream& operator<<(std::ostream& out, const FileSystemCase& c) {
  return out << c.fileSystem << " \"" << c.label << "\"";
}

class SimBootSectorTest : public SimVolumesTest,
                          public ::testing::WithParamInterface<FileSystemCase> {};

TEST_P(SimBootSectorTest, AFormatIsRecognisedUntilSectorZeroIsOverwritten) {
  const FileSystemCase& c = GetParam();
  ASSERT_TRUE(sim::FormatVolume('C', c.fileSystem, c.label, 6 * kMiB + 512));
  std::string label;
  std::string fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("C:\\", &label, &fileSystem));
  EXPECT_EQ(fileSystem, c.fileSystem);
  EXPECT_EQ(label, c.label);
  std::uint64_t total = 0;
  ASSERT_TRUE(platform::DiskTotalBytes("C:\\", &total));
  EXPECT_EQ(total, 6 * kMiB + 512);
  const std::vector<std::uint8_t> sector = sim::ReadVolume('C', 0, 512);
  EXPECT_EQ(sector[510], 0x55);
  EXPECT_EQ(sector[511], 0xAA);

  // The first pass of a zero wipe.
  ASSERT_TRUE(sim::WriteVolume('C', 0, Bytes(kMiB, 0)));
  EXPECT_FALSE(platform::VolumeInformation("C:\\", &label, &fileSystem));
  EXPECT_FALSE(platform::DiskTotalBytes("C:\\", &total));
}

TEST_P(SimBootSectorTest, ABreakpointRecordOverTheBootSectorUnmountsTheVolume) {
  const FileSystemCase& c = GetParam();
  ASSERT_TRUE(sim::FormatVolume('C', c.fileSystem, c.label, 0));
  // A record writes only its fields: "DM" at 0 and 510 and bytes 20 to 149 and 200 to 220.
  std::vector<std::uint8_t> unit = sim::ReadVolume('C', 0, 4096);
  unit[0] = unit[510] = 'D';
  unit[1] = unit[511] = 'M';
  ASSERT_TRUE(sim::WriteVolume('C', 0, unit));
  std::string label;
  std::string fileSystem;
  EXPECT_FALSE(platform::VolumeInformation("C:\\", &label, &fileSystem));
  std::uint64_t total = 0;
  EXPECT_FALSE(platform::DiskTotalBytes("C:\\", &total));
}

INSTANTIATE_TEST_SUITE_P(FileSystems, SimBootSectorTest,
                         ::testing::Values(FileSystemCase{"NTFS", "System"},
                                           FileSystemCase{"FAT32", "USBSTICK"},
                                           FileSystemCase{"FAT", "floppy"},
                                           FileSystemCase{"exFAT", "Camera card"},
                                           FileSystemCase{"NTFS", ""}));

TEST_F(SimVolumesTest, FormatRefusesUnknownFileSystemsAndVolumesWithoutDisk) {
  EXPECT_FALSE(sim::FormatVolume('C', "ReFS", "x", 0));
  EXPECT_FALSE(sim::FormatVolume('Z', "NTFS", "x", 0));
  EXPECT_FALSE(sim::FormatVolume('Q', "NTFS", "x", 0));
  std::string fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("C:\\", nullptr, &fileSystem));
  EXPECT_EQ(fileSystem, "NTFS");
}

TEST_F(SimVolumesTest, ADriveWithoutMediumFailsEveryQueryButItsType) {
  sim::Machine machine = SmallMachine();
  machine.volumes[2].hasMedium = false;  // E:
  Load(machine);
  EXPECT_EQ(platform::DriveType("E:\\"), platform::kDriveRemovable);
  std::string label;
  std::string fileSystem;
  EXPECT_FALSE(platform::VolumeInformation("E:\\", &label, &fileSystem));
  std::uint64_t total = 0;
  EXPECT_FALSE(platform::DiskTotalBytes("E:\\", &total));
}

TEST_F(SimVolumesTest, AnUnformattedVolumeOfANewImageHasNoFileSystem) {
  sim::Machine machine = SmallMachine();
  machine.volumes[1].fileSystem.clear();  // D:
  Load(machine);
  std::uint64_t total = 0;
  EXPECT_FALSE(platform::DiskTotalBytes("D:\\", &total));
  EXPECT_EQ(sim::ReadVolume('D', 0, 512), Bytes(512, 0));
}

TEST_F(SimVolumesTest, WindowsDirectoryComesFromTheMachine) {
  std::string directory;
  ASSERT_TRUE(platform::WindowsDirectory(&directory));
  EXPECT_EQ(directory, "C:\\WINDOWS");
  sim::Machine machine = SmallMachine();
  machine.windowsDirectory.clear();
  Load(machine);
  EXPECT_FALSE(platform::WindowsDirectory(&directory));
  ASSERT_EQ(CallsOf(sim::Op::WindowsDir).size(), 1u);
  EXPECT_FALSE(CallsOf(sim::Op::WindowsDir)[0].ok);
}

TEST_F(SimVolumesTest, TheHookFailsVolumeQueries) {
  sim::SetFaultHook([](const sim::Call& call) { return call.path == "D:\\"; });
  std::string fileSystem;
  EXPECT_FALSE(platform::VolumeInformation("D:\\", nullptr, &fileSystem));
  std::uint64_t total = 0;
  EXPECT_FALSE(platform::DiskTotalBytes("D:\\", &total));
  EXPECT_EQ(platform::DriveType("D:\\"), platform::kDriveUnknown);
  EXPECT_TRUE(platform::DiskTotalBytes("C:\\", &total));
}

// ---- FORMAT.COM through the batch file ---------------------------------------------------------

class SimFormatCommandTest : public SimVolumesTest {
 protected:
  void SetUp() override {
    sim::Machine machine = SmallMachine();
    machine.executablePath = "C:\\Program Files\\Dunmere\\dunmere.exe";
    machine.hostFolder = folder_.Path();
    machine_ = machine;
    Load(machine);
    WipeBootSector('E');
  }

  void Reload(int formatPolls, bool formatCommand = true) {
    machine_.formatPolls = formatPolls;
    machine_.formatCommand = formatCommand;
    Load(machine_);
    WipeBootSector('E');
  }

  static void WipeBootSector(char letter) { ASSERT_TRUE(sim::WriteVolume(letter, 0, Bytes(512, 0))); }

  void WriteBatch(const std::string& line) {
    ASSERT_TRUE(platform::WriteTextFile(kBatch, line + "\n"));
  }

  static bool SizeReported(const char* root) {
    std::uint64_t total = 0;
    return platform::DiskTotalBytes(root, &total);
  }

  static std::string Quoted(const std::string& path) { return "\"" + path + "\""; }
  std::string ExecutableFolder() const {
    return machine_.executablePath.substr(0, machine_.executablePath.rfind('\\'));
  }

  static constexpr const char* kBatch = "C:\\Program Files\\Dunmere\\format.bat";
  TempFolder folder_;
  sim::Machine machine_;
};

TEST_F(SimFormatCommandTest, FormatComAloneStartsWhenTheMachineHasIt) {
  EXPECT_EQ(platform::RunHidden("FORMAT.COM"), 33u);
  Reload(1, false);
  EXPECT_EQ(platform::RunHidden("FORMAT.COM"), 2u);
  const std::vector<sim::Call> runs = CallsOf(sim::Op::RunHidden);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].path, "FORMAT.COM");
  EXPECT_FALSE(runs[0].ok);
}

struct PollCase {
  int formatPolls;
  int failedPollsBeforeSuccess;  // -1: never succeeds
};

std::ostream& operator<<(std::ostream& out, const PollCase& c) { return out << "formatPolls " << c.formatPolls; }

class SimFormatPollTest : public SimFormatCommandTest,
                          public ::testing::WithParamInterface<PollCase> {};

TEST_P(SimFormatPollTest, TheVolumeComesBackAfterTheConfiguredPolls) {
  Reload(GetParam().formatPolls);
  WriteBatch("ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 E:");
  EXPECT_EQ(platform::RunHidden(Quoted(kBatch)), 33u);
  int failed = 0;
  while (failed < 10 && !SizeReported("E:\\")) ++failed;
  EXPECT_EQ(failed, GetParam().failedPollsBeforeSuccess < 0 ? 10 : GetParam().failedPollsBeforeSuccess);
  if (GetParam().failedPollsBeforeSuccess < 0) return;
  std::string label;
  std::string fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("E:\\", &label, &fileSystem));
  EXPECT_EQ(label, "CLEAN");
  EXPECT_EQ(fileSystem, "FAT32");
}

INSTANTIATE_TEST_SUITE_P(Polls, SimFormatPollTest,
                         ::testing::Values(PollCase{0, 0}, PollCase{1, 0}, PollCase{2, 1},
                                           PollCase{5, 4}, PollCase{-1, -1}));

TEST_F(SimFormatCommandTest, TheBatchFileNamesTheFileSystemAndTheDrive) {
  WriteBatch("ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:NTFS D:");
  EXPECT_EQ(platform::RunHidden(Quoted(kBatch)), 33u);
  EXPECT_FALSE(SizeReported("E:\\"));  // only D: is formatted
  EXPECT_TRUE(SizeReported("D:\\"));
  std::string fileSystem;
  ASSERT_TRUE(platform::VolumeInformation("D:\\", nullptr, &fileSystem));
  EXPECT_EQ(fileSystem, "NTFS");
  EXPECT_TRUE(CallsOf(sim::Op::ReadFile).empty());  // cmd.exe read it, not the program
}

TEST_F(SimFormatCommandTest, CmdRunsABatchWithBlanksInItsPathOnlyWhenThePathIsQuoted) {
  const struct {
    const char* executable;
    bool quoted;
    bool formats;
  } cases[] = {
      {"C:\\Program Files\\Dunmere\\dunmere.exe", true, true},
      // WinExec starts cmd.exe, which looks for "C:\Program" and gives up.
      {"C:\\Program Files\\Dunmere\\dunmere.exe", false, false},
      {"C:\\Dunmere\\dunmere.exe", false, true},
      {"C:\\Dunmere\\dunmere.exe", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.executable) + (c.quoted ? ", quoted" : ", unquoted"));
    machine_.executablePath = c.executable;
    Reload(1);
    const std::string batch = ExecutableFolder() + "\\format.bat";
    ASSERT_TRUE(platform::WriteTextFile(batch, "ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 e:\n"));
    EXPECT_EQ(platform::RunHidden(c.quoted ? Quoted(batch) : batch), 33u);
    EXPECT_EQ(SizeReported("E:\\"), c.formats);
  }
}

struct BadBatchCase {
  const char* line;
};

std::ostream& operator<<(std::ostream& out, const BadBatchCase& c) { return out << c.line; }

class SimBadBatchTest : public SimFormatCommandTest,
                        public ::testing::WithParamInterface<BadBatchCase> {};

TEST_P(SimBadBatchTest, StartsButFormatsNothing) {
  WriteBatch(GetParam().line);
  EXPECT_EQ(platform::RunHidden(Quoted(kBatch)), 33u);
  for (int poll = 0; poll < 5; ++poll) EXPECT_FALSE(SizeReported("E:\\"));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SimBadBatchTest,
    ::testing::Values(BadBatchCase{"ECHO Y|FORMAT.COM /Q/V:CLEAN/FS:FAT32 E:"},
                      BadBatchCase{"ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 E"},
                      BadBatchCase{"ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:HPFS E:"},
                      BadBatchCase{"ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 Q:"},
                      BadBatchCase{"FORMAT.COM /Q/V:CLEAN /FS:FAT32 E:"},
                      BadBatchCase{""}));

TEST_F(SimFormatCommandTest, AMissingBatchFileOrFormatComDoesNotStart) {
  EXPECT_EQ(platform::RunHidden(Quoted(kBatch)), 2u);
  EXPECT_EQ(platform::RunHidden("C:\\Elsewhere\\format.bat"), 2u);
  Reload(1, false);
  WriteBatch("ECHO Y|FORMAT.COM /Q/V:CLEAN /FS:FAT32 E:");
  EXPECT_EQ(platform::RunHidden(Quoted(kBatch)), 2u);
  EXPECT_FALSE(SizeReported("E:\\"));
}

// ---- The format dialog ---------------------------------------------------------------------

struct DialogCase {
  int result;
  char letter;
  const char* fileSystem;  // nullptr: stays unformatted
};

std::ostream& operator<<(std::ostream& out, const DialogCase& c) {
  return out << "result " << c.result << " on " << c.letter << ":";
}

class SimFormatDialogTest : public SimVolumesTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(SimFormatDialogTest, FormatsWhenTheDialogSaysSo) {
  sim::Machine machine = SmallMachine();
  machine.formatDialogResult = GetParam().result;
  Load(machine);
  const char letter = GetParam().letter;
  ASSERT_TRUE(sim::WriteVolume(letter, 0, Bytes(512, 0)));
  EXPECT_EQ(platform::ShellFormatDrive(static_cast<unsigned>(letter - 'A')), GetParam().result);
  const std::string root = std::string(1, letter) + ":\\";
  std::string label = "x";
  std::string fileSystem;
  const bool formatted = platform::VolumeInformation(root, &label, &fileSystem);
  ASSERT_EQ(formatted, GetParam().fileSystem != nullptr);
  if (formatted) {
    EXPECT_EQ(fileSystem, GetParam().fileSystem);
    EXPECT_EQ(label, "");
  }
  ASSERT_EQ(CallsOf(sim::Op::ShellFormat).size(), 1u);
  EXPECT_EQ(CallsOf(sim::Op::ShellFormat)[0].path, root);
}

INSTANTIATE_TEST_SUITE_P(Results, SimFormatDialogTest,
                         ::testing::Values(DialogCase{0, 'D', "NTFS"},
                                           DialogCase{0, 'E', "FAT32"},  // removable
                                           DialogCase{-1, 'D', nullptr},
                                           DialogCase{-2, 'D', nullptr},
                                           DialogCase{-3, 'E', nullptr}));

}  // namespace
}  // namespace sim_test
