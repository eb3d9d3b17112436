// The portable kernels: one group at a time through the tables. They are the reference the
// SIMD kernels must agree with, and they finish the short tails the SIMD loops leave.
#include "binary_encoding/kernels.hpp"
#include "binary_encoding/tables.hpp"

namespace vorn::core::v2::detail {
namespace {

template <const base64_alphabet_spec& alphabet>
void base64_encode_scalar(const unsigned char* in, std::size_t groups, char* out) noexcept {
    const char* const chars = alphabet.chars;
    for (std::size_t g = 0; g < groups; ++g, in += 3, out += 4) {
        const unsigned b0 = in[0];
        const unsigned b1 = in[1];
        const unsigned b2 = in[2];
        out[0] = chars[b0 >> 2];
        out[1] = chars[((b0 & 0x03u) << 4) | (b1 >> 4)];
        out[2] = chars[((b1 & 0x0Fu) << 2) | (b2 >> 6)];
        out[3] = chars[b2 & 0x3Fu];
    }
}

template <const base64_alphabet_spec& alphabet>
bool base64_decode_scalar(const char* in, std::size_t groups, unsigned char* out) noexcept {
    // Errors are gathered and checked once: a refused text is refused as a whole, so the
    // bytes written meanwhile do not matter.
    unsigned bad = 0;
    for (std::size_t g = 0; g < groups; ++g, in += 4, out += 3) {
        const unsigned v0 = base64_value(alphabet, in[0]);
        const unsigned v1 = base64_value(alphabet, in[1]);
        const unsigned v2 = base64_value(alphabet, in[2]);
        const unsigned v3 = base64_value(alphabet, in[3]);
        bad |= v0 | v1 | v2 | v3;
        const unsigned bits = (v0 << 18) | (v1 << 12) | (v2 << 6) | v3;
        out[0] = static_cast<unsigned char>(bits >> 16);
        out[1] = static_cast<unsigned char>(bits >> 8);
        out[2] = static_cast<unsigned char>(bits);
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
        const unsigned high = hex_value(in[0]);
        const unsigned low = hex_value(in[1]);
        bad |= high | low;
        out[i] = static_cast<unsigned char>((high << 4) | low);
    }
    return (bad & 0xF0u) == 0;
}

}  // namespace

const base64_kernels base64_scalar_kernels = {
    base64_encode_scalar<standard_base64>, base64_decode_scalar<standard_base64>, &standard_base64};
const base64_kernels base64url_scalar_kernels = {base64_encode_scalar<url_base64>,
                                                 base64_decode_scalar<url_base64>, &url_base64};
const hex_kernels hex_scalar_kernels = {hex_encode_scalar, hex_decode_scalar};

}  // namespace vorn::core::v2::detail
