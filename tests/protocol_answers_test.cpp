// What a disk says it can do to itself: the raw NVMe Identify Controller, Sanitize Status log
// and ATA IDENTIFY DEVICE answers (whole, cut short, empty, nonsense), the envelope Windows puts
// around them, the task file of READ NATIVE MAX ADDRESS EXT, and the simulated disks answering
// through the same readers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes* bytes, std::size_t at, std::uint16_t value) {
  (*bytes)[at] = static_cast<std::uint8_t>(value);
  (*bytes)[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(Bytes* bytes, std::size_t at, std::uint32_t value) {
  Put16(bytes, at, static_cast<std::uint16_t>(value));
  Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void PutText(Bytes* bytes, std::size_t at, std::size_t width, const std::string& text) {
  for (std::size_t i = 0; i < width; ++i) (*bytes)[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

// ---- NVMe Identify Controller ------------------------------------------------------------------

Bytes NvmeIdentify(std::uint32_t sanicap, std::uint8_t fna) {
  Bytes bytes(4096, 0);
  PutText(&bytes, 4, 20, "  SN-0042");
  PutText(&bytes, 24, 40, "DUNMERE NVME 512");
  Put32(&bytes, 328, sanicap);
  bytes[524] = fna;
  return bytes;
}

TEST(ProtocolAnswersTest, NvmeIdentifyControllerGivesTheSanitizeActionsWhereTheyArrived) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool read;
    bool crypto, block, overwrite, cryptoByFormat;
  };
  Bytes nonsense(4096);
  for (std::size_t i = 0; i < nonsense.size(); ++i) nonsense[i] = static_cast<std::uint8_t>(i * 37 + 11);
  Bytes reservedBits = NvmeIdentify(0xFFFFFFF8u | 0x2, 0xFB);  // only bit 1 and no FNA bit 2
  const std::vector<Case> cases = {
      {"crypto and block, crypto by format", NvmeIdentify(0x3, 0x04), true, true, true, false, true},
      {"all three", NvmeIdentify(0x7, 0x00), true, true, true, true, false},
      {"none", NvmeIdentify(0x0, 0x00), true, false, false, false, false},
      {"reserved bits set around the ones read", reservedBits, true, false, true, false, false},
      {"cut short before SANICAP", Cut(NvmeIdentify(0x7, 0x04), 330), true, false, false, false, false},
      {"cut short before FNA", Cut(NvmeIdentify(0x1, 0x04), 524), true, true, false, false, false},
      {"cut inside the model", Cut(NvmeIdentify(0x7, 0x04), 60), false, false, false, false, false},
      {"empty", {}, false, false, false, false, false},
      {"all zeros: no model", Bytes(4096, 0), false, false, false, false, false},
      {"nonsense", nonsense, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    platform::NvmeController controller;
    EXPECT_EQ(platform::ReadNvmeIdentifyController(c.bytes.data(), c.bytes.size(), &controller), c.read) << c.name;
    EXPECT_EQ(controller.cryptoErase, c.crypto) << c.name;
    EXPECT_EQ(controller.blockErase, c.block) << c.name;
    EXPECT_EQ(controller.overwrite, c.overwrite) << c.name;
    EXPECT_EQ(controller.cryptoEraseByFormat, c.cryptoByFormat) << c.name;
    if (c.read) {
      EXPECT_EQ(controller.model, "DUNMERE NVME 512") << c.name;
      EXPECT_EQ(controller.serial, "SN-0042") << c.name;
    }
  }
}

// ---- Sanitize Status log page ------------------------------------------------------------------

Bytes SanitizeLog(std::uint16_t sprog, std::uint16_t sstat, std::uint32_t cryptoSeconds) {
  Bytes bytes(512, 0);
  Put16(&bytes, 0, sprog);
  Put16(&bytes, 2, sstat);
  Put32(&bytes, 8, 0xFFFFFFFFu);
  Put32(&bytes, 12, 120);
  Put32(&bytes, 16, cryptoSeconds);
  return bytes;
}

TEST(ProtocolAnswersTest, SanitizeStatusLogGivesStateProgressAndEstimates) {
  using platform::SanitizeState;
  struct Case {
    const char* name;
    Bytes bytes;
    bool read;
    SanitizeState state;
    std::uint32_t progress;
    bool erased;
    std::uint32_t blockSeconds, cryptoSeconds;
  };
  const std::uint32_t none = platform::kNoEstimate;
  const std::vector<Case> cases = {
      {"never sanitized", SanitizeLog(0xFFFF, 0x0, 10), true, SanitizeState::NeverSanitized, 0xFFFF, false, 120, 10},
      {"half-way", SanitizeLog(0x8000, 0x2, 10), true, SanitizeState::InProgress, 0x8000, false, 120, 10},
      {"done, data erased", SanitizeLog(0xFFFF, 0x101, 10), true, SanitizeState::Succeeded, 0xFFFF, true, 120, 10},
      {"done without deallocating", SanitizeLog(0xFFFF, 0x4, 10), true, SanitizeState::Succeeded, 0xFFFF, false,
       120, 10},
      {"failed, passes counted above the state", SanitizeLog(0, 0x3 | 0x18, 10), true, SanitizeState::Failed, 0,
       false, 120, 10},
      {"cut short before the estimates", Cut(SanitizeLog(0x4000, 0x2, 10), 8), true, SanitizeState::InProgress,
       0x4000, false, none, none},
      {"cut inside the crypto estimate", Cut(SanitizeLog(0x4000, 0x2, 10), 18), true, SanitizeState::InProgress,
       0x4000, false, 120, none},
      {"cut inside SSTAT", Cut(SanitizeLog(0x4000, 0x2, 10), 3), false, SanitizeState::NeverSanitized, 0, false,
       none, none},
      {"empty", {}, false, SanitizeState::NeverSanitized, 0, false, none, none},
      {"a state code no disk sends", SanitizeLog(0, 0x6, 10), false, SanitizeState::NeverSanitized, 0, false, none,
       none},
  };
  for (const Case& c : cases) {
    platform::SanitizeStatus status;
    EXPECT_EQ(platform::ReadSanitizeStatusLog(c.bytes.data(), c.bytes.size(), &status), c.read) << c.name;
    EXPECT_EQ(status.state, c.state) << c.name;
    EXPECT_EQ(status.progress, c.progress) << c.name;
    EXPECT_EQ(status.globalDataErased, c.erased) << c.name;
    EXPECT_EQ(status.blockEraseSeconds, c.blockSeconds) << c.name;
    EXPECT_EQ(status.cryptoEraseSeconds, c.cryptoSeconds) << c.name;
  }
}

// ---- ATA IDENTIFY DEVICE -----------------------------------------------------------------------

class AtaWords {
 public:
  AtaWords() : bytes_(512, 0) {
    Word(83, 0x4000 | 1u << 10);  // valid, 48-bit
    Word(87, 0x4000);
  }
  AtaWords& Word(std::size_t index, std::uint16_t value) {
    Put16(&bytes_, 2 * index, value);
    return *this;
  }
  AtaWords& Sectors48(std::uint64_t sectors) {
    for (int i = 0; i < 4; ++i) Word(100 + i, static_cast<std::uint16_t>(sectors >> (16 * i)));
    return *this;
  }
  // Signature A5h and the byte that makes all 512 sum to zero.
  Bytes Signed() const {
    Bytes bytes = bytes_;
    bytes[510] = 0xA5;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    bytes[511] = static_cast<std::uint8_t>(-sum);
    return bytes;
  }
  Bytes Plain() const { return bytes_; }

 private:
  Bytes bytes_;
};

TEST(ProtocolAnswersTest, AtaIdentifyGivesSanitizeHiddenAreaSizeAndSecurity) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool read;
    bool sanitize, crypto, overwrite, block;
    bool hpaSupported, hpaEnabled;
    std::uint64_t sectors;
    bool securitySupported, frozen, locked;
  };
  const AtaWords full = AtaWords()
                            .Word(59, 0xF000)
                            .Word(82, 1u << 10)
                            .Word(85, 1u << 10)
                            .Word(60, 0xFFFF)
                            .Word(61, 0x0FFF)
                            .Sectors48(0x1'2345'6789ull)
                            .Word(128, 0x0009);
  Bytes badChecksum = full.Signed();
  badChecksum[511] ^= 1;
  Bytes atapi = AtaWords().Word(0, 0x8580).Signed();
  const std::vector<Case> cases = {
      {"complete, signed", full.Signed(), true, true, true, true, true, true, true, 0x1'2345'6789ull, true, true,
       false},
      {"complete, unsigned", full.Plain(), true, true, true, true, true, true, true, 0x1'2345'6789ull, true, true,
       false},
      // Bits 13-15 mean nothing without the feature set itself (bit 12).
      {"sanitize bits without the feature set", AtaWords().Word(59, 0xE000).Signed(), true, false, false, false,
       false, false, false, 0, false, false, false},
      // Words 82-87 with no validity marker: a disk that does not fill them.
      {"no marker on words 83 and 87",
       AtaWords().Word(83, 0xFFFF).Word(87, 0xFFFF).Word(82, 0xFFFF).Word(85, 0xFFFF).Word(60, 100).Signed(), true,
       false, false, false, false, false, false, 100, false, false, false},
      {"28-bit only", AtaWords().Word(83, 0x4000).Word(60, 0x5000).Word(61, 0x1).Sectors48(7).Signed(), true, false,
       false, false, false, false, false, 0x15000, false, false, false},
      {"security bits without support", AtaWords().Word(128, 0x000E).Signed(), true, false, false, false, false,
       false, false, 0, false, false, false},
      {"locked", AtaWords().Word(128, 0x0007).Signed(), true, false, false, false, false, false, false, 0, true,
       false, true},
      {"cut short before the size", Cut(full.Plain(), 120), true, true, true, true, true, false, false, 0, false,
       false, false},
      {"cut inside word 59", Cut(full.Plain(), 119), false, false, false, false, false, false, false, 0, false,
       false, false},
      {"empty", {}, false, false, false, false, false, false, false, 0, false, false, false},
      {"checksum does not hold", badChecksum, false, false, false, false, false, false, false, 0, false, false,
       false},
      {"an ATAPI device", atapi, false, false, false, false, false, false, false, 0, false, false, false},
  };
  for (const Case& c : cases) {
    platform::AtaIdentify identify;
    EXPECT_EQ(platform::ReadAtaIdentify(c.bytes.data(), c.bytes.size(), &identify), c.read) << c.name;
    EXPECT_EQ(identify.sanitize, c.sanitize) << c.name;
    EXPECT_EQ(identify.cryptoScramble, c.crypto) << c.name;
    EXPECT_EQ(identify.overwrite, c.overwrite) << c.name;
    EXPECT_EQ(identify.blockErase, c.block) << c.name;
    EXPECT_EQ(identify.hpaSupported, c.hpaSupported) << c.name;
    EXPECT_EQ(identify.hpaEnabled, c.hpaEnabled) << c.name;
    EXPECT_EQ(identify.sectors, c.sectors) << c.name;
    EXPECT_EQ(identify.securitySupported, c.securitySupported) << c.name;
    EXPECT_EQ(identify.securityFrozen, c.frozen) << c.name;
    EXPECT_EQ(identify.securityLocked, c.locked) << c.name;
  }
}

// ---- The envelope and the task file ------------------------------------------------------------

Bytes Envelope(std::uint32_t dataOffset, std::uint32_t dataLength, std::size_t total) {
  Bytes bytes(total, 0);
  Put32(&bytes, 0, 48);
  Put32(&bytes, 4, 48);
  Put32(&bytes, 8 + 16, dataOffset);
  Put32(&bytes, 8 + 20, dataLength);
  return bytes;
}

TEST(ProtocolAnswersTest, ProtocolDataLiesWhollyInsideTheAnswer) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool found;
    std::size_t offset, length;
  };
  const std::vector<Case> cases = {
      {"right after the descriptor", Envelope(40, 4096, 48 + 4096), true, 48, 4096},
      {"further on", Envelope(56, 512, 48 + 16 + 512), true, 64, 512},
      {"one byte past the answer", Envelope(40, 4096, 48 + 4095), false, 0, 0},
      {"into the descriptor itself", Envelope(8, 16, 48 + 512), false, 0, 0},
      {"no data", Envelope(40, 0, 48), false, 0, 0},
      {"an offset that wraps", Envelope(0xFFFFFFF0u, 0x20, 48 + 512), false, 0, 0},
      {"cut inside the descriptor", Cut(Envelope(40, 4, 52), 40), false, 0, 0},
      {"empty", {}, false, 0, 0},
  };
  for (const Case& c : cases) {
    std::size_t offset = 0;
    std::size_t length = 0;
    EXPECT_EQ(platform::ProtocolDataPlace(c.bytes.data(), c.bytes.size(), &offset, &length), c.found) << c.name;
    EXPECT_EQ(offset, c.offset) << c.name;
    EXPECT_EQ(length, c.length) << c.name;
  }
}

