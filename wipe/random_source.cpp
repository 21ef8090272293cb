#include "wipe/random_source.h"

#include <cstring>

#include "platform/platform.h"

namespace {

// Per thread: runs of several targets at once each draw their own sequence.
thread_local std::uint32_t SourceState = 0;
thread_local std::uint32_t SourceSeed = 0;

// x -> mul * x + add (mod 2^32): the effect of some number of draws on the state.
struct AffineStep {
  std::uint32_t mul;
  std::uint32_t add;
};

AffineStep Then(AffineStep first, AffineStep second) {
  return {second.mul * first.mul, second.mul * first.add + second.add};
}

// The effect of n draws, by squaring: after n draws the state is a^n * s + c_n.
AffineStep StepsOf(std::uint64_t n) {
  AffineStep result{1u, 0u};
  AffineStep power{kRandomMultiplier, kRandomIncrement};
  while (n != 0) {
    if ((n & 1u) != 0) result = Then(result, power);
    power = Then(power, power);
    n >>= 1;
  }
  return result;
}

std::uint32_t Apply(AffineStep step, std::uint32_t state) { return step.mul * state + step.add; }

// The fast fill keeps one generator per output byte of a group of bytes and moves every one
// of them a whole group of draws at a time: after n draws the state is a^n * s + c_n, so each
// lane's chain of multiplies is independent of the others and sits side by side with them in
// vector registers. Lane (v, w) of a group stands at byte 4 * w + v, so that the top bytes of
// four vectors interleave into little-endian words with shifts and masks, without shuffles.
// Two groups per step keep eight multiplies in flight.
#define DUNMERE_LANE_KERNEL(Name, Words, Attributes)                                            \
  Attributes void Name(std::uint32_t seed, std::uint8_t* out, std::size_t steps) {             \
    typedef std::uint32_t Vector __attribute__((vector_size(4 * (Words))));                    \
    constexpr int kGroupBytes = 4 * (Words);                                                   \
    constexpr int kGroups = 2;                                                                 \
    Vector state[kGroups][4];                                                                  \
    for (int g = 0; g < kGroups; ++g)                                                          \
      for (int v = 0; v < 4; ++v)                                                              \
        for (int w = 0; w < (Words); ++w)                                                      \
          state[g][v][w] = Apply(StepsOf(static_cast<std::uint64_t>(g * kGroupBytes + 4 * w + v) + 1), seed); \
    const AffineStep jump = StepsOf(kGroups * kGroupBytes);                                    \
    Vector mul, add;                                                                           \
    for (int w = 0; w < (Words); ++w) {                                                        \
      mul[w] = jump.mul;                                                                       \
      add[w] = jump.add;                                                                       \
    }                                                                                          \
    for (std::size_t i = 0; i < steps; ++i) {                                                  \
      for (int g = 0; g < kGroups; ++g) {                                                      \
        Vector word = (state[g][0] >> 24) | ((state[g][1] >> 16) & 0xFF00u) |                  \
                      ((state[g][2] >> 8) & 0xFF0000u) | (state[g][3] & 0xFF000000u);          \
        std::memcpy(out + (i * kGroups + g) * kGroupBytes, &word, kGroupBytes);                \
        for (int v = 0; v < 4; ++v) state[g][v] = state[g][v] * mul + add;                     \
      }                                                                                        \
    }                                                                                          \
  }

// Which kernel fills: the widest the processor has. The word interleave assumes little-endian
// stores, which every target of this program is.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the lane kernels store little-endian words");

DUNMERE_LANE_KERNEL(FillLanesPlain, 4, )
constexpr std::size_t kStepBytesPlain = 32;

#if defined(__x86_64__) || defined(__i386__)
#define DUNMERE_X86 1
DUNMERE_LANE_KERNEL(FillLanesSse41, 4, __attribute__((target("sse4.1"))))
constexpr std::size_t kStepBytesSse41 = 32;
#if !defined(_WIN32)
// Windows does not keep the stack 32-byte aligned for spilled AVX registers, so the 32-byte
// kernel is left out there.
#define DUNMERE_AVX2 1
DUNMERE_LANE_KERNEL(FillLanesAvx2, 8, __attribute__((target("avx2"))))
constexpr std::size_t kStepBytesAvx2 = 64;
#endif
#endif

// Fills the whole steps of the buffer with the kernel and returns how many bytes that was.
std::size_t FillWholeSteps(RandomKernel kernel, std::uint32_t seed, std::uint8_t* out,
                           std::size_t bytes) {
  switch (kernel) {
#ifdef DUNMERE_AVX2
    case RandomKernel::Avx2:
      FillLanesAvx2(seed, out, bytes / kStepBytesAvx2);
      return bytes / kStepBytesAvx2 * kStepBytesAvx2;
#endif
#ifdef DUNMERE_X86
    case RandomKernel::Sse41:
      FillLanesSse41(seed, out, bytes / kStepBytesSse41);
      return bytes / kStepBytesSse41 * kStepBytesSse41;
#endif
    default:
      FillLanesPlain(seed, out, bytes / kStepBytesPlain);
      return bytes / kStepBytesPlain * kStepBytesPlain;
  }
}

#undef DUNMERE_LANE_KERNEL

}  // namespace

std::uint8_t NextRandomByte(std::uint32_t* state) {
  *state = *state * kRandomMultiplier + kRandomIncrement;
  return static_cast<std::uint8_t>(*state >> 24);
}

void FillRandomBytesOneByOne(std::uint32_t* state, std::uint8_t* out, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) out[i] = NextRandomByte(state);
}

bool RandomKernelAvailable(RandomKernel kernel) {
  switch (kernel) {
    case RandomKernel::Plain:
      return true;
#ifdef DUNMERE_X86
    case RandomKernel::Sse41:
      return __builtin_cpu_supports("sse4.1");
#endif
#ifdef DUNMERE_AVX2
    case RandomKernel::Avx2:
      return __builtin_cpu_supports("avx2");
#endif
    default:
      return false;
  }
}

RandomKernel BestRandomKernel() {
  static const RandomKernel best = RandomKernelAvailable(RandomKernel::Avx2)    ? RandomKernel::Avx2
                                   : RandomKernelAvailable(RandomKernel::Sse41) ? RandomKernel::Sse41
                                                                                : RandomKernel::Plain;
  return best;
}

void FillRandomBytesWith(RandomKernel kernel, std::uint32_t* state, std::uint8_t* out,
                         std::size_t bytes) {
  if (!RandomKernelAvailable(kernel)) kernel = RandomKernel::Plain;
  const std::uint32_t seed = *state;
  const std::size_t done = FillWholeSteps(kernel, seed, out, bytes);
  // The last partial step continues from the state after `done` draws.
  std::uint32_t rest = Apply(StepsOf(done), seed);
  FillRandomBytesOneByOne(&rest, out + done, bytes - done);
  *state = rest;
}

void FillRandomBytes(std::uint32_t* state, std::uint8_t* out, std::size_t bytes) {
  FillRandomBytesWith(BestRandomKernel(), state, out, bytes);
}

void SeedRandomSource() {
  std::uint64_t counter = 0;
  SourceState = platform::PerformanceCounter(&counter) ? static_cast<std::uint32_t>(counter)
                                                       : platform::TickCount();
  SourceSeed = SourceState;
}

std::uint32_t LastRandomSeed() { return SourceSeed; }

std::uint8_t DrawRandomByte() { return NextRandomByte(&SourceState); }

void DrawRandomBuffer(std::uint8_t* buffer, std::size_t bytes) {
  FillRandomBytes(&SourceState, buffer, bytes);
}
