#include "engine/Random.h"

#include <windows.h>

#include <immintrin.h>

namespace {

std::uint32_t g_randomSeed = 0;

constexpr std::uint32_t kRandomMultiplier = 0x08088405u;

inline void PutWord(unsigned char* out, std::uint32_t seed) {
    const auto word = static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * 0xFFFEu) >> 32);
    out[0] = static_cast<unsigned char>(word & 0xFF);
    out[1] = static_cast<unsigned char>(word >> 8);
}

constexpr std::uint32_t PowerOf(std::uint32_t a, int n) {
    std::uint32_t r = 1;
    while (n-- > 0) r *= a;
    return r;
}

// 1 + a + a² + … + a^(n−1): the increment of n generator steps taken at once.
constexpr std::uint32_t StepsIncrement(std::uint32_t a, int n) {
    std::uint32_t r = 0, p = 1;
    while (n-- > 0) {
        r += p;
        p *= a;
    }
    return r;
}

// Writes `count` words drawn from the process's generator, low byte first. Four consecutive
// seeds advance together, each by four steps at once, so the sequence is the generator's own.
void FillRandomWordsPortable(unsigned char* out, std::size_t count) {
    constexpr std::uint32_t a = kRandomMultiplier;
    constexpr std::uint32_t a4 = PowerOf(a, 4);
    constexpr std::uint32_t c4 = StepsIncrement(a, 4);
    std::uint32_t seed = g_randomSeed;
    std::size_t i = 0;
    if (count >= 4) {
        std::uint32_t s0 = seed * a + 1u;
        std::uint32_t s1 = s0 * a + 1u;
        std::uint32_t s2 = s1 * a + 1u;
        std::uint32_t s3 = s2 * a + 1u;
        for (; i + 4 <= count; i += 4) {
            PutWord(out + 2 * i, s0);
            PutWord(out + 2 * i + 2, s1);
            PutWord(out + 2 * i + 4, s2);
            PutWord(out + 2 * i + 6, s3);
            seed = s3;
            s0 = s0 * a4 + c4;
            s1 = s1 * a4 + c4;
            s2 = s2 * a4 + c4;
            s3 = s3 * a4 + c4;
        }
    }
    for (; i < count; ++i) {
        seed = seed * a + 1u;
        PutWord(out + 2 * i, seed);
    }
    g_randomSeed = seed;
}

// The low 32 bits of each lane times `k` (SSE2 has no 32-bit low multiply).
__attribute__((target("sse2"))) inline __m128i MultiplyLow(__m128i x, __m128i k) {
    const __m128i even = _mm_mul_epu32(x, k);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(x, 32), k);
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// Each lane's word: the high 32 bits of seed × 0xFFFE, as PutWord takes it.
__attribute__((target("sse2"))) inline __m128i WordsOf(__m128i seeds, __m128i scale, __m128i highLanes) {
    const __m128i even = _mm_srli_epi64(_mm_mul_epu32(seeds, scale), 32);
    const __m128i odd = _mm_and_si128(_mm_mul_epu32(_mm_srli_epi64(seeds, 32), scale), highLanes);
    return _mm_or_si128(even, odd);
}

// The same words, sixteen seeds at a time in four SSE2 registers, each seed advancing by
// sixteen steps at once.
__attribute__((target("sse2"))) void FillRandomWordsSse2(unsigned char* out, std::size_t count) {
    constexpr std::uint32_t a = kRandomMultiplier;
    std::uint32_t seed = g_randomSeed;
    std::size_t i = 0;
    if (count >= 16) {
        alignas(16) std::uint32_t first[16];
        for (auto& s : first) s = seed = seed * a + 1u;
        __m128i s0 = _mm_load_si128(reinterpret_cast<const __m128i*>(first));
        __m128i s1 = _mm_load_si128(reinterpret_cast<const __m128i*>(first + 4));
        __m128i s2 = _mm_load_si128(reinterpret_cast<const __m128i*>(first + 8));
        __m128i s3 = _mm_load_si128(reinterpret_cast<const __m128i*>(first + 12));
        const __m128i multiplier = _mm_set1_epi32(static_cast<int>(PowerOf(a, 16)));
        const __m128i increment = _mm_set1_epi32(static_cast<int>(StepsIncrement(a, 16)));
        const __m128i scale = _mm_set1_epi32(0xFFFE);
        const __m128i highLanes = _mm_set_epi32(-1, 0, -1, 0);
        // Words are below 0xFFFE: shifted down by 0x8000 they pack with signed saturation
        // untouched, and flipping the top bit of each 16-bit result shifts them back.
        const __m128i bias = _mm_set1_epi32(0x8000);
        const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
        __m128i last = s3;
        for (; i + 16 <= count; i += 16) {
            const __m128i w0 = _mm_sub_epi32(WordsOf(s0, scale, highLanes), bias);
            const __m128i w1 = _mm_sub_epi32(WordsOf(s1, scale, highLanes), bias);
            const __m128i w2 = _mm_sub_epi32(WordsOf(s2, scale, highLanes), bias);
            const __m128i w3 = _mm_sub_epi32(WordsOf(s3, scale, highLanes), bias);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_xor_si128(_mm_packs_epi32(w0, w1), flip));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16),
                             _mm_xor_si128(_mm_packs_epi32(w2, w3), flip));
            last = s3;
            s0 = _mm_add_epi32(MultiplyLow(s0, multiplier), increment);
            s1 = _mm_add_epi32(MultiplyLow(s1, multiplier), increment);
            s2 = _mm_add_epi32(MultiplyLow(s2, multiplier), increment);
            s3 = _mm_add_epi32(MultiplyLow(s3, multiplier), increment);
        }
        seed = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(last, _MM_SHUFFLE(3, 3, 3, 3))));
    }
    for (; i < count; ++i) {
        seed = seed * a + 1u;
        PutWord(out + 2 * i, seed);
    }
    g_randomSeed = seed;
}


