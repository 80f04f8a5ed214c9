#pragma once

#include <cstddef>
#include <cstdint>

// The process's ordinary pseudo-random generator: next seed = seed × 0x08088405 + 1
// (mod 2^32); a value below N is the upper 32 bits of the new seed times N.
void RandomSeed(std::uint32_t seed);
// The generator's state: the seed the next value is drawn from. Handed back to RandomSeed, it
// makes the same values again.
std::uint32_t RandomState();
std::uint32_t RandomBelow(std::uint32_t range);
// Reseeds from the high-resolution performance counter (low 32 bits), or from the
// millisecond tick count when there is none.
void RandomizeFromClock();

// Ways of drawing many words at once; each gives the generator's own sequence.
enum class WordGenerator { Portable, Sse2, Avx2 };
// The fastest way this processor and system allow.
WordGenerator BestWordGenerator();
// Writes `count` words drawn from the generator (each as RandomBelow(0xFFFE) would give it),
// low byte first, and leaves the generator after the last.
void FillRandomWords(unsigned char* out, std::size_t count, WordGenerator generator = BestWordGenerator());
