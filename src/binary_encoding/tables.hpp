// The alphabets of the two encodings and their reverse tables.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_TABLES_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_TABLES_HPP

#include <array>

namespace vorn::core::v2::detail {

// A reverse-table entry for a character outside the alphabet.
inline constexpr unsigned char not_in_alphabet = 0xFF;

inline constexpr char base64_alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr char base64url_alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
inline constexpr char base64_padding = '=';

inline constexpr char hex_digits[] = "0123456789abcdef";

namespace tables {

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

}  // namespace tables

// Indexed by character code: the value of an alphabet character, not_in_alphabet for every
// other code, "=" and every code from 128 up included.
inline constexpr std::array<unsigned char, 256> base64_decode_table =
    tables::make_base64_decode_table(base64_alphabet);
// The same for the URL-safe alphabet: "-" and "_" in place of "+" and "/", which it refuses.
inline constexpr std::array<unsigned char, 256> base64url_decode_table =
    tables::make_base64_decode_table(base64url_alphabet);

// Indexed by character code: 0-15 for '0'-'9', 'a'-'f' and 'A'-'F', not_in_alphabet otherwise.
inline constexpr std::array<unsigned char, 256> hex_decode_table = tables::make_hex_decode_table();

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

}  // namespace vorn::core::v2::detail

#endif