// Each lane's word, eight lanes at a time.
__attribute__((target("avx2"))) inline __m256i WordsOf8(__m256i seeds, __m256i scale) {
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(seeds, scale), 32);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(seeds, 32), scale);
    return _mm256_blend_epi32(even, odd, 0xAA);
}

// The same words, thirty-two seeds at a time in four AVX2 registers, each seed advancing by
// thirty-two steps at once.
__attribute__((target("avx2"))) void FillRandomWordsAvx2(unsigned char* out, std::size_t count) {
    constexpr std::uint32_t a = kRandomMultiplier;
    std::uint32_t seed = g_randomSeed;
    std::size_t i = 0;
    if (count >= 32) {
        std::uint32_t first[32];
        for (auto& s : first) s = seed = seed * a + 1u;
        __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first));
        __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first + 8));
        __m256i s2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first + 16));
        __m256i s3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first + 24));
        const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(PowerOf(a, 32)));
        const __m256i increment = _mm256_set1_epi32(static_cast<int>(StepsIncrement(a, 32)));
        const __m256i scale = _mm256_set1_epi32(0xFFFE);
        __m256i last = s3;
        for (; i + 32 <= count; i += 32) {
            // Packing works within each 128-bit half; the permutation puts the words in order.
            const __m256i p0 = _mm256_permute4x64_epi64(
                _mm256_packus_epi32(WordsOf8(s0, scale), WordsOf8(s1, scale)), _MM_SHUFFLE(3, 1, 2, 0));
            const __m256i p1 = _mm256_permute4x64_epi64(
                _mm256_packus_epi32(WordsOf8(s2, scale), WordsOf8(s3, scale)), _MM_SHUFFLE(3, 1, 2, 0));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), p0);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 32), p1);
            last = s3;
            s0 = _mm256_add_epi32(_mm256_mullo_epi32(s0, multiplier), increment);
            s1 = _mm256_add_epi32(_mm256_mullo_epi32(s1, multiplier), increment);
            s2 = _mm256_add_epi32(_mm256_mullo_epi32(s2, multiplier), increment);
            s3 = _mm256_add_epi32(_mm256_mullo_epi32(s3, multiplier), increment);
        }
        seed = static_cast<std::uint32_t>(_mm256_extract_epi32(last, 7));
    }
    for (; i < count; ++i) {
        seed = seed * a + 1u;
        PutWord(out + 2 * i, seed);
    }
    g_randomSeed = seed;
}

}  // namespace

void RandomSeed(std::uint32_t seed) { g_randomSeed = seed; }

std::uint32_t RandomState() { return g_randomSeed; }

std::uint32_t RandomBelow(std::uint32_t range) {
    g_randomSeed = g_randomSeed * kRandomMultiplier + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(g_randomSeed) * range) >> 32);
}

void RandomizeFromClock() {
    LARGE_INTEGER counter{};
    if (::QueryPerformanceCounter(&counter) && counter.QuadPart != 0)
        g_randomSeed = counter.LowPart;
    else
        g_randomSeed = ::GetTickCount();
}

WordGenerator BestWordGenerator() {
    // The compiler's check asks the processor and the system's support for the registers.
    static const WordGenerator best = __builtin_cpu_supports("avx2")   ? WordGenerator::Avx2
                                      : __builtin_cpu_supports("sse2") ? WordGenerator::Sse2
                                                                       : WordGenerator::Portable;
    return best;
}

void FillRandomWords(unsigned char* out, std::size_t count, WordGenerator generator) {
    switch (generator) {
        case WordGenerator::Avx2: FillRandomWordsAvx2(out, count); return;
        case WordGenerator::Sse2: FillRandomWordsSse2(out, count); return;
        case WordGenerator::Portable: break;
    }
    FillRandomWordsPortable(out, count);
}
