// SPDX-License-Identifier: MIT
// AVX2 kernels: 24 bytes to 32 Base64 characters and back, 16 bytes to 32 hex digits and 64
// hex digits to 32 bytes per step. Compiled for baseline x86-64 with AVX2 enabled per
// function, and only called when the processor has AVX2; the scalar kernels finish the tails.
#include "binary_encoding/kernels.hpp"
#include "binary_encoding/tables.hpp"
#include "common/compiler.hpp"

#if defined(__x86_64__)

#include <immintrin.h>

#include <cstring>

#define VORN_AVX2 VORN_CORE_TARGET("avx2")

namespace vorn::core::v2::detail {
namespace {

// Base64 encoding of 8 groups: the 24 bytes at `in`, read as two (overlapping) 16-byte loads
// from in and in + 12, so that each 128-bit lane holds 4 groups. Reads 28 bytes.
template <bool url>
VORN_AVX2 inline __m256i base64_encode_block(const unsigned char* in) noexcept {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12));
    __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);

    // Each group b0 b1 b2 becomes the 32-bit word b1 b0 b2 b1 (bytes in memory order), which
    // holds the four 6-bit fields at known places for the multiplies below.
    v = _mm256_shuffle_epi8(v, _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,
                                                1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    // Fields 0 and 2 move down to the low bits of bytes 0 and 2 (unsigned high multiply),
    // fields 1 and 3 up to bytes 1 and 3 (low multiply).
    const __m256i f02 = _mm256_mulhi_epu16(_mm256_and_si256(v, _mm256_set1_epi32(0x0FC0FC00)),
                                           _mm256_set1_epi32(0x04000040));
    const __m256i f13 = _mm256_mullo_epi16(_mm256_and_si256(v, _mm256_set1_epi32(0x003F03F0)),
                                           _mm256_set1_epi32(0x01000010));
    const __m256i indices = _mm256_or_si256(f02, f13);

    // Map each index 0-63 to its character by adding an offset chosen by its range:
    // 0-25 -> 'A', 26-51 -> 'a' - 26, 52-61 -> '0' - 52, 62 -> '+' - 62, 63 -> '/' - 63 (or
    // '-' and '_' for the URL-safe alphabet).
    constexpr char c62 = url ? '-' : '+';
    constexpr char c63 = url ? '_' : '/';
    __m256i range = _mm256_subs_epu8(indices, _mm256_set1_epi8(51));  // 0, or 1-12 for 52-63
    const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), indices);
    range = _mm256_or_si256(range, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
    const __m256i offsets =
        _mm256_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                         '0' - 52, '0' - 52, '0' - 52, '0' - 52, c62 - 62, c63 - 63, 'A', 0, 0,
                         'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                         '0' - 52, '0' - 52, '0' - 52, '0' - 52, c62 - 62, c63 - 63, 'A', 0, 0);
    return _mm256_add_epi8(indices, _mm256_shuffle_epi8(offsets, range));
}

template <bool url>
VORN_AVX2 void base64_encode_avx2(const unsigned char* in, std::size_t groups, char* out) noexcept {
    // A step reads 28 bytes for the 24 it encodes: keep at least 10 groups (30 bytes) ahead.
    while (groups >= 10) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), base64_encode_block<url>(in));
        in += 24;
        out += 32;
        groups -= 8;
    }
    (url ? base64url_scalar_kernels : base64_scalar_kernels).encode(in, groups, out);
}

// Writes `n` characters at `text` to `out` broken into lines, `column` characters of the current
// line written already; returns where the writing stopped.
char* put_in_lines(const char* text, std::size_t n, char* out, const line_layout& lines,
                   std::size_t& column) noexcept {
    while (n != 0) {
        const std::size_t room = lines.length - column;
        const std::size_t take = n < room ? n : room;
        std::memcpy(out, text, take);
        out += take;
        text += take;
        n -= take;
        column += take;
        if (column == lines.length) {
            std::memcpy(out, lines.end, lines.end_size);
            out += lines.end_size;
            column = 0;
        }
    }
    return out;
}

