// Machine descriptions: the documented example, defaults, and one clear line naming the field
// for every kind of mistake.
#include <fstream>
#include <iterator>
#include <ostream>

#include "tests/sim_fixture.h"

namespace sim_test {
namespace {

// The ```json block of docs/simulated-machine.md, so the documented example stays loadable.
std::string DocumentedExample() {
  const std::filesystem::path doc =
      std::filesystem::path(__FILE__).parent_path().parent_path() / "docs" / "simulated-machine.md";
  std::ifstream in(doc);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t start = text.find("```json\n");
  const std::size_t end = text.find("```", start + 8);
  if (start == std::string::npos || end == std::string::npos) return std::string();
  return text.substr(start + 8, end - start - 8);
}

TEST(SimDescriptionTest, TheDocumentedExampleDescribesItsMachine) {
  const std::string json = DocumentedExample();
  ASSERT_FALSE(json.empty()) << "no ```json block in docs/simulated-machine.md";
  sim::Machine machine;
  std::string error;
  ASSERT_TRUE(sim::ParseDescription(json, &machine, &error)) << error;
  EXPECT_EQ(machine.windowsDirectory, "C:\\WINDOWS");
  EXPECT_EQ(machine.formatPolls, 2);
  ASSERT_EQ(machine.disks.size(), 3u);
  EXPECT_EQ(machine.disks[0].number, 0);
  EXPECT_EQ(machine.disks[0].size, 256 * kMiB);
  EXPECT_EQ(machine.disks[0].image, "disk0.img");
  EXPECT_EQ(machine.disks[0].sanitize, (std::vector<std::string>{"crypto", "block"}));
  EXPECT_EQ(machine.disks[0].sanitizeSeconds, 40u);
  EXPECT_EQ(machine.disks[1].hiddenSectors, 16384u);
  EXPECT_TRUE(machine.disks[1].securityFrozen);
  EXPECT_EQ(machine.disks[2].number, 3);
  EXPECT_TRUE(machine.disks[2].image.empty());
  EXPECT_TRUE(machine.disks[2].geometryFails);
  EXPECT_EQ(machine.disks[2].lieFirst, 5u);
  EXPECT_EQ(machine.disks[2].lieCount, 2u);
  EXPECT_TRUE(machine.disks[2].lieStoresOther);
  EXPECT_EQ(machine.disks[2].lieHealsAfter, 1u);
  ASSERT_EQ(machine.volumes.size(), 4u);
  EXPECT_EQ(machine.volumes[0].letter, 'C');
  EXPECT_EQ(machine.volumes[0].offset, kMiB);
  EXPECT_EQ(machine.volumes[0].fileSystem, "NTFS");
  EXPECT_EQ(machine.volumes[0].label, "System");
  EXPECT_EQ(machine.volumes[0].volumeSerial, 0x12345678u);
  EXPECT_EQ(machine.volumes[1].letter, 'F');
  EXPECT_EQ(machine.volumes[1].driveType, platform::kDriveRemovable);
  EXPECT_EQ(machine.volumes[1].lock, sim::LockBehaviour::DismountsOnly);
  EXPECT_EQ(machine.volumes[1].fileSystemSize, 2000000000u);
  EXPECT_EQ(machine.volumes[2].letter, 'G');
  EXPECT_TRUE(machine.volumes[2].fileSystem.empty());
  EXPECT_EQ(machine.volumes[3].driveType, platform::kDriveCdRom);
  EXPECT_FALSE(machine.volumes[3].hasMedium);
  EXPECT_EQ(machine.volumes[3].disk, -1);
}

TEST(SimDescriptionTest, MissingFieldsKeepTheirDefaults) {
  sim::Machine machine;
  std::string error;
  ASSERT_TRUE(sim::ParseDescription(
      R"({"disks": [{"number": 4, "size": "1 GiB"}],
          "volumes": [{"letter": "e:", "disk": 4, "offset": 4096, "length": "512MiB", "driveType": 2}]})",
      &machine, &error))
      << error;
  const sim::Machine defaults;
  EXPECT_EQ(machine.platformId, defaults.platformId);
  EXPECT_EQ(machine.executablePath, defaults.executablePath);
  EXPECT_EQ(machine.formatPolls, defaults.formatPolls);
  EXPECT_FALSE(machine.realClock);
  EXPECT_EQ(machine.disks[0].size, 1ULL << 30);
  EXPECT_EQ(machine.disks[0].bytesPerSector, 512u);
  EXPECT_TRUE(machine.disks[0].openable);
  EXPECT_TRUE(machine.disks[0].sanitize.empty());
  EXPECT_TRUE(machine.disks[0].sanitizeLog);
  EXPECT_EQ(machine.disks[0].sanitizeError, 0u);
  EXPECT_EQ(machine.disks[0].hiddenSectors, 0u);
  EXPECT_FALSE(machine.disks[0].securityFrozen);
  EXPECT_EQ(machine.volumes[0].letter, 'E');
  EXPECT_EQ(machine.volumes[0].length, 512 * kMiB);
  EXPECT_EQ(machine.volumes[0].driveType, platform::kDriveRemovable);
  EXPECT_EQ(machine.volumes[0].lock, sim::LockBehaviour::Locks);
  EXPECT_TRUE(machine.volumes[0].hasMedium);
  EXPECT_EQ(machine.volumes[0].secondDisk, -1);
}

