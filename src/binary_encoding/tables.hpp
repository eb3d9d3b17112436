// SPDX-License-Identifier: MIT
// The alphabets of the two encodings and their reverse tables.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_TABLES_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_TABLES_HPP

#include <array>
#include <cstddef>

namespace vorn::core::v2::detail {

// A reverse-table entry for a character outside the alphabet.
inline constexpr unsigned char not_in_alphabet = 0xFF;

inline constexpr char base64_alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr char base64url_alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
inline constexpr char base64_padding = '=';

inline constexpr char hex_digits[] = "0123456789abcdef";

// The reverse tables, built at compile time.
constexpr std::array<unsigned char, 256> make_base64_decode_table(const char* alphabet) {
    std::array<unsigned char, 256> table{};
    for (unsigned char& entry : table) {
        entry = not_in_alphabet;
    }
    for (unsigned i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
    }
    return table;
}

constexpr std::array<unsigned char, 256> make_hex_decode_table() {
    std::array<unsigned char, 256> table{};
    for (unsigned char& entry : table) {
        entry = not_in_alphabet;
    }
    for (unsigned i = 0; i < 10; ++i) {
        table['0' + i] = static_cast<unsigned char>(i);
    }
    for (unsigned i = 0; i < 6; ++i) {
        table['a' + i] = static_cast<unsigned char>(10 + i);
        table['A' + i] = static_cast<unsigned char>(10 + i);
    }
    return table;
}

// Indexed by character code: the value of an alphabet character, not_in_alphabet for every
// other code, "=" and every code from 128 up included.
inline constexpr std::array<unsigned char, 256> base64_decode_table =
    make_base64_decode_table(base64_alphabet);
// The same for the URL-safe alphabet: "-" and "_" in place of "+" and "/", which it refuses.
inline constexpr std::array<unsigned char, 256> base64url_decode_table =
    make_base64_decode_table(base64url_alphabet);

// Indexed by character code: 0-15 for '0'-'9', 'a'-'f' and 'A'-'F', not_in_alphabet otherwise.
inline constexpr std::array<unsigned char, 256> hex_decode_table = make_hex_decode_table();

inline unsigned char base64_value(char c) noexcept {
    return base64_decode_table[static_cast<unsigned char>(c)];
}

// The two Base64 alphabets, as the codecs and kernels see them.
struct base64_alphabet_spec {
    const char* chars;                             // index 0-63 to character
    const std::array<unsigned char, 256>* values;  // character to index, or not_in_alphabet
    bool url;  // the URL-safe form: written without padding, read with or without it
};

inline constexpr base64_alphabet_spec standard_base64 = {base64_alphabet, &base64_decode_table,
                                                         false};
inline constexpr base64_alphabet_spec url_base64 = {base64url_alphabet, &base64url_decode_table,
                                                    true};

inline unsigned char base64_value(const base64_alphabet_spec& a, char c) noexcept {
    return (*a.values)[static_cast<unsigned char>(c)];
}

inline unsigned char hex_value(char c) noexcept {
    return hex_decode_table[static_cast<unsigned char>(c)];
}

// One group at a time, inline: the portable kernels are loops over these, and the front-ends
// use them directly for pieces too short to profit from a kernel call.

// The four characters of the three bytes at `in`, in the alphabet `chars`.
inline void base64_encode_group(const char* chars, const unsigned char* in, char* out) noexcept {
    const unsigned b0 = in[0];
    const unsigned b1 = in[1];
    const unsigned b2 = in[2];
    out[0] = chars[b0 >> 2];
    out[1] = chars[((b0 & 0x03u) << 4) | (b1 >> 4)];
    out[2] = chars[((b1 & 0x0Fu) << 2) | (b2 >> 6)];
    out[3] = chars[b2 & 0x3Fu];
}

// The three bytes of the four characters at `in`. Returns the values read or-ed together:
// bit 7 is set when a character is outside the alphabet (the bytes are then unspecified).
inline unsigned base64_decode_group(const std::array<unsigned char, 256>& values, const char* in,
                                    unsigned char* out) noexcept {
    const unsigned v0 = values[static_cast<unsigned char>(in[0])];
    const unsigned v1 = values[static_cast<unsigned char>(in[1])];
    const unsigned v2 = values[static_cast<unsigned char>(in[2])];
    const unsigned v3 = values[static_cast<unsigned char>(in[3])];
    const unsigned bits = (v0 << 18) | (v1 << 12) | (v2 << 6) | v3;
    out[0] = static_cast<unsigned char>(bits >> 16);
    out[1] = static_cast<unsigned char>(bits >> 8);
    out[2] = static_cast<unsigned char>(bits);
    return v0 | v1 | v2 | v3;
}

// The byte of the digit pair at `in`. Returns the values or-ed together: a bit of 0xF0 is
// set when a character is not a hex digit.
inline unsigned hex_decode_pair(const char* in, unsigned char* out) noexcept {
    const unsigned high = hex_value(in[0]);
    const unsigned low = hex_value(in[1]);
    *out = static_cast<unsigned char>((high << 4) | low);
    return high | low;
}

// Runs of groups (or pairs) through the functions above: the portable kernels, and the
// front-ends' path for runs too short to profit from a kernel call.

inline void base64_encode_group_loop(const char* chars, const unsigned char* in, std::size_t groups,
                                     char* out) noexcept {
    for (std::size_t g = 0; g < groups; ++g, in += 3, out += 4) {
        base64_encode_group(chars, in, out);
    }
}

// False when a character is outside the alphabet. Errors are gathered and checked once: a
// refused text is refused as a whole, so the bytes written meanwhile do not matter.
inline bool base64_decode_group_loop(const std::array<unsigned char, 256>& values, const char* in,
                                     std::size_t groups, unsigned char* out) noexcept {
    unsigned bad = 0;
    for (std::size_t g = 0; g < groups; ++g, in += 4, out += 3) {
        bad |= base64_decode_group(values, in, out);
    }
    return (bad & 0x80u) == 0;
}

inline void hex_encode_loop(const unsigned char* in, std::size_t n, char* out) noexcept {
    for (std::size_t i = 0; i < n; ++i, out += 2) {
        out[0] = hex_digits[in[i] >> 4];
        out[1] = hex_digits[in[i] & 0x0Fu];
    }
}

// False when a character is not a hex digit.
inline bool hex_decode_pair_loop(const char* in, std::size_t pairs, unsigned char* out) noexcept {
    unsigned bad = 0;
    for (std::size_t i = 0; i < pairs; ++i, in += 2) {
        bad |= hex_decode_pair(in, out + i);
    }
    return (bad & 0xF0u) == 0;
}

}  // namespace vorn::core::v2::detail

#endif