// base64_encode_avx2 breaking lines. Lines of whole groups, from a group boundary, take the
// fast path: each line is encoded by whole blocks, its last block storing past the line's end,
// over where the line end and the next line go, which the later stores overwrite. It runs
// while 10 groups more than a line are left, so that no block reads past the input or stores
// past the text. Everything else goes through a 32-character temporary. "encode_wrapped_mime"
// in bench/, with VORN_CORE_KERNEL_LEVEL=avx2, measures it against the unwrapped kernel.
// Encodes `groups` groups through a 32-character temporary; returns where the writing stopped.
template <bool url>
VORN_AVX2 char* encode_in_lines_exactly(const unsigned char* in, std::size_t groups, char* out,
                                        const line_layout& lines, std::size_t& column) noexcept {
    char chars[32];
    while (groups != 0) {
        const std::size_t step = groups < 8 ? groups : 8;
        base64_encode_avx2<url>(in, step, chars);
        out = put_in_lines(chars, 4 * step, out, lines, column);
        in += 3 * step;
        groups -= step;
    }
    return out;
}

template <bool url>
VORN_AVX2 std::size_t base64_encode_lines_avx2(const unsigned char* in, std::size_t groups,
                                               char* out, const line_layout& lines,
                                               std::size_t& column) noexcept {
    char* const start = out;
    const std::size_t per_line = lines.length / 4;
    if (lines.length % 4 == 0 && column % 4 == 0 && column != 0) {
        // The current line first, so that the next starts on a group.
        const std::size_t rest = (lines.length - column) / 4;
        const std::size_t take = groups < rest ? groups : rest;
        out = encode_in_lines_exactly<url>(in, take, out, lines, column);
        in += 3 * take;
        groups -= take;
    }
    if (lines.length % 4 == 0 && column == 0) {
        while (groups >= per_line + 10) {
            for (std::size_t g = 0; g < per_line; g += 8) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * g),
                                    base64_encode_block<url>(in + 3 * g));
            }
            out += lines.length;
            for (std::size_t i = 0; i < lines.end_size; ++i) {
                out[i] = lines.end[i];
            }
            out += lines.end_size;
            in += 3 * per_line;
            groups -= per_line;
        }
    }
    out = encode_in_lines_exactly<url>(in, groups, out, lines, column);
    return static_cast<std::size_t>(out - start);
}

// Base64 decoding of 8 groups: 32 characters to 24 bytes (in the low 24 bytes of the
// result). Characters outside the alphabet set bits in `bad`.
VORN_AVX2 inline __m256i base64_decode_block(__m256i chars, __m256i& bad) noexcept {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibble);
    const __m256i low = _mm256_and_si256(chars, nibble);

    // A character is in the alphabet exactly when the classes of its two nibbles share no
    // bit. Bit 0x10 marks high nibbles 0, 1 and 8-F, which no alphabet character has; every
    // low-nibble class holds it.
    const __m256i low_classes =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i high_classes =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    bad = _mm256_or_si256(bad, _mm256_and_si256(_mm256_shuffle_epi8(low_classes, low),
                                                _mm256_shuffle_epi8(high_classes, high)));

    // The value is the character plus an offset chosen by its high nibble; '/' shares its
    // high nibble with '+' and takes the entry below.
    const __m256i slash = _mm256_cmpeq_epi8(chars, _mm256_set1_epi8('/'));
    const __m256i offsets =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i values =
        _mm256_add_epi8(chars, _mm256_shuffle_epi8(offsets, _mm256_add_epi8(high, slash)));

    // Four 6-bit values per 32-bit word become 24 bits: v0 v1 -> 12 bits, then 24 bits.
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    // Bytes 2, 1, 0 of each word, 12 bytes per lane, then the two lanes' 12 bytes together.
    const __m256i packed = _mm256_shuffle_epi8(
        words, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6,
                                5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    return _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
}

// The URL-safe alphabet read as the standard one: "-" and "_" become "+" and "/", and "+" and
// "/" themselves become codes from 128 up, which the standard block refuses.
VORN_AVX2 inline __m256i base64url_as_standard(__m256i chars) noexcept {
    const __m256i foreign = _mm256_or_si256(_mm256_cmpeq_epi8(chars, _mm256_set1_epi8('+')),
                                            _mm256_cmpeq_epi8(chars, _mm256_set1_epi8('/')));
    chars = _mm256_blendv_epi8(chars, _mm256_set1_epi8('+'),
                               _mm256_cmpeq_epi8(chars, _mm256_set1_epi8('-')));
    chars = _mm256_blendv_epi8(chars, _mm256_set1_epi8('/'),
                               _mm256_cmpeq_epi8(chars, _mm256_set1_epi8('_')));
    return _mm256_or_si256(chars, _mm256_and_si256(foreign, _mm256_set1_epi8(-128)));
}

