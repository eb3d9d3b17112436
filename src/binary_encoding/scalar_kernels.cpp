// SPDX-License-Identifier: MIT
// The portable kernels: one group at a time through the tables. They are the reference the
// SIMD kernels must agree with, and they finish the short tails the SIMD loops leave.
#include "binary_encoding/kernels.hpp"
#include "binary_encoding/tables.hpp"

namespace vorn::core::v2::detail {
namespace {

template <const base64_alphabet_spec& alphabet>
void base64_encode_scalar(const unsigned char* in, std::size_t groups, char* out) noexcept {
    base64_encode_group_loop(alphabet.chars, in, groups, out);
}

template <const base64_alphabet_spec& alphabet>
bool base64_decode_scalar(const char* in, std::size_t groups, unsigned char* out) noexcept {
    return base64_decode_group_loop(*alphabet.values, in, groups, out);
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
const hex_kernels hex_scalar_kernels = {hex_encode_loop, hex_decode_pair_loop, portable_tail_run};

}  // namespace vorn::core::v2::detail
