// SPDX-License-Identifier: MIT
// Base64 (RFC 4648 section 4, "=" padding, no line breaks) over streams of chunks, on raw
// buffers: the whole-group work goes to a kernel, the group that straddles two chunks and the
// rules for padding and refusal are handled here.
//
// Decoding is strict: the text is read in groups of four characters purely by position; a
// group with a character outside the alphabet refuses the whole text, as do characters after
// a padded group ("xx==" or "xxx=", which may only end the text) and a truncated final group.
// The unused low bits of the last significant character are ignored ("Zm9=" gives "fo").
#ifndef VORN_CORE_SRC_BINARY_ENCODING_BASE64_CODEC_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_BASE64_CODEC_HPP

#include <cstddef>
#include <cstdint>

#include "binary_encoding/chunks.hpp"
#include "binary_encoding/kernels.hpp"
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

// The bytes of a stream that do not yet fill a group of three.
struct base64_carry {
    unsigned char bytes[2] = {};
    std::size_t size = 0;
};

// The number of characters base64_encode_update writes for these chunks: four per whole group.
std::size_t base64_encoded_size(const data_chunk* chunks, std::uint32_t count);

// Writes the four characters of every whole group of three bytes of the chunk stream to `out`
// and returns the 0-2 bytes left over.
base64_carry base64_encode_update(const base64_kernels& kernels, const data_chunk* chunks,
                                  std::uint32_t count, char* out) noexcept;

// Writes the padded group of the `size` (0-2) carried bytes to `out`; returns 0 or 4.
std::size_t base64_encode_final(const unsigned char* carry, std::size_t size, char* out) noexcept;
// The same in alphabet `a`: the URL-safe one writes no padding, 0, 2 or 3 characters.
std::size_t base64_encode_final(const base64_alphabet_spec& a, const unsigned char* carry,
                                std::size_t size, char* out) noexcept;

// At least as many bytes as base64_decode_update writes for these chunks.
std::size_t base64_decoded_size_bound(const data_chunk* chunks, std::uint32_t count);

// At least as many bytes as a whole text of `text_size` characters decodes to, in either
// alphabet: the exact count for a valid unpadded text.
std::size_t base64_decoded_size_bound(std::size_t text_size) noexcept;

// Decodes every whole group of the chunk stream to `out`. Holds back an incomplete final
// group (0-3 characters, checked as far as it goes) or a padded final group (4 characters,
// decoded by base64_decode_final), or refuses the stream.
decode_outcome base64_decode_update(const base64_kernels& kernels, const data_chunk* chunks,
                                    std::uint32_t count, unsigned char* out) noexcept;

// The bytes of a held-back final text.
struct base64_final_bytes {
    unsigned char bytes[3] = {};
    std::size_t size = 0;
    bool refused = false;
};

// Decodes what base64_decode_update held back: nothing for an empty text, 1-3 bytes for a
// final group, a refusal for a truncated group or characters outside the alphabet.
base64_final_bytes base64_decode_final(const char* leftover, std::size_t size) noexcept;
// The same in alphabet `a`: the URL-safe one also takes an unpadded final group of 2 or 3.
base64_final_bytes base64_decode_final(const base64_alphabet_spec& a, const char* leftover,
                                       std::size_t size) noexcept;

// How a final group may end.
struct base64_final_rules {
    bool padding_optional;  // an unpadded group of 2 or 3 characters ends the text too
    bool canonical;         // the bits the last significant character does not use are zero
};
// The same with explicit rules.
base64_final_bytes base64_decode_final(const base64_alphabet_spec& a, const char* leftover,
                                       std::size_t size, base64_final_rules rules) noexcept;

// The last significant character of a final group that decodes to `bytes` (1 or 2) bytes, of
// value `v`, uses no bits beyond them: 4 bits are unused after one byte, 2 after two.
constexpr bool base64_unused_bits_zero(unsigned v, std::size_t bytes) noexcept {
    return (v & (bytes == 1 ? 0x0Fu : 0x03u)) == 0;
}

}  // namespace vorn::core::v2::detail

#endif