struct BadDescription {
  const char* json;
  const char* message;  // the start of the expected message
};

std::ostream& operator<<(std::ostream& out, const BadDescription& c) { return out << c.json; }

class SimBadDescriptionTest : public ::testing::TestWithParam<BadDescription> {};

TEST_P(SimBadDescriptionTest, GivesOneLineNamingTheFieldAndLoadsNothing) {
  sim::Machine machine;
  machine.windowsDirectory = "untouched";
  std::string error;
  EXPECT_FALSE(sim::ParseDescription(GetParam().json, &machine, &error));
  EXPECT_EQ(error.rfind(GetParam().message, 0), 0u) << "message: " << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  EXPECT_EQ(machine.windowsDirectory, "untouched");
}

constexpr const char* kDisk0 = R"({"number": 0, "size": 8388608})";

std::string WithDisk0(const std::string& volumes) {
  return std::string(R"({"disks": [)") + kDisk0 + R"(], "volumes": [)" + volumes + "]}";
}

const std::string kPastEnd = WithDisk0(R"({"letter": "C", "disk": 0, "offset": 4096, "length": 8388608})");
const std::string kOverlap = WithDisk0(
    R"({"letter": "C", "disk": 0, "offset": 0, "length": 4194304},
       {"letter": "D", "disk": 0, "offset": 4194303, "length": 4096})");
const std::string kTooBigFileSystem = WithDisk0(
    R"({"letter": "C", "disk": 0, "length": 4096, "fileSystem": "NTFS", "fileSystemSize": 8192})");
const std::string kNoLength = WithDisk0(R"({"letter": "C", "disk": 0})");