template <bool url>
VORN_AVX2 bool base64_decode_avx2(const char* in, std::size_t groups, unsigned char* out) noexcept {
    __m256i bad = _mm256_setzero_si256();
    while (groups >= 8) {
        __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        if (url) {
            chars = base64url_as_standard(chars);
        }
        const __m256i bytes = base64_decode_block(chars, bad);
        // 24 bytes, stored exactly: 16, then 8.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(bytes, 1));
        in += 32;
        out += 24;
        groups -= 8;
    }
    const bool tail_ok =
        (url ? base64url_scalar_kernels : base64_scalar_kernels).decode(in, groups, out);
    return tail_ok && _mm256_testz_si256(bad, bad);
}

VORN_AVX2 void hex_encode_avx2(const unsigned char* in, std::size_t n, char* out) noexcept {
    const __m256i digits = _mm256_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a',
                                            'b', 'c', 'd', 'e', 'f', '0', '1', '2', '3', '4', '5',
                                            '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f');
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    while (n >= 16) {
        // Each byte widened to 16 bits: high nibble in the first byte, low nibble in the second.
        const __m256i wide =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
        const __m256i split = _mm256_or_si256(_mm256_srli_epi16(wide, 4),
                                              _mm256_slli_epi16(_mm256_and_si256(wide, nibble), 8));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_shuffle_epi8(digits, split));
        in += 16;
        out += 32;
        n -= 16;
    }
    hex_scalar_kernels.encode(in, n, out);
}

// High digit * 16 + low digit for the 16 pairs of 32 characters, one per 16-bit word; clears
// the lanes of `good` whose character is not a hex digit.
VORN_AVX2 inline __m256i hex_pair_words(__m256i chars, __m256i& good) noexcept {
    // '0'-'9' give 0-9; 'a'-'f' and 'A'-'F' (one case bit apart) give 0-5 after the letter
    // offset. Unsigned range checks via min: x <= limit exactly when min(x, limit) == x.
    const __m256i digit = _mm256_sub_epi8(chars, _mm256_set1_epi8('0'));
    const __m256i letter =
        _mm256_sub_epi8(_mm256_or_si256(chars, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
    const __m256i is_digit = _mm256_cmpeq_epi8(_mm256_min_epu8(digit, _mm256_set1_epi8(9)), digit);
    const __m256i is_letter =
        _mm256_cmpeq_epi8(_mm256_min_epu8(letter, _mm256_set1_epi8(5)), letter);
    good = _mm256_and_si256(good, _mm256_or_si256(is_digit, is_letter));
    const __m256i values =
        _mm256_blendv_epi8(_mm256_add_epi8(letter, _mm256_set1_epi8(10)), digit, is_digit);
    return _mm256_maddubs_epi16(values, _mm256_set1_epi16(0x0110));
}

VORN_AVX2 bool hex_decode_avx2(const char* in, std::size_t pairs, unsigned char* out) noexcept {
    __m256i good = _mm256_set1_epi8(-1);
    // 64 characters to 32 bytes per step, as two independent vectors packed into one store.
    while (pairs >= 32) {
        const __m256i first =
            hex_pair_words(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)), good);
        const __m256i second =
            hex_pair_words(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32)), good);
        // vpackuswb works per 128-bit lane; the quarter swap puts the bytes back in order.
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
        in += 64;
        out += 32;
        pairs -= 32;
    }
    if (pairs >= 16) {
        const __m256i words =
            hex_pair_words(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)), good);
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        in += 32;
        out += 16;
        pairs -= 16;
    }
    const bool tail_ok = hex_scalar_kernels.decode(in, pairs, out);
    return tail_ok && _mm256_movemask_epi8(good) == -1;
}

}  // namespace

const base64_kernels base64_avx2_kernels = {
    base64_encode_avx2<false>, base64_decode_avx2<false>, &standard_base64,
    portable_tail_run / 3,     portable_tail_run / 4,     base64_encode_lines_avx2<false>};
const base64_kernels base64url_avx2_kernels = {
    base64_encode_avx2<true>, base64_decode_avx2<true>, &url_base64,
    portable_tail_run / 3,    portable_tail_run / 4,    base64_encode_lines_avx2<true>};
const hex_kernels hex_avx2_kernels = {hex_encode_avx2, hex_decode_avx2, portable_tail_run};

}  // namespace vorn::core::v2::detail

#endif
