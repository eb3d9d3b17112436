// SPDX-License-Identifier: MIT
// The whitespace squeezers of the forgiving readers: a portable one in SSE2 blocks (part of
// every x86-64 processor), and one in AVX-512 registers where the processor has VBMI2's
// byte compression. The benchmark "decode_forgiving_mime" in bench/ measures them against
// strict decoding of the same payload.
#include "binary_encoding/whitespace.hpp"

#include <array>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "common/compiler.hpp"

namespace vorn::core::v2::detail {

namespace {

// The byte loop: keeps a character by moving the output on past it.
std::size_t squeeze_bytes(const char* in, std::size_t n, char* out) noexcept {
    char* const start = out;
    for (std::size_t i = 0; i < n; ++i) {
        *out = in[i];
        out += is_ascii_whitespace(in[i]) ? 0 : 1;
    }
    return static_cast<std::size_t>(out - start);
}

#if defined(__SSE2__)
// Lanes of all ones for the whitespace characters of `c`.
inline __m128i whitespace_lanes(__m128i c) noexcept {
    const __m128i space = _mm_cmpeq_epi8(c, _mm_set1_epi8(' '));
    // Tab to carriage return are 9-13 less vertical tab (11): c - 9 below 5, as signed bytes
    // moved by 0x80.
    const __m128i control =
        _mm_cmplt_epi8(_mm_add_epi8(c, _mm_set1_epi8(static_cast<char>(0x80 - 9))),
                       _mm_set1_epi8(static_cast<char>(-128 + 5)));
    const __m128i vertical_tab = _mm_cmpeq_epi8(c, _mm_set1_epi8('\v'));
    return _mm_or_si128(space, _mm_andnot_si128(vertical_tab, control));
}
#endif

}  // namespace

std::size_t squeeze_whitespace_portable(const char* in, std::size_t n, char* out) noexcept {
    char* const start = out;
    std::size_t i = 0;
#if defined(__SSE2__)
    // A block without whitespace is stored whole. In one with some, each run between two
    // whitespace characters is stored as a whole block from where it starts (the next store
    // overwrites what lies past the run), so a block reads at most 16 characters beyond its
    // own: the loop stops 32 short of the end.
    for (; n - i >= 32; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        // Characters below 0x21 as signed bytes: whitespace candidates (and the bytes from
        // 0x80 up, which are kept).
        if (_mm_movemask_epi8(_mm_cmplt_epi8(c, _mm_set1_epi8(0x21))) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), c);
            out += 16;
            continue;
        }
        // One store per run of whitespace (a line end is one run).
        auto spaces = static_cast<unsigned>(_mm_movemask_epi8(whitespace_lanes(c)));
        std::size_t from = 0;
        while (spaces != 0) {
            const auto at = static_cast<std::size_t>(count_trailing_zeros(spaces));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + from)));
            out += at - from;
            // The run ends at the first lane from `at` that is not whitespace (16 at most).
            const auto run = static_cast<std::size_t>(count_trailing_zeros(~(spaces >> at)));
            from = at + run;
            spaces = from < 16 ? spaces & (~0u << from) : 0;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + from)));
        out += 16 - from;
    }
#endif
    return static_cast<std::size_t>(out - start) + squeeze_bytes(in + i, n - i, out);
}

#if defined(__x86_64__)
// GCC 12's AVX-512 intrinsics start from a deliberately undefined register, which its own flow
// analysis then reports once inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define VORN_AVX512_VBMI2 VORN_CORE_TARGET("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi2,popcnt")

namespace {

// A table indexed by the low 6 bits of a character: the character itself for whitespace,
// and for any other index a value whose low 6 bits differ from the index, so that no
// character equals its entry unless it is whitespace.
constexpr std::array<char, 64> whitespace_entries() {
    std::array<char, 64> t{};
    for (unsigned i = 0; i < 64; ++i) {
        t[i] = static_cast<char>(is_ascii_whitespace(static_cast<char>(i)) ? i : (i + 1) & 63u);
    }
    return t;
}
inline constexpr std::array<char, 64> whitespace_table = whitespace_entries();

// One lookup and one compare per 64 characters.
VORN_AVX512_VBMI2 inline __mmask64 whitespace_mask(__m512i c, __m512i table) noexcept {
    return _mm512_cmpeq_epi8_mask(_mm512_permutexvar_epi8(c, table), c);
}

}  // namespace

