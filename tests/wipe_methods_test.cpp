// The method table, the pass captions, the random source and the pass buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "wipe/methods.h"
#include "wipe/pass_buffer.h"
#include "wipe/random_source.h"

namespace {

using Kind = PatternKind;

struct MethodCase {
  int id;
  const char* boxText;
  std::vector<PassPattern> passes;
};

// Fixed bytes matter for Fixed passes only.
const MethodCase kMethods[] = {
    {0, "Standard overwrite (overwrite with zeros) (1 pass)", {{Kind::Fixed, 0x00}}},
    {1, "US Dept. of Defense DoD 5220.22-M (E) (3 passes)",
     {{Kind::Fixed, 0x00}, {Kind::Fixed, 0xFF}, {Kind::Random, 0}}},
    {2, "US Dept. of Defense DoD 5220.22-M(ECE) (7 passes)",
     {{Kind::Drawn, 0}, {Kind::Complement, 0}, {Kind::Random, 0}, {Kind::Random, 0}, {Kind::Drawn, 0},
      {Kind::Complement, 0}, {Kind::Random, 0}}},
    {3, "US Army AR380-19  (3 passes)", {{Kind::Random, 0}, {Kind::Drawn, 0}, {Kind::Complement, 0}}},
    {4, "Russian GOST P50739-95 (2 passes)", {{Kind::Fixed, 0x00}, {Kind::Random, 0}}},
};

TEST(WipeMethodTable, IdsBoxTextsAndPassPatterns) {
  for (const MethodCase& expected : kMethods) {
    SCOPED_TRACE(expected.id);
    const WipeMethod& method = WipeMethods[expected.id];
    EXPECT_EQ(method.id, expected.id);
    EXPECT_STREQ(method.boxText, expected.boxText);
    ASSERT_EQ(method.passCount, static_cast<int>(expected.passes.size()));
    for (int pass = 0; pass < method.passCount; ++pass) {
      EXPECT_EQ(method.passes[pass].kind, expected.passes[pass].kind) << "pass " << pass + 1;
      if (expected.passes[pass].kind == Kind::Fixed) {
        EXPECT_EQ(method.passes[pass].fixedByte, expected.passes[pass].fixedByte) << "pass " << pass + 1;
      }
    }
  }
}

TEST(WipeMethodTable, PassCaptionSuffixes) {
  struct Case {
    int id;
    int pass;
    const char* suffix;
  };
  const Case cases[] = {
      {0, 0, " with standard overwrite, performing overwrite 1 of 1"},
      {1, 0, " with DoD 5220.22-M(E), performing overwrite 1 of 3"},
      {1, 1, " with DoD 5220.22-M(E), performing overwrite 2 of 3"},
      {1, 2, " with DoD 5220.22-M(E), performing overwrite 3 of 3"},
      {2, 0, " with US DoD 5220.22-M(ECE), performing overwrite 1 of 7"},
      {2, 1, " with DoD 5220.22-M(ECE), performing overwrite 2 of 7"},
      {2, 2, " with DoD 5220.22-M(ECE), performing overwrite 3 of 7"},
      {2, 3, " with DoD 5220.22-M(ECE), performing overwrite 4 of 7"},
      {2, 4, " with DoD 5220.22-M(ECE), performing overwrite 5 of 7"},
      {2, 5, " with DoD 5220.22-M(ECE), performing overwrite 6 of 7"},
      {2, 6, " with DoD 5220.22-M(ECE), performing overwrite 7 of 7"},
      {3, 0, " with US Army AR380-19, performing overwrite 1 of 3"},
      {3, 1, " with US Army AR380-19, performing overwrite 2 of 3"},
      {3, 2, " with US Army AR380-19, performing overwrite 3 of 3"},
      {4, 0, " with Russian GOST P50739-95, performing overwrite 1 of 2"},
      {4, 1, " with Russian GOST P50739-95, performing overwrite 2 of 2"},
  };
  for (const Case& c : cases) EXPECT_EQ(PassCaptionSuffix(c.id, c.pass), c.suffix);
}

// ---- Random source --------------------------------------------------------------------------

TEST(RandomSource, DrawsTheTopByteOfEachNewState) {
  std::uint32_t state = 0;
  EXPECT_EQ(NextRandomByte(&state), 0x00);  // state 1
  EXPECT_EQ(state, 1u);
  EXPECT_EQ(NextRandomByte(&state), 0x08);  // 134775814 = 0x0808_8406
  EXPECT_EQ(state, 134775814u);
  state = 0xFFFFFFFFu;  // wraps modulo 2^32: 0xFFFFFFFF * 134775813 + 1 = 2^32 * k - 134775812
  EXPECT_EQ(NextRandomByte(&state), static_cast<std::uint8_t>((0u - 134775812u) >> 24));
}

// Every kernel of the fast fill must give the one-draw-per-byte stream exactly, for lengths
// that do not fill its last group of lanes, and leave the generator where the draws would.
TEST(RandomSource, FastFillMatchesOneDrawPerByte) {
  const std::uint32_t seeds[] = {0u, 1u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu};
  const std::size_t lengths[] = {0, 1, 3, 31, 32, 33, 63, 64, 65, 127, 128, 129, 1000, 4099, kBlockSize, kBlockSize + 7};
  const RandomKernel kernels[] = {RandomKernel::Plain, RandomKernel::Sse41, RandomKernel::Avx2};
  std::vector<std::uint8_t> fast(kBlockSize + 7);
  std::vector<std::uint8_t> slow(kBlockSize + 7);
  for (RandomKernel kernel : kernels) {
    if (!RandomKernelAvailable(kernel)) continue;
    for (std::uint32_t seed : seeds) {
      for (std::size_t length : lengths) {
        std::uint32_t fastState = seed;
        std::uint32_t slowState = seed;
        std::memset(fast.data(), 0xEE, fast.size());
        FillRandomBytesWith(kernel, &fastState, fast.data(), length);
        FillRandomBytesOneByOne(&slowState, slow.data(), length);
        ASSERT_EQ(0, std::memcmp(fast.data(), slow.data(), length))
            << "kernel " << static_cast<int>(kernel) << " seed " << seed << " length " << length;
        ASSERT_EQ(fastState, slowState) << "kernel " << static_cast<int>(kernel) << " length " << length;
        if (length < fast.size()) {
          EXPECT_EQ(fast[length], 0xEE) << "wrote past the end";
        }
      }
    }
  }
}

class RandomSeedTest : public ::testing::Test {
 protected:
  void LoadMachine(bool performanceCounter) {
    sim::Machine machine;
    machine.performanceCounter = performanceCounter;
    std::string error;
    ASSERT_TRUE(sim::Load(machine, &error)) << error;
  }
};

TEST_F(RandomSeedTest, SeedIsTheTickCountWithoutAPerformanceCounter) {
  LoadMachine(false);
  sim::AdvanceClock(1234);
  std::uint32_t expected = platform::TickCount();
  SeedRandomSource();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(DrawRandomByte(), NextRandomByte(&expected));
}

TEST_F(RandomSeedTest, SeedIsTheLowPartOfThePerformanceCounter) {
  LoadMachine(true);
  sim::AdvanceClock(500000000);  // pushes the 10 MHz counter past 2^32
  std::uint64_t before = 0;
  ASSERT_TRUE(platform::PerformanceCounter(&before));
  ASSERT_GT(before, 0xFFFFFFFFull);
  SeedRandomSource();  // the simulated counter moves by one per query
  std::uint32_t expected = static_cast<std::uint32_t>(before + 1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(DrawRandomByte(), NextRandomByte(&expected));
}

// ---- Pass buffers -----------------------------------------------------------------------------

class PassBufferTest : public RandomSeedTest {
 protected:
  void SetUp() override {
    LoadMachine(true);
    buffer_ = AllocateBlockBuffer();
    ASSERT_TRUE(buffer_);
  }
  std::uint8_t* Buffer() { return buffer_.get(); }
  bool Uniform(std::uint8_t value) {
    for (std::uint32_t i = 0; i < kBlockSize; ++i) {
      if (buffer_[i] != value) return false;
    }
    return true;
  }
  std::size_t DistinctValues() {
    std::set<std::uint8_t> seen(buffer_.get(), buffer_.get() + kBlockSize);
    return seen.size();
  }
  BlockBuffer buffer_;
};

// The passes whose content is known: fixed bytes, complements of what the buffer held, and the
// resume override, which replaces drawn bytes and complements but never fixed bytes.
TEST_F(PassBufferTest, FixedComplementAndResumeOverride) {
  struct Case {
    int id;
    int pass;
    bool resumed;
    std::uint8_t fillByte;
    std::uint8_t before;
    std::uint8_t expected;
  };
  const Case cases[] = {
      {0, 0, false, 0x77, 0x33, 0x00},
      {0, 0, true, 0x77, 0x33, 0x00},  // fixed passes are never overridden
      {1, 1, false, 0x77, 0x00, 0xFF},
      {1, 1, true, 0x77, 0x00, 0xFF},
      {2, 1, false, 0x00, 0x5A, 0xA5},  // complement of the drawn pass before
      {2, 5, false, 0x00, 0x0F, 0xF0},
      {3, 2, false, 0x00, 0xC3, 0x3C},
      {2, 0, true, 0x5A, 0x00, 0x5A},   // a resumed drawn pass keeps writing its byte
      {2, 1, true, 0x5A, 0x00, 0x5A},   // a resumed complement pass takes the byte unchanged
      {2, 4, true, 0x81, 0x00, 0x81},
      {3, 1, true, 0x3C, 0x00, 0x3C},
      {3, 2, true, 0x3C, 0xFF, 0x3C},
  };
  for (const Case& c : cases) {
    std::memset(Buffer(), c.before, kBlockSize);
    PreparePassBuffer(WipeMethods[c.id], c.pass, c.resumed, c.fillByte, Buffer());
    EXPECT_TRUE(Uniform(c.expected)) << "method " << c.id << " pass " << c.pass + 1 << " resumed " << c.resumed
                                     << ": first byte " << int(Buffer()[0]);
  }
}

TEST_F(PassBufferTest, DrawnPassRepeatsOneByteAndRandomPassDrawsEveryByte) {
  PreparePassBuffer(WipeMethods[2], 0, false, 0, Buffer());
  EXPECT_TRUE(Uniform(Buffer()[0]));
  std::memset(Buffer(), 0, kBlockSize);
  PreparePassBuffer(WipeMethods[4], 1, false, 0, Buffer());
  EXPECT_GT(DistinctValues(), 250u);
  // A resumed random-data pass draws new data too; it is not filled with the fill byte.
  PreparePassBuffer(WipeMethods[4], 1, true, 0x42, Buffer());
  EXPECT_GT(DistinctValues(), 250u);
}

// The buffer drawn at the start of the pass serves 9 blocks, every later one 10.
TEST_F(PassBufferTest, RandomDataIsRedrawnBeforeEveryTenthBlockOfThePass) {
  PreparePassBuffer(WipeMethods[1], 2, false, 0, Buffer());
  int counter = 0;
  std::vector<int> redrawnBefore;
  for (int block = 1; block <= 35; ++block) {
    std::vector<std::uint8_t> before(Buffer(), Buffer() + 64);
    const bool redrawn = AdvanceRandomData(&counter, Buffer());
    if (redrawn) redrawnBefore.push_back(block);
    EXPECT_EQ(redrawn, std::memcmp(before.data(), Buffer(), 64) != 0) << "block " << block;
  }
  EXPECT_EQ(redrawnBefore, (std::vector<int>{10, 20, 30}));
}

}  // namespace