INSTANTIATE_TEST_SUITE_P(
    Mistakes, SimBadDescriptionTest,
    ::testing::Values(
        BadDescription{"{", "not valid JSON: "},
        BadDescription{"", "not valid JSON: "},
        BadDescription{R"({"disks": []} x)", "not valid JSON: "},
        BadDescription{R"({"disks": [,]})", "not valid JSON: "},
        BadDescription{"[]", "machine: expected an object"},
        BadDescription{R"({"realclock": true})", "machine: unknown field \"realclock\""},
        BadDescription{R"({"realClock": 1})", "realClock: expected true or false"},
        BadDescription{R"({"formatPolls": "1"})", "formatPolls: expected a whole number"},
        BadDescription{R"({"formatPolls": -2})", "formatPolls: expected a whole number from -1"},
        BadDescription{R"({"platformId": -1})", "platformId: expected a whole number from 0"},
        BadDescription{R"({"writeDelayMs": 1.5})", "writeDelayMs: expected a whole number"},
        BadDescription{R"({"windowsDirectory": 7})", "windowsDirectory: expected a text"},
        BadDescription{R"({"disks": {}})", "disks: expected a list"},
        BadDescription{R"({"disks": [3]})", "disks[0]: expected an object"},
        BadDescription{R"({"disks": [{"size": 512}]})", "disks[0].number: missing"},
        BadDescription{R"({"disks": [{"number": 0}]})", "disks[0].size: missing"},
        BadDescription{R"({"disks": [{"number": 100, "size": 512}]})",
                       "disks[0].number: expected a whole number from 0 to 99"},
        BadDescription{R"({"disks": [{"number": "0", "size": 512}]})", "disks[0].number: "},
        BadDescription{R"({"disks": [{"number": 0, "size": -512}]})", "disks[0].size: expected a byte count"},
        BadDescription{R"({"disks": [{"number": 0, "size": "12 MB"}]})", "disks[0].size: expected a byte count"},
        BadDescription{R"({"disks": [{"number": 0, "size": "99999999999 TiB"}]})", "disks[0].size: too large"},
        BadDescription{R"({"disks": [{"number": 0, "size": 0}]})", "disks[0].size: a disk needs a size above 0"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "openable": "yes"}]})",
                       "disks[0].openable: expected true or false"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "bytesPerSector": 1000}]})",
                       "disks[0].bytesPerSector: 1000 is not 512"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "lies": [5]}]})",
                       "disks[0].lies: expected [first block, block count]"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "lies": [5, -1]}]})",
                       "disks[0].lies[1]: expected a whole number from 0"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "lieStores": "zeros"}]})",
                       "disks[0].lieStores: expected \"nothing\" or \"other\""},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "bus": "NVMe", "sanitize": "crypto"}]})",
                       "disks[0].sanitize: expected a list of \"crypto\""},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "bus": "NVMe", "sanitize": ["crypto", "crypto"]}]})",
                       "disks[0].sanitize: expected a list"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "bus": "NVMe", "sanitize": ["secure"]}]})",
                       "disks[0].sanitize: expected a list"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "bus": "SATA", "sanitize": ["block"]}]})",
                       "disks[0].sanitize: only a disk whose bus is \"NVMe\""},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "bus": "NVMe", "hiddenSectors": 8}]})",
                       "disks[0].hiddenSectors: only a disk whose bus is \"SATA\" or \"ATA\""},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "securityFrozen": true}]})",
                       "disks[0].securityFrozen: only a disk whose bus"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "bus": "NVMe", "sanitizeSeconds": -1}]})",
                       "disks[0].sanitizeSeconds: expected a whole number from 0 to 86400"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "bus": "NVMe", "sanitizeLog": 0}]})",
                       "disks[0].sanitizeLog: expected true or false"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "colour": "red"}]})",
                       "disks[0]: unknown field \"colour\""},
        BadDescription{R"({"disks": [{"number": 0, "size": 512}, {"number": 0, "size": 512}]})",
                       "disks[1].number: disk 0 is described twice"},
        BadDescription{R"({"disks": [{"number": 0, "size": 512, "image": "a.img"},
                                     {"number": 1, "size": 512, "image": "a.img"}]})",
                       "disks[1].image: "},
        BadDescription{R"({"volumes": [{"disk": -1}]})", "volumes[0].letter: missing"},
        BadDescription{R"({"volumes": [{"letter": "CD"}]})", "volumes[0].letter: expected one drive letter"},
        BadDescription{R"({"volumes": [{"letter": "1"}]})", "volumes[0].letter: expected one drive letter"},
        BadDescription{R"({"volumes": [{"letter": "C"}, {"letter": "c"}]})",
                       "volumes[1].letter: C: is described twice"},
        BadDescription{R"({"volumes": [{"letter": "C", "driveType": "floppy"}]})", "volumes[0].driveType: expected"},
        BadDescription{R"({"volumes": [{"letter": "C", "driveType": 7}]})", "volumes[0].driveType: expected"},
        BadDescription{R"({"volumes": [{"letter": "C", "lock": "sometimes"}]})", "volumes[0].lock: expected"},
        BadDescription{R"({"volumes": [{"letter": "C", "fileSystem": "ReFS"}]})",
                       "volumes[0].fileSystem: \"ReFS\" is not"},
        BadDescription{R"({"volumes": [{"letter": "C", "disk": 3, "length": 4096}]})",
                       "volumes[0].disk: no disk 3 is described"},
        BadDescription{R"({"volumes": [{"letter": "C", "secondDisk": -4}]})", "volumes[0].secondDisk: "},
        BadDescription{kNoLength.c_str(), "volumes[0].length: a volume on a disk needs a length"},
        BadDescription{kPastEnd.c_str(), "volumes[0].length: the volume ends past the end of disk 0"},
        BadDescription{kOverlap.c_str(), "volumes[1].offset: the volume overlaps volumes[0] on disk 0"},
        BadDescription{kTooBigFileSystem.c_str(), "volumes[0].fileSystemSize: larger than"}));

TEST(SimDescriptionTest, LoadRefusesABrokenMachineAndKeepsTheOldOne) {
  std::string error;
  ASSERT_TRUE(sim::Load(SmallMachine(), &error)) << error;
  sim::Machine broken = SmallMachine();
  broken.volumes[1].offset = 8 * kMiB;  // D: now overlaps C:
  EXPECT_FALSE(sim::Load(broken, &error));
  EXPECT_EQ(error, "volumes[1].offset: the volume overlaps volumes[0] on disk 0");
  EXPECT_EQ(sim::CurrentMachine().volumes[1].offset, 9 * kMiB);
  std::string fileSystem;
  EXPECT_TRUE(platform::VolumeInformation("D:\\", nullptr, &fileSystem));
}

}  // namespace
}  // namespace sim_test
