// SPDX-License-Identifier: MIT
// AVX-512 kernels (F, BW, VL and VBMI): 48 bytes to 64 Base64 characters and back, 32 bytes to
// 64 hex digits and 128 hex digits to 64 bytes per step, with masked loads and stores for the
// tails so that nothing is read or written outside the caller's ranges. Compiled for baseline
// x86-64 with the instruction sets enabled per function, and only called when the processor has
// them.
#include "binary_encoding/kernels.hpp"
#include "binary_encoding/tables.hpp"
#include "common/compiler.hpp"

#if defined(__x86_64__)

// GCC 12's AVX-512 intrinsics start from a deliberately undefined register
// (_mm512_undefined_epi32), which its own flow analysis then reports once inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include <cstdint>

#define VORN_AVX512 VORN_CORE_TARGET("avx512f,avx512bw,avx512vl,avx512vbmi")

namespace vorn::core::v2::detail {
namespace {

// The low n bits set, for n <= 64.
inline __mmask64 first_lanes(std::size_t n) noexcept {
    return n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
}

// The values of the characters 0-127 for a two-register vpermb lookup: the value of an
// alphabet character, 0x80 for every other code.
struct base64_reverse_table {
    alignas(64) unsigned char entries[128];
};

constexpr base64_reverse_table make_base64_reverse_table(
    const std::array<unsigned char, 256>& values) {
    base64_reverse_table table{};
    for (unsigned i = 0; i < 128; ++i) {
        table.entries[i] =
            values[i] == not_in_alphabet ? 0x80 : static_cast<unsigned char>(values[i]);
    }
    return table;
}

constexpr base64_reverse_table base64_reverse = make_base64_reverse_table(base64_decode_table);
constexpr base64_reverse_table base64url_reverse =
    make_base64_reverse_table(base64url_decode_table);

// Each group b0 b1 b2 of the 48 input bytes becomes the 32-bit word b1 b0 b2 b1 (bytes in
// memory order), so that one multishift picks the four 6-bit fields.
VORN_AVX512 inline __m512i base64_encode_block(__m512i bytes, __m512i alphabet) noexcept {
    const __m512i spread =
        _mm512_set_epi32(0x2E2F2D2E, 0x2B2C2A2B, 0x28292728, 0x25262425, 0x22232122, 0x1F201E1F,
                         0x1C1D1B1C, 0x191A1819, 0x16171516, 0x13141213, 0x10110F10, 0x0D0E0C0D,
                         0x0A0B090A, 0x07080607, 0x04050304, 0x01020001);
    const __m512i words = _mm512_permutexvar_epi8(spread, bytes);
    // Field offsets within each 64-bit lane: 10, 4, 22, 16 for the first word, +32 for the
    // second. vpermb then uses the low 6 bits of each byte as the index.
    const __m512i indices =
        _mm512_multishift_epi64_epi8(_mm512_set1_epi64(0x3036242A1016040A), words);
    return _mm512_permutexvar_epi8(indices, alphabet);
}

template <const base64_alphabet_spec& spec>
VORN_AVX512 void base64_encode_avx512(const unsigned char* in, std::size_t groups,
                                      char* out) noexcept {
    // vpermb looks each character up by its 6-bit index.
    const __m512i alphabet = _mm512_loadu_si512(spec.chars);
    // Full loads read 64 bytes for the 48 they encode: keep 22 groups (66 bytes) ahead.
    while (groups >= 22) {
        const __m512i bytes = _mm512_loadu_si512(in);
        _mm512_storeu_si512(out, base64_encode_block(bytes, alphabet));
        in += 48;
        out += 64;
        groups -= 16;
    }
    while (groups != 0) {
        const std::size_t step = groups < 16 ? groups : 16;
        const __m512i bytes = _mm512_maskz_loadu_epi8(first_lanes(3 * step), in);
        _mm512_mask_storeu_epi8(out, first_lanes(4 * step), base64_encode_block(bytes, alphabet));
        in += 3 * step;
        out += 4 * step;
        groups -= step;
    }
}

// base64_encode_avx512 breaking lines as it stores: each block of up to 64 characters is
// stored where it would go without a break, and for each line that ends inside it the line
// end is stored after the line's last character and the rest of the block again, moved past
// the end. No staging copy and no call per line: "encode_wrapped_mime" in bench/ measures it
// against the unwrapped kernel.
template <const base64_alphabet_spec& spec>
VORN_AVX512 std::size_t base64_encode_lines_avx512(const unsigned char* in, std::size_t groups,
                                                   char* out, const line_layout& lines,
                                                   std::size_t& column) noexcept {
    const __m512i alphabet = _mm512_loadu_si512(spec.chars);
    const __mmask64 end_lanes = first_lanes(lines.end_size);
    const __m512i end = _mm512_maskz_loadu_epi8(end_lanes, lines.end);
    const std::size_t length = lines.length;
    char* const start = out;
    while (groups != 0) {
        const std::size_t step = groups < 16 ? groups : 16;
        // Full loads read 64 bytes for the 48 they encode: only with 22 groups (66 bytes) left.
        const __m512i bytes = groups >= 22 ? _mm512_loadu_si512(in)
                                           : _mm512_maskz_loadu_epi8(first_lanes(3 * step), in);
        const __m512i chars = base64_encode_block(bytes, alphabet);
        const std::size_t n = 4 * step;
        const __mmask64 block = first_lanes(n);
        _mm512_mask_storeu_epi8(out, block, chars);
        // `at`: the block's first character of the next line, if it lies in the block.
        std::size_t at = length - column;
        for (; at <= n; at += length) {
            _mm512_mask_storeu_epi8(out + at, end_lanes, end);
            out += lines.end_size;
            if (at < n) {
                _mm512_mask_storeu_epi8(out, block & ~first_lanes(at), chars);
            }
        }
        column = n + length - at;  // what the block leaves on its last line
        in += 3 * step;
        out += n;
        groups -= step;
    }
    return static_cast<std::size_t>(out - start);
}

// 16 groups of 4 characters to 48 bytes (in the low 48 bytes of the result). Characters
// outside the alphabet, in the lanes of `lanes`, set bits in `bad`.
VORN_AVX512 inline __m512i base64_decode_block(__m512i chars, __mmask64 lanes, __m512i table_low,
                                               __m512i table_high, __mmask64& bad) noexcept {
    // The low 7 bits pick one of 128 entries; codes from 128 up keep their top bit, and
    // characters outside the alphabet get 0x80: either way the top bit of (chars | values).
    const __m512i values = _mm512_permutex2var_epi8(table_low, chars, table_high);
    bad |= lanes & _mm512_movepi8_mask(_mm512_or_si512(chars, values));
    const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
    const __m512i words = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
    // Bytes 2, 1, 0 of each 32-bit word.
    const __m512i gather = _mm512_set_epi8(
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 60, 61, 62, 56, 57, 58, 52, 53, 54, 48, 49,
        50, 44, 45, 46, 40, 41, 42, 36, 37, 38, 32, 33, 34, 28, 29, 30, 24, 25, 26, 20, 21, 22, 16,
        17, 18, 12, 13, 14, 8, 9, 10, 4, 5, 6, 0, 1, 2);
    return _mm512_permutexvar_epi8(gather, words);
}

template <const base64_reverse_table& reverse>
VORN_AVX512 bool base64_decode_avx512(const char* in, std::size_t groups,
                                      unsigned char* out) noexcept {
    const __m512i table_low = _mm512_load_si512(reverse.entries);
    const __m512i table_high = _mm512_load_si512(reverse.entries + 64);
    __mmask64 bad = 0;
    // Full stores write 64 bytes for the 48 they produce: keep 22 groups (66 bytes) ahead,
    // whose output overwrites the excess.
    while (groups >= 22) {
        const __m512i chars = _mm512_loadu_si512(in);
        _mm512_storeu_si512(out,
                            base64_decode_block(chars, ~__mmask64{0}, table_low, table_high, bad));
        in += 64;
        out += 48;
        groups -= 16;
    }
    while (groups != 0) {
        const std::size_t step = groups < 16 ? groups : 16;
        const __mmask64 lanes = first_lanes(4 * step);
        const __m512i chars = _mm512_maskz_loadu_epi8(lanes, in);
        _mm512_mask_storeu_epi8(out, first_lanes(3 * step),
                                base64_decode_block(chars, lanes, table_low, table_high, bad));
        in += 4 * step;
        out += 3 * step;
        groups -= step;
    }
    return bad == 0;
}

// 32 bytes to 64 digits: each byte widened to 16 bits, high nibble first.
VORN_AVX512 inline __m512i hex_encode_block(__m256i bytes, __m512i digits) noexcept {
    const __m512i wide = _mm512_cvtepu8_epi16(bytes);
    const __m512i split =
        _mm512_or_si512(_mm512_srli_epi16(wide, 4),
                        _mm512_slli_epi16(_mm512_and_si512(wide, _mm512_set1_epi16(0x0F)), 8));
    return _mm512_shuffle_epi8(digits, split);
}

VORN_AVX512 void hex_encode_avx512(const unsigned char* in, std::size_t n, char* out) noexcept {
    const __m512i digits = _mm512_broadcast_i32x4(_mm_setr_epi8(
        '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'));
    while (n >= 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        _mm512_storeu_si512(out, hex_encode_block(bytes, digits));
        in += 32;
        out += 64;
        n -= 32;
    }
    if (n != 0) {
        const __m256i bytes = _mm256_maskz_loadu_epi8(static_cast<__mmask32>(first_lanes(n)), in);
        _mm512_mask_storeu_epi8(out, first_lanes(2 * n), hex_encode_block(bytes, digits));
    }
}

// The values of the characters 0-127 for a two-register vpermb lookup: the value of a hex
// digit (either case), 0x80 for every other code.
struct hex_value_table {
    alignas(64) unsigned char entries[128];
};

constexpr hex_value_table make_hex_value_table() {
    hex_value_table table{};
    for (unsigned i = 0; i < 128; ++i) {
        table.entries[i] = 0x80;
    }
    for (unsigned i = 0; i < 10; ++i) {
        table.entries['0' + i] = static_cast<unsigned char>(i);
    }
    for (unsigned i = 0; i < 6; ++i) {
        table.entries['a' + i] = table.entries['A' + i] = static_cast<unsigned char>(10 + i);
    }
    return table;
}

constexpr hex_value_table hex_values = make_hex_value_table();

// The nibble values of 64 characters, and in `flags` bit 7 of every lane whose character is
// not a hex digit: either its value is 0x80 or the character itself is 128 or more (vpermb
// looks at the low 7 bits only).
VORN_AVX512 inline __m512i hex_nibbles(__m512i chars, __m512i low_table, __m512i high_table,
                                       __m512i& flags) noexcept {
    const __m512i values = _mm512_permutex2var_epi8(low_table, chars, high_table);
    flags = _mm512_ternarylogic_epi32(flags, values, chars, 0xFE);  // flags | values | chars
    return values;
}

// High nibble * 16 + low nibble for each of the 32 pairs, one per 16-bit word (at most 255,
// or garbage in a pair whose flags are set).
VORN_AVX512 inline __m512i hex_pair_words(__m512i nibbles) noexcept {
    return _mm512_maddubs_epi16(nibbles, _mm512_set1_epi16(0x0110));
}

VORN_AVX512 bool hex_decode_avx512(const char* in, std::size_t pairs, unsigned char* out) noexcept {
    const __m512i low_table = _mm512_load_si512(hex_values.entries);
    const __m512i high_table = _mm512_load_si512(hex_values.entries + 64);
    // The low byte of every word of two word vectors, in order: byte 2i of their concatenation.
    const __m512i even_bytes = _mm512_set_epi8(
        126, 124, 122, 120, 118, 116, 114, 112, 110, 108, 106, 104, 102, 100, 98, 96, 94, 92, 90,
        88, 86, 84, 82, 80, 78, 76, 74, 72, 70, 68, 66, 64, 62, 60, 58, 56, 54, 52, 50, 48, 46, 44,
        42, 40, 38, 36, 34, 32, 30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
    __m512i flags = _mm512_setzero_si512();
    // 128 characters to 64 bytes per step, as two independent vectors and one full store; the
    // validity flags only accumulate, so the loop has no branch but its own.
    while (pairs >= 64) {
        const __m512i first = _mm512_loadu_si512(in);
        const __m512i second = _mm512_loadu_si512(in + 64);
        const __m512i first_words =
            hex_pair_words(hex_nibbles(first, low_table, high_table, flags));
        const __m512i second_words =
            hex_pair_words(hex_nibbles(second, low_table, high_table, flags));
        _mm512_storeu_si512(out, _mm512_permutex2var_epi8(first_words, even_bytes, second_words));
        in += 128;
        out += 64;
        pairs -= 64;
    }
    // The last 1 to 63 pairs: at most one full vector, then one masked one.
    while (pairs != 0) {
        const std::size_t step = pairs < 32 ? pairs : 32;
        const __mmask64 lanes = first_lanes(2 * step);
        const __m512i chars = _mm512_maskz_loadu_epi8(lanes, in);
        __m512i tail_flags = _mm512_setzero_si512();
        const __m512i words = hex_pair_words(hex_nibbles(chars, low_table, high_table, tail_flags));
        // Lanes past the text were loaded as zero, which is not a digit: keep their flags out.
        flags = _mm512_mask_mov_epi8(flags, lanes, _mm512_or_si512(flags, tail_flags));
        _mm256_mask_storeu_epi8(out, static_cast<__mmask32>(first_lanes(step)),
                                _mm512_cvtepi16_epi8(words));
        in += 2 * step;
        out += step;
        pairs -= step;
    }
    return _mm512_test_epi8_mask(flags, _mm512_set1_epi8(static_cast<char>(0x80))) == 0;
}

}  // namespace

// Masked loads and stores make even a run of a few groups one step: these beat the portable
// loop from 3 groups (9 bytes or 12 characters) and from 6 bytes to hex-encode.
const base64_kernels base64_avx512_kernels = {base64_encode_avx512<standard_base64>,
                                              base64_decode_avx512<base64_reverse>,
                                              &standard_base64,
                                              3,
                                              3,
                                              base64_encode_lines_avx512<standard_base64>};
const base64_kernels base64url_avx512_kernels = {base64_encode_avx512<url_base64>,
                                                 base64_decode_avx512<base64url_reverse>,
                                                 &url_base64,
                                                 3,
                                                 3,
                                                 base64_encode_lines_avx512<url_base64>};
const hex_kernels hex_avx512_kernels = {hex_encode_avx512, hex_decode_avx512, 6};

}  // namespace vorn::core::v2::detail

#endif
