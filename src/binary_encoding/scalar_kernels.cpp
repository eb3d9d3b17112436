// SPDX-License-Identifier: MIT
// The portable kernels: one group at a time through the tables. They are the reference the
// SIMD kernels must agree with, and they finish the short tails the SIMD loops leave.
#include "binary_encoding/kernels.hpp"
#include "binary_encoding/tables.hpp"

namespace vorn::core::v2::detail {
namespace {

template <const base64_alphabet_spec& alphabet>
void base64_encode_scalar(const unsigned char* in, std::size_t groups, char* out) noexcept {
    for (std::size_t g = 0; g < groups; ++g, in += 3, out += 4) {
        base64_encode_group(alphabet.chars, in, out);
    }
}

template <const base64_alphabet_spec& alphabet>
bool base64_decode_scalar(const char* in, std::size_t groups, unsigned char* out) noexcept {
    // Errors are gathered and checked once: a refused text is refused as a whole, so the
    // bytes written meanwhile do not matter.
    unsigned bad = 0;
    for (std::size_t g = 0; g < groups; ++g, in += 4, out += 3) {
        bad |= base64_decode_group(*alphabet.values, in, out);
    }
    return (bad & 0x80u) == 0;
}

void hex_encode_scalar(const unsigned char* in, std::size_t n, char* out) noexcept {
    for (std::size_t i = 0; i < n; ++i, out += 2) {
        out[0] = hex_digits[in[i] >> 4];
        out[1] = hex_digits[in[i] & 0x0Fu];
    }
}

bool hex_decode_scalar(const char* in, std::size_t pairs, unsigned char* out) noexcept {
    unsigned bad = 0;
    for (std::size_t i = 0; i < pairs; ++i, in += 2) {
        bad |= hex_decode_pair(in, out + i);
    }
    return (bad & 0xF0u) == 0;
}

}  // namespace

const base64_kernels base64_scalar_kernels = {base64_encode_scalar<standard_base64>,
                                              base64_decode_scalar<standard_base64>,
                                              &standard_base64,
                                              portable_tail_run / 3,
                                              portable_tail_run / 4,
                                              nullptr};
const base64_kernels base64url_scalar_kernels = {base64_encode_scalar<url_base64>,
                                                 base64_decode_scalar<url_base64>,
                                                 &url_base64,
                                                 portable_tail_run / 3,
                                                 portable_tail_run / 4,
                                                 nullptr};
const hex_kernels hex_scalar_kernels = {hex_encode_scalar, hex_decode_scalar, portable_tail_run};

}  // namespace vorn::core::v2::detail
