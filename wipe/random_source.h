#pragma once
// The random source of drawn-byte and random-data passes: a 32-bit linear congruential
// generator. A draw sets state = state * 134775813 + 1 (mod 2^32) and yields the top 8 bits
// of the new state. It is seeded anew at every drawn byte, at the start of every random-data
// pass and at every refresh of a random-data buffer; nothing else seeds it.

#include <cstddef>
#include <cstdint>

inline constexpr std::uint32_t kRandomMultiplier = 134775813u;
inline constexpr std::uint32_t kRandomIncrement = 1u;

// The low 32 bits of the performance counter, or the tick count where there is none.
void SeedRandomSource();
// The state the last SeedRandomSource set: with FillRandomBytes it gives back every byte drawn
// since then, which is how a random-data pass is read back and compared.
std::uint32_t LastRandomSeed();
std::uint8_t DrawRandomByte();
// Draws every byte of the buffer in order, one draw per byte (through the fast fill).
void DrawRandomBuffer(std::uint8_t* buffer, std::size_t bytes);

// The same generator on a state the caller holds (tests, benchmark).
std::uint8_t NextRandomByte(std::uint32_t* state);
// Byte for byte what `bytes` calls of NextRandomByte give, leaving *state where they would.
void FillRandomBytes(std::uint32_t* state, std::uint8_t* out, std::size_t bytes);
// The fast fill exists in several kernels, by instruction set; FillRandomBytes takes the best
// the processor has. An unavailable kernel falls back to Plain.
enum class RandomKernel { Plain, Sse41, Avx2 };
bool RandomKernelAvailable(RandomKernel kernel);
RandomKernel BestRandomKernel();
void FillRandomBytesWith(RandomKernel kernel, std::uint32_t* state, std::uint8_t* out,
                         std::size_t bytes);
// The plain loop of NextRandomByte calls: the reference the fast fill must match.
void FillRandomBytesOneByOne(std::uint32_t* state, std::uint8_t* out, std::size_t bytes);