TEST(ProtocolAnswersTest, NativeMaxAddressTakesBothRegistersUnlessTheStatusSaysError) {
  const std::uint8_t current[8] = {0, 0, 0xFF, 0x3F, 0x12, 0x40, 0x50, 0};
  const std::uint8_t previous[8] = {0, 0, 0x01, 0x02, 0x00, 0, 0, 0};
  std::uint64_t last = 0;
  ASSERT_TRUE(platform::ReadNativeMaxAddress(current, previous, &last));
  EXPECT_EQ(last, 0x0002'0112'3FFFull);
  for (std::uint8_t status : {std::uint8_t{0x51}, std::uint8_t{0xD0}}) {  // ERR, BSY
    std::uint8_t failed[8] = {0, 0, 1, 2, 3, 0x40, status, 0};
    last = 7;
    EXPECT_FALSE(platform::ReadNativeMaxAddress(failed, previous, &last)) << int{status};
    EXPECT_EQ(last, 7u);
  }
}

// ---- The simulated disks answer through the same readers ---------------------------------------

TEST(ProtocolAnswersTest, SimulatedDisksAnswerForTheirBusAndRefuseTheOtherProtocol) {
  sim::Machine machine;
  sim::Disk nvme = sim::MemoryDisk(0, 64ull << 20);
  nvme.bus = "NVMe";
  nvme.model = "DUNMERE NVME";
  nvme.sanitize = {"crypto", "block"};
  nvme.sanitizeSeconds = 90;
  sim::Disk sata = sim::MemoryDisk(1, 64ull << 20);
  sata.bus = "SATA";
  sata.hiddenSectors = 16384;
  sata.securityFrozen = true;
  machine.disks = {nvme, sata};
  std::string error;
  ASSERT_TRUE(sim::Load(machine, &error)) << error;

  platform::Device disk0 = platform::OpenDevice("\\\\.\\physicaldrive0", platform::Access::ReadWrite);
  platform::Device disk1 = platform::OpenDevice("\\\\.\\physicaldrive1", platform::Access::ReadWrite);
  platform::NvmeController controller;
  std::uint32_t code = 99;
  ASSERT_TRUE(platform::QueryNvmeController(disk0, &controller, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(controller.cryptoErase && controller.blockErase && !controller.overwrite);
  EXPECT_TRUE(controller.cryptoEraseByFormat);
  EXPECT_EQ(controller.model, "DUNMERE NVME");
  platform::SanitizeStatus status;
  ASSERT_TRUE(platform::QuerySanitizeStatus(disk0, &status, &code));
  EXPECT_EQ(status.state, platform::SanitizeState::NeverSanitized);
  EXPECT_EQ(status.cryptoEraseSeconds, 90u);
  EXPECT_EQ(status.overwriteSeconds, platform::kNoEstimate);

  platform::AtaIdentify identify;
  ASSERT_TRUE(platform::QueryAtaIdentify(disk1, &identify, &code));
  EXPECT_TRUE(identify.hpaSupported && identify.hpaEnabled && identify.securityFrozen);
  EXPECT_EQ(identify.sectors, (64ull << 20) / 512);
  std::uint64_t last = 0;
  ASSERT_TRUE(platform::QueryNativeMaxAddress(disk1, &last, &code));
  EXPECT_EQ(last + 1 - identify.sectors, 16384u);
  // The hidden sectors are in the image but past the end the disk reports.
  std::uint64_t length = 0;
  ASSERT_TRUE(platform::QueryLengthInfo(disk1, &length));
  EXPECT_EQ(length, 64ull << 20);

  EXPECT_FALSE(platform::QueryNvmeController(disk1, &controller, &code));
  EXPECT_EQ(code, 50u);
  EXPECT_FALSE(platform::QuerySanitizeStatus(disk1, &status, &code));
  EXPECT_EQ(code, 50u);
  EXPECT_FALSE(platform::QueryAtaIdentify(disk0, &identify, &code));
  EXPECT_EQ(code, 50u);
  EXPECT_FALSE(platform::QueryNativeMaxAddress(disk0, &last, &code));
  EXPECT_EQ(code, 50u);
}

}  // namespace
