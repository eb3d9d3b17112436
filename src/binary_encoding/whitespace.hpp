// SPDX-License-Identifier: MIT
// Squeezing ASCII whitespace out of text before it is decoded, for the forgiving readers:
// Base64 skips it anywhere, hex only between digit pairs.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_WHITESPACE_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_WHITESPACE_HPP

#include <cstddef>

#include "binary_encoding/kernels.hpp"

namespace vorn::core::v2::detail {

// The squeezers store whole vectors: they may write up to this many bytes past the characters
// they keep, so their output holds the input's size plus this.
inline constexpr std::size_t squeeze_slack = 64;

// Tab, line feed, form feed, carriage return and space; not vertical tab.
constexpr bool is_ascii_whitespace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// Copies the characters of the `n` at `in` that are not ASCII whitespace to `out` (room for
// n + squeeze_slack) and returns their number. Reads nothing outside the `n` characters.
using squeeze_function = std::size_t (*)(const char* in, std::size_t n, char* out) noexcept;

// Any x86-64 processor (16-byte SSE2 blocks), or a byte loop elsewhere.
std::size_t squeeze_whitespace_portable(const char* in, std::size_t n, char* out) noexcept;
#if defined(__x86_64__)
// AVX2: 32 characters a step. Only on processors with AVX2.
std::size_t squeeze_whitespace_avx2(const char* in, std::size_t n, char* out) noexcept;
// AVX-512 F, BW, VBMI and VBMI2: 64 characters a step, compressed in a register.
std::size_t squeeze_whitespace_avx512(const char* in, std::size_t n, char* out) noexcept;
#endif
// True when this processor can run squeeze_whitespace_avx512.
bool squeeze_avx512_supported() noexcept;

// The squeezer the library uses, chosen on first use: the widest the kernels in use allow.
inline squeeze_function active_squeeze() noexcept {
#if defined(__x86_64__)
    // (Whether the processor has VBMI2 beside the kernels' AVX-512 is its own.)
    static const squeeze_function active =
        best_kernel_level() == kernel_level::avx512 &&
                squeeze_avx512_supported()  // GCOVR_EXCL_BR_LINE: the processor's features
            ? squeeze_whitespace_avx512
            : (best_kernel_level() != kernel_level::scalar ? squeeze_whitespace_avx2
                                                           : squeeze_whitespace_portable);
    return active;
#else
    return squeeze_whitespace_portable;
#endif
}

// What squeezing hex text kept.
struct pair_squeeze {
    std::size_t written;  // characters kept
    bool odd;             // an odd number of digits kept so far: a pair is open
    bool refused;         // whitespace inside a pair
};

// As a squeezer, for hex: whitespace may only stand between digit pairs. `odd` says whether a
// pair was open before `in`. Writes at most `n` characters.
pair_squeeze squeeze_pair_whitespace(const char* in, std::size_t n, char* out, bool odd) noexcept;

}  // namespace vorn::core::v2::detail

#endif