VORN_AVX512_VBMI2 std::size_t squeeze_whitespace_avx512(const char* in, std::size_t n,
                                                        char* out) noexcept {
    char* const start = out;
    const __m512i table = _mm512_loadu_si512(whitespace_table.data());
    std::size_t i = 0;
    for (; n - i >= 64; i += 64) {
        const __m512i c = _mm512_loadu_si512(in + i);
        const __mmask64 spaces = whitespace_mask(c, table);
        if (spaces == 0) {
            _mm512_storeu_si512(out, c);
            out += 64;
            continue;
        }
        // Compressed in the register and stored whole: a compressing store to memory is slow
        // on some processors.
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(~spaces, c));
        out += 64 - _mm_popcnt_u64(spaces);
    }
    if (i != n) {
        // The tail through a masked load, which reads nothing past the text.
        const __mmask64 lanes = _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(n - i));
        const __m512i c = _mm512_maskz_loadu_epi8(lanes, in + i);
        const __mmask64 keep = lanes & ~whitespace_mask(c, table);
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, c));
        out += _mm_popcnt_u64(keep);
    }
    return static_cast<std::size_t>(out - start);
}
#endif

#if defined(__x86_64__)
#define VORN_AVX2_BMI VORN_CORE_TARGET("avx2,bmi,popcnt")

// squeeze_whitespace_portable in 32-character blocks.
VORN_AVX2_BMI std::size_t squeeze_whitespace_avx2(const char* in, std::size_t n,
                                                  char* out) noexcept {
    char* const start = out;
    std::size_t i = 0;
    const __m256i space = _mm256_set1_epi8(' ');
    for (; n - i >= 64; i += 32) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        // Tab to carriage return are 9-13 less vertical tab (11): c - 9 below 5 as unsigned
        // bytes, that is min(c - 9, 4) == c - 9.
        const __m256i shifted = _mm256_sub_epi8(c, _mm256_set1_epi8(9));
        const __m256i control = _mm256_andnot_si256(
            _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\v')),
            _mm256_cmpeq_epi8(_mm256_min_epu8(shifted, _mm256_set1_epi8(4)), shifted));
        auto spaces = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(c, space), control)));
        if (spaces == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), c);
            out += 32;
            continue;
        }
        // One store per run of whitespace, as in the portable squeezer.
        std::size_t from = 0;
        while (spaces != 0) {
            const auto at = static_cast<std::size_t>(count_trailing_zeros(spaces));
            _mm256_storeu_si256(
                reinterpret_cast<__m256i*>(out),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + from)));
            out += at - from;
            // Widened, so that a run reaching the block's end stops at bit 32.
            const auto run =
                static_cast<std::size_t>(count_trailing_zeros(~(std::uint64_t{spaces} >> at)));
            from = at + run;
            spaces = from < 32 ? spaces & (~std::uint32_t{0} << from) : 0;
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + from)));
        out += 32 - from;
    }
    return static_cast<std::size_t>(out - start) + squeeze_whitespace_portable(in + i, n - i, out);
}
#endif

bool squeeze_avx512_supported() noexcept {
#if defined(__x86_64__)
    // The kernels' AVX-512 set (VL included, which every processor with VBMI2 has) and more.
    init_cpu_features();
    return cpu_supports_avx512_vbmi2();
#else
    return false;
#endif
}

pair_squeeze squeeze_pair_whitespace(const char* in, std::size_t n, char* out, bool odd) noexcept {
    pair_squeeze result{0, odd, false};
    for (std::size_t i = 0; i < n; ++i) {
        if (!is_ascii_whitespace(in[i])) {
            out[result.written++] = in[i];
            result.odd = !result.odd;
        } else if (result.odd) {
            result.refused = true;
            return result;
        }
    }
    return result;
}

}  // namespace vorn::core::v2::detail
