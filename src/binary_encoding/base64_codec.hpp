// SPDX-License-Identifier: MIT
// The Base64 rules (RFC 4648 section 4) that the whole-group kernels leave to their callers:
// which group starts may still become valid, which padded groups are, and how the final group
// of a text is written and read.
//
// Decoding is strict: the text is read in groups of four characters purely by position; a
// group with a character outside the alphabet refuses the whole text, as do characters after
// a padded group ("xx==" or "xxx=", which may only end the text) and a truncated final group.
// The unused low bits of the last significant character are ignored ("Zm9=" gives "fo")
// unless the text must be canonical.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_BASE64_CODEC_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_BASE64_CODEC_HPP

#include <cstddef>

#include "binary_encoding/tables.hpp"

namespace vorn::core::v2::detail {

// A complete group whose fourth character is "=": "xx==" or "xxx=".
inline bool valid_padded_group(const base64_alphabet_spec& a, const char* g) noexcept {
    return base64_value(a, g[0]) != not_in_alphabet && base64_value(a, g[1]) != not_in_alphabet &&
           (base64_value(a, g[2]) != not_in_alphabet || g[2] == base64_padding);
}

// The first `size` (0-3) characters of a group: could the rest still make it valid?
inline bool valid_group_start(const base64_alphabet_spec& a, const char* g,
                              std::size_t size) noexcept {
    for (std::size_t i = 0; i < size; ++i) {
        if (base64_value(a, g[i]) == not_in_alphabet && !(i == 2 && g[i] == base64_padding)) {
            return false;
        }
    }
    return true;
}

// Writes the final group of the `size` (0-2) bytes left after the whole groups to `out` and
// returns its size: 0 or 4 characters with padding, 0, 2 or 3 in the URL-safe alphabet,
// which writes none.
std::size_t base64_encode_final(const base64_alphabet_spec& a, const unsigned char* carry,
                                std::size_t size, char* out) noexcept;

// At least as many bytes as a whole text of `text_size` characters decodes to, in either
// alphabet: the exact count for a valid unpadded text.
std::size_t base64_decoded_size_bound(std::size_t text_size) noexcept;

// The bytes of a final group.
struct base64_final_bytes {
    unsigned char bytes[3] = {};
    std::size_t size = 0;
    bool refused = false;
};

// How a final group may end.
struct base64_final_rules {
    bool padding_optional;  // an unpadded group of 2 or 3 characters ends the text too
    bool canonical;         // the bits the last significant character does not use are zero
};

// Decodes the final `size` (0-4) characters of a text, held back from the whole groups:
// nothing for none, 1-3 bytes for a final group, a refusal for a truncated group or
// characters outside the alphabet.
base64_final_bytes base64_decode_final(const base64_alphabet_spec& a, const char* leftover,
                                       std::size_t size, base64_final_rules rules) noexcept;

// The last significant character of a final group that decodes to `bytes` (1 or 2) bytes, of
// value `v`, uses no bits beyond them: 4 bits are unused after one byte, 2 after two.
constexpr bool base64_unused_bits_zero(unsigned v, std::size_t bytes) noexcept {
    return (v & (bytes == 1 ? 0x0Fu : 0x03u)) == 0;
}

}  // namespace vorn::core::v2::detail

#endif
