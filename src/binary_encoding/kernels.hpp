// SPDX-License-Identifier: MIT
// The block kernels behind the Base64 and hex codecs: raw-pointer loops over whole groups, in a
// portable scalar version and in SIMD versions chosen at run time from the processor's
// features. The streaming logic (carries, padding, refusal) lives in the codecs above them;
// a kernel only converts whole groups and reports characters outside the alphabet.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_KERNELS_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_KERNELS_HPP

#include <cstddef>

namespace vorn::core::v2::detail {

// The instruction sets a kernel may use, from the portable one upwards.
enum class kernel_level : unsigned {
    scalar,  // any x86-64 (or any other) processor
    avx2,    // AVX2
    avx512,  // AVX-512 F, BW, VL and VBMI
};

struct base64_alphabet_spec;

// An encoder's line breaks, with their end copied (a line_wrap may point into a caller's
// temporary).
struct line_layout {
    static constexpr std::size_t max_end = 4;

    std::size_t length = 0;  // characters per line; 0 for one line without an end
    char end[max_end] = {};
    std::size_t end_size = 0;
};

// A line_layout writer of whole Base64 groups: writes the characters of the `groups` groups of
// 3 bytes at `in` to `out` broken into lines, `column` characters of the current line being
// written already; updates `column` and returns the characters written, line ends included.
// Reads exactly 3 * groups bytes and writes exactly what it returns.
using base64_line_encoder = std::size_t (*)(const unsigned char* in, std::size_t groups, char* out,
                                            const line_layout& lines, std::size_t& column) noexcept;

// The run, in input bytes or characters, below which kernels that finish their tails in
// portable code are no faster than the portable loop itself.
inline constexpr std::size_t portable_tail_run = 48;

// One set per alphabet (standard or URL-safe) and level.
struct base64_kernels {
    // Writes the 4 * groups characters of the groups of 3 bytes at `in` to `out`. Reads exactly
    // 3 * groups bytes and writes exactly 4 * groups characters.
    void (*encode)(const unsigned char* in, std::size_t groups, char* out) noexcept;
    // Writes the 3 * groups bytes of the groups of 4 characters at `in` to `out`. False when any
    // character is outside the alphabet ("=" included); `out` then holds unspecified bytes.
    // Reads exactly 4 * groups characters and writes at most 3 * groups bytes.
    bool (*decode)(const char* in, std::size_t groups, unsigned char* out) noexcept;
    // The alphabet both use; the codecs take the groups that straddle chunks and the final
    // group from it.
    const base64_alphabet_spec* alphabet;
    // Below this many whole groups the codecs' inline portable loop is faster than calling
    // encode or decode: the kernels that finish their tails in portable code gain nothing on
    // short runs, the masked ones from a few groups.
    std::size_t encode_inline_below;
    std::size_t decode_inline_below;
    // Encodes into lines without a staging copy; null where the level has none, and the
    // codecs then encode a stretch at a time and copy it around the line ends.
    base64_line_encoder encode_lines;
};

struct hex_kernels {
    // Writes the 2 * n lower-case digits of the n bytes at `in` to `out`.
    void (*encode)(const unsigned char* in, std::size_t n, char* out) noexcept;
    // Writes the bytes of `pairs` digit pairs (either case, high digit first) to `out`. False
    // when any character is not a hex digit; `out` then holds unspecified bytes.
    bool (*decode)(const char* in, std::size_t pairs, unsigned char* out) noexcept;
    // Below this many bytes the codecs' inline portable loop is faster than calling encode.
    std::size_t encode_inline_below;
};

// The widest level this processor (and its operating system) supports; determined once.
kernel_level hardware_kernel_level() noexcept;

// The level the library uses: the highest this processor supports, capped by the environment
// variable VORN_CORE_KERNEL_LEVEL ("scalar" or "avx2") when set; determined once.
kernel_level best_kernel_level() noexcept;

// The kernels of `level`, which must be supported.
const base64_kernels& base64_kernels_for(kernel_level level) noexcept;
const base64_kernels& base64url_kernels_for(kernel_level level) noexcept;
const hex_kernels& hex_kernels_for(kernel_level level) noexcept;

// The kernels the library uses: those of best_kernel_level(), chosen on first use. Inline,
// so that the short-input paths only load them.
inline const base64_kernels& active_base64_kernels() noexcept {
    static const base64_kernels& active = base64_kernels_for(best_kernel_level());
    return active;
}
inline const base64_kernels& active_base64url_kernels() noexcept {
    static const base64_kernels& active = base64url_kernels_for(best_kernel_level());
    return active;
}
inline const hex_kernels& active_hex_kernels() noexcept {
    static const hex_kernels& active = hex_kernels_for(best_kernel_level());
    return active;
}

// Per level, defined beside their code.
extern const base64_kernels base64_scalar_kernels;
extern const base64_kernels base64url_scalar_kernels;
extern const hex_kernels hex_scalar_kernels;
#if defined(__x86_64__)
extern const base64_kernels base64_avx2_kernels;
extern const base64_kernels base64_avx512_kernels;
extern const base64_kernels base64url_avx2_kernels;
extern const base64_kernels base64url_avx512_kernels;
extern const hex_kernels hex_avx2_kernels;
extern const hex_kernels hex_avx512_kernels;
#endif

}  // namespace vorn::core::v2::detail

#endif
