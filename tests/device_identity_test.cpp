// What a disk says of itself: the raw storage descriptors as drivers answer them (whole, cut
// short, empty, padded, broken), the simulated disks answering through the same call, and the
// disk list's " Model" column.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/target_lists.h"
#include "devices/disk_identity.h"
#include "devices/inventory.h"
#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "tests/inventory_fixture.h"
#include "ui/headless/headless.h"

namespace {

using platform::DeviceAnswer;
using platform::DeviceIdentity;

// A STORAGE_DEVICE_DESCRIPTOR laid out by hand, so a case can place a text anywhere, or an
// offset nowhere.
class Descriptor {
 public:
  Descriptor() : bytes_(40, 0) {
    Put32(0, 40);
    Put32(4, 40);
  }
  Descriptor& Removable(bool removable) {
    bytes_[10] = removable ? 1 : 0;
    return *this;
  }
  Descriptor& Bus(std::uint32_t code) {
    Put32(28, code);
    return *this;
  }
  // Appends the text with its NUL and stores its offset in the field at `field`.
  Descriptor& Text(std::size_t field, const std::string& text) {
    Put32(field, static_cast<std::uint32_t>(bytes_.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
    Put32(4, static_cast<std::uint32_t>(bytes_.size()));
    return *this;
  }
  Descriptor& Offset(std::size_t field, std::uint32_t offset) {
    Put32(field, offset);
    return *this;
  }
  Descriptor& ClaimedSize(std::uint32_t size) {
    Put32(4, size);
    return *this;
  }
  std::vector<std::uint8_t> Bytes(std::size_t returned = SIZE_MAX) const {
    return std::vector<std::uint8_t>(bytes_.begin(), bytes_.begin() + std::min(returned, bytes_.size()));
  }

 private:
  void Put32(std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  std::vector<std::uint8_t> bytes_;
};

constexpr std::size_t kVendor = 12;
constexpr std::size_t kProduct = 16;
constexpr std::size_t kRevision = 20;
constexpr std::size_t kSerial = 24;
constexpr std::uint32_t kBusSata = 11;
constexpr std::uint32_t kBusUsb = 7;

struct DescriptorCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  bool read;
  DeviceIdentity expected;
};

DeviceIdentity Identity(const std::string& vendor, const std::string& product, const std::string& revision,
                        const std::string& serial, const std::string& bus, DeviceAnswer removable) {
  DeviceIdentity identity;
  identity.vendor = vendor;
  identity.product = product;
  identity.revision = revision;
  identity.serial = serial;
  identity.bus = bus;
  identity.removableMedia = removable;
  return identity;
}

void ExpectSameIdentity(const DeviceIdentity& actual, const DeviceIdentity& expected, const char* name) {
  EXPECT_EQ(actual.vendor, expected.vendor) << name;
  EXPECT_EQ(actual.product, expected.product) << name;
  EXPECT_EQ(actual.revision, expected.revision) << name;
  EXPECT_EQ(actual.serial, expected.serial) << name;
  EXPECT_EQ(actual.bus, expected.bus) << name;
  EXPECT_EQ(actual.removableMedia, expected.removableMedia) << name;
  EXPECT_EQ(actual.solidState, expected.solidState) << name;
}

TEST(DeviceDescriptorTest, ReadsWhatIsThereAndLeavesTheRestUnknown) {
  const Descriptor whole = Descriptor()
                               .Removable(false)
                               .Bus(kBusSata)
                               .Text(kVendor, "DUNMERE")
                               .Text(kProduct, "VIRTUAL DISK 256")
                               .Text(kRevision, "1.0")
                               .Text(kSerial, "DM0001");
  const std::size_t serialAt = whole.Bytes().size() - 7;  // "DM0001" and its NUL close the answer
  const std::vector<DescriptorCase> cases = {
      {"complete", whole.Bytes(), true,
       Identity("DUNMERE", "VIRTUAL DISK 256", "1.0", "DM0001", "SATA", DeviceAnswer::No)},
      // A buffer too small for the serial number: the texts that arrived whole are kept.
      {"cut short inside the serial", whole.Bytes(serialAt + 3), true,
       Identity("DUNMERE", "VIRTUAL DISK 256", "1.0", "", "SATA", DeviceAnswer::No)},
      {"only the header and the removable flag", whole.Bytes(11), true,
       Identity("", "", "", "", "", DeviceAnswer::No)},
      {"header only", whole.Bytes(8), true, Identity("", "", "", "", "", DeviceAnswer::Unknown)},
      {"nothing", {}, false, Identity("", "", "", "", "", DeviceAnswer::Unknown)},
      {"seven bytes", whole.Bytes(7), false, Identity("", "", "", "", "", DeviceAnswer::Unknown)},
      {"serial with blanks around it",
       Descriptor().Removable(true).Bus(kBusUsb).Text(kProduct, "  POCKET STICK ").Text(kSerial, "    DMS0003  ").Bytes(),
       true, Identity("", "POCKET STICK", "", "DMS0003", "USB", DeviceAnswer::Yes)},
      {"serial of blanks only", Descriptor().Text(kSerial, "        ").Bytes(), true,
       Identity("", "", "", "", "", DeviceAnswer::No)},
      {"offsets past the answer, into the fixed part, and into the header",
       Descriptor().Text(kProduct, "GOOD").Offset(kSerial, 4000).Offset(kVendor, 20).Offset(kRevision, 2).Bytes(),
       true, Identity("", "GOOD", "", "", "", DeviceAnswer::No)},
      {"a text without its terminator",
       [] {
         std::vector<std::uint8_t> bytes = Descriptor().Text(kSerial, "ABC").Bytes();
         bytes.back() = 'D';
         return bytes;
       }(),
       true, Identity("", "", "", "", "", DeviceAnswer::No)},
      {"a text with a control byte and one with a byte above 0x7E",
       Descriptor().Text(kProduct, "BAD\x07NAME").Text(kSerial, "S\xC3\xA9RIAL").Text(kVendor, "OK").Bytes(), true,
       Identity("OK", "", "", "", "", DeviceAnswer::No)},
      // The driver's own Size bounds the texts even when more bytes came back.
      {"texts beyond the size the descriptor claims",
       Descriptor().Text(kProduct, "INSIDE").Text(kSerial, "BEYOND").ClaimedSize(40 + 7).Bytes(), true,
       Identity("", "INSIDE", "", "", "", DeviceAnswer::No)},
      {"a bus code past the known ones", Descriptor().Bus(0x7F).Bytes(), true,
       Identity("", "", "", "", "", DeviceAnswer::No)},
  };
  for (const DescriptorCase& c : cases) {
    DeviceIdentity identity;
    EXPECT_EQ(platform::ReadDeviceDescriptor(c.bytes.data(), c.bytes.size(), &identity), c.read) << c.name;
    ExpectSameIdentity(identity, c.expected, c.name);
  }
}

TEST(DeviceDescriptorTest, SeekPenaltyTellsSolidStateOnlyWhenTheFlagArrived) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    bool read;
    DeviceAnswer solidState;
  };
  const std::vector<Case> cases = {
      {{12, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0}, true, DeviceAnswer::Yes},  // no seek penalty
      {{12, 0, 0, 0, 12, 0, 0, 0, 1, 0, 0, 0}, true, DeviceAnswer::No},
      {{12, 0, 0, 0, 12, 0, 0, 0}, false, DeviceAnswer::Unknown},         // cut before the flag
      {{12, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0}, false, DeviceAnswer::Unknown},  // claims no flag
      {{}, false, DeviceAnswer::Unknown},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    DeviceIdentity identity;
    EXPECT_EQ(platform::ReadSeekPenaltyDescriptor(cases[i].bytes.data(), cases[i].bytes.size(), &identity),
              cases[i].read)
        << "case " << i;
    EXPECT_EQ(identity.solidState, cases[i].solidState) << "case " << i;
  }
}

TEST(DeviceDescriptorTest, BusNamesAndCodesGoBothWays) {
  for (std::uint32_t code = 1; code <= 0x13; ++code) {
    const std::string name = platform::BusTypeName(code);
    EXPECT_FALSE(name.empty()) << code;
    EXPECT_EQ(platform::BusTypeCode(name), code) << name;
  }
  EXPECT_EQ(platform::BusTypeName(0), "");
  EXPECT_EQ(platform::BusTypeCode("Thunderbolt"), 0u);
}

// ---- The simulated disks and the disk list ----------------------------------------------------

using inventory_test::kMiB;
using inventory_test::MakeDisk;

class DiskIdentityTest : public inventory_test::MachineTest {
 protected:
  static sim::Disk NamedDisk(int number, const std::string& model, const std::string& serial, const std::string& bus,
                             DeviceAnswer solidState) {
    sim::Disk disk = MakeDisk(number, 8 * kMiB);
    disk.model = model;
    disk.serial = serial;
    disk.bus = bus;
    disk.solidState = solidState;
    return disk;
  }
};

TEST_F(DiskIdentityTest, SimulatedDisksAnswerThroughTheQuery) {
  sim::Machine machine = inventory_test::EmptyMachine();
  machine.disks = {NamedDisk(0, "DUNMERE VIRTUAL DISK 256", "  DM0001 ", "NVMe", DeviceAnswer::Yes),
                   NamedDisk(1, "", "", "", DeviceAnswer::Unknown),
                   NamedDisk(2, "", "", "", DeviceAnswer::No)};
  Load(machine);

  const DeviceIdentity named = DiskIdentity(0);
  EXPECT_EQ(named.product, "DUNMERE VIRTUAL DISK 256");
  EXPECT_EQ(named.serial, "DM0001");
  EXPECT_EQ(named.bus, "NVMe");
  EXPECT_EQ(named.removableMedia, DeviceAnswer::No);
  EXPECT_EQ(named.solidState, DeviceAnswer::Yes);

  // A disk that answers nothing, and one that answers only the seek-penalty query.
  platform::Device silent = platform::OpenDevice("\\\\.\\physicaldrive1", platform::Access::QueryOnly);
  DeviceIdentity nothing;
  EXPECT_FALSE(platform::QueryDeviceIdentity(silent, &nothing));
  EXPECT_EQ(ModelAndSerialText(nothing), "");
  EXPECT_EQ(nothing.solidState, DeviceAnswer::Unknown);
  EXPECT_EQ(DiskIdentity(2).solidState, DeviceAnswer::No);
  EXPECT_EQ(DiskIdentity(2).product, "");

  // A volume is no disk, and a number out of range is not asked at all.
  platform::Device volume = platform::OpenDevice("\\\\.\\C:", platform::Access::QueryOnly);
  DeviceIdentity ofVolume;
  EXPECT_FALSE(platform::QueryDeviceIdentity(volume, &ofVolume));
  sim::ClearCalls();
  EXPECT_EQ(DiskIdentity(kUnknownDisk).product, "");
  EXPECT_TRUE(sim::Calls().empty());
}

TEST_F(DiskIdentityTest, ModelColumnNamesModelAndSerialAtTheRightEndOfTheDiskList) {
  sim::Machine machine = inventory_test::EmptyMachine();
  machine.disks = {NamedDisk(0, "DUNMERE VIRTUAL DISK 256", "DM0001", "SATA", DeviceAnswer::No),
                   NamedDisk(1, "DUNMERE VIRTUAL DISK 64", "", "USB", DeviceAnswer::Unknown),
                   NamedDisk(2, "", "DM0003", "", DeviceAnswer::Unknown),
                   NamedDisk(3, "", "", "", DeviceAnswer::Unknown)};
  machine.volumes = {inventory_test::MakeVolume('C', 0, kMiB, 4 * kMiB, "NTFS", "System")};
  Load(machine);
  RefreshDriveList();
  RefreshDiskList();

  const std::vector<std::vector<std::string>> rows = headless::Rows(ui::List::Disk);
  ASSERT_EQ(rows.size(), 4u);
  // The specified columns keep their places; the model comes last.
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Disk0", "8 MB", "C:\\ [System] ",
                                                "DUNMERE VIRTUAL DISK 256 \xC2\xB7 S/N DM0001"}));
  EXPECT_EQ(rows[1][3], "DUNMERE VIRTUAL DISK 64");
  EXPECT_EQ(rows[2][3], "S/N DM0003");
  EXPECT_EQ(rows[3][3], "");
}

}  // namespace
