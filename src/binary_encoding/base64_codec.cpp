// SPDX-License-Identifier: MIT
// The final group of a Base64 text, written and read: padding, the URL-safe unpadded forms
// and the canonical check.
#include "binary_encoding/base64_codec.hpp"

namespace vorn::core::v2::detail {

std::size_t base64_encode_final(const base64_alphabet_spec& a, const unsigned char* carry,
                                std::size_t size, char* out) noexcept {
    if (size == 0) {
        return 0;
    }
    const unsigned b0 = carry[0];
    const unsigned b1 = size == 2 ? carry[1] : 0u;
    out[0] = a.chars[b0 >> 2];
    out[1] = a.chars[((b0 & 0x03u) << 4) | (b1 >> 4)];
    if (a.url) {
        // No padding: 2 characters for one byte, 3 for two.
        if (size == 2) {
            out[2] = a.chars[(b1 & 0x0Fu) << 2];
        }
        return size + 1;
    }
    out[2] = size == 2 ? a.chars[(b1 & 0x0Fu) << 2] : base64_padding;
    out[3] = base64_padding;
    return 4;
}

std::size_t base64_decoded_size_bound(std::size_t text_size) noexcept {
    // An unpadded final group of 2 or 3 characters gives 1 or 2 bytes.
    const std::size_t rest = text_size % 4;
    return text_size / 4 * 3 + (rest > 1 ? rest - 1 : 0);
}

namespace {

// The characters of a final group of `size` (1-4) that carry bits, its padding left out; 0
// when the group cannot end a text: truncated, or unpadded where padding is required.
std::size_t significant_chars(const char* g, std::size_t size, bool padding_optional) noexcept {
    if (size == 4) {
        if (g[3] != base64_padding) {
            return 4;
        }
        return g[2] != base64_padding ? 3 : 2;
    }
    const bool unpadded = padding_optional && (size == 2 || (size == 3 && g[2] != base64_padding));
    return unpadded ? size : 0;
}

}  // namespace

base64_final_bytes base64_decode_final(const base64_alphabet_spec& a, const char* leftover,
                                       std::size_t size, base64_final_rules rules) noexcept {
    base64_final_bytes result;
    if (size == 0) {
        return result;
    }
    const std::size_t chars = significant_chars(leftover, size, rules.padding_optional);
    if (chars == 0) {
        result.refused = true;
        return result;
    }
    unsigned values[4] = {};
    for (std::size_t i = 0; i < chars; ++i) {
        values[i] = base64_value(a, leftover[i]);
    }
    const std::size_t bytes = chars - 1;
    if (((values[0] | values[1] | values[2] | values[3]) & 0x80u) != 0 ||
        (rules.canonical && bytes < 3 && !base64_unused_bits_zero(values[bytes], bytes))) {
        result.refused = true;
        return result;
    }
    const unsigned bits = (values[0] << 18) | (values[1] << 12) | (values[2] << 6) | values[3];
    result.bytes[0] = static_cast<unsigned char>(bits >> 16);
    result.bytes[1] = static_cast<unsigned char>(bits >> 8);
    result.bytes[2] = static_cast<unsigned char>(bits);
    result.size = bytes;
    return result;
}

}  // namespace vorn::core::v2::detail
