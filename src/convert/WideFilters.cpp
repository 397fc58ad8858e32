#include "convert/WideFilters.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define WEDMORPH_WIDE_FILTERS 1
#include <cpuid.h>
#include <immintrin.h>
#endif

#include <atomic>

namespace wedmorph::wide {

namespace {

std::atomic<bool> allowed{true};

#if defined(WEDMORPH_WIDE_FILTERS)
constexpr int kRow = 64;

// AVX2, and a system that saves the 256-bit registers: the processor's own
// answer (cpuid, xgetbv), which needs no library.
bool processorHasAvx2() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    constexpr unsigned kOsSaves = 1u << 27, kAvx = 1u << 28;
    if ((c & (kOsSaves | kAvx)) != (kOsSaves | kAvx)) return false;
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    (void)high;
    if ((low & 0x6) != 0x6) return false;  // the system keeps XMM and YMM state
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & (1u << 5)) != 0;
}

// The key pixels (0) of the 32 at `at`, as bytes of all ones.
__attribute__((target("avx2"))) inline __m256i keysAt(const std::uint8_t* at) {
    return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), _mm256_setzero_si256());
}
#endif

}  // namespace

void allow(bool on) { allowed.store(on, std::memory_order_relaxed); }

#if defined(WEDMORPH_WIDE_FILTERS)

bool available() {
    static const bool has = processorHasAvx2();
    return has && allowed.load(std::memory_order_relaxed);
}

// Each row from its right half, so that a pixel is read before its left
// neighbour is written; a key pixel (0) takes its left neighbour by an or.
__attribute__((target("avx2"))) bool fillInPlace(std::uint8_t* pixels, int height) {
    const __m256i zero = _mm256_setzero_si256();
    // Column 0 has no left neighbour in its row: no run starts there.
    const __m256i notFirst = _mm256_set_epi64x(-1, -1, -1, ~std::int64_t{0xFF});
    __m256i runs = zero;
    for (int r = 0; r < height; ++r) {
        std::uint8_t* row = pixels + r * kRow;
        const bool firstIsKey = row[0] == 0;
        auto* right = reinterpret_cast<__m256i*>(row + 32);
        const __m256i high = _mm256_loadu_si256(right);
        const __m256i highLeft = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 31));
        const __m256i highKeys = _mm256_cmpeq_epi8(high, zero);
        runs = _mm256_or_si256(runs, _mm256_and_si256(highKeys, _mm256_cmpeq_epi8(highLeft, zero)));
        _mm256_storeu_si256(right, _mm256_or_si256(high, _mm256_and_si256(highKeys, highLeft)));

        auto* left = reinterpret_cast<__m256i*>(row);
        const __m256i low = _mm256_loadu_si256(left);
        // The row's first 32 pixels moved up a byte, a 0 in front.
        const __m256i lowLeft = _mm256_alignr_epi8(low, _mm256_permute2x128_si256(low, low, 0x08), 15);
        const __m256i lowKeys = _mm256_cmpeq_epi8(low, zero);
        runs = _mm256_or_si256(
            runs, _mm256_and_si256(notFirst, _mm256_and_si256(lowKeys, _mm256_cmpeq_epi8(lowLeft, zero))));
        _mm256_storeu_si256(left, _mm256_or_si256(low, _mm256_and_si256(lowKeys, lowLeft)));
        if (firstIsKey) row[0] = row[1];
    }
    return !_mm256_testz_si256(runs, runs);
}

// On a row of 64 the neighbours left and right of a pixel are the bytes
// before and after it, across rows too: 32 pixels take their four
// neighbours from four loads, with no loop over the pixels cleared.
__attribute__((target("avx2"))) void copyTrimmedInnerRows(const std::uint8_t* source, std::uint8_t* destination,
                                                          int height) {
    const int last = (height - 1) * kRow;
    for (int at = kRow; at < last; at += 32) {
        const __m256i up = keysAt(source + at - kRow), down = keysAt(source + at + kRow);
        const __m256i left = keysAt(source + at - 1), right = keysAt(source + at + 1);
        const __m256i twoOrMore = _mm256_or_si256(
            _mm256_or_si256(_mm256_and_si256(_mm256_or_si256(up, down), _mm256_or_si256(left, right)),
                            _mm256_and_si256(up, down)),
            _mm256_and_si256(left, right));
        // A key pixel is 0 already: clearing it changes nothing.
        const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + at));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + at), _mm256_andnot_si256(twoOrMore, here));
    }
}

#else

bool available() { return false; }
bool fillInPlace(std::uint8_t*, int) { return false; }
void copyTrimmedInnerRows(const std::uint8_t*, std::uint8_t*, int) {}

#endif

}  // namespace wedmorph::wide
