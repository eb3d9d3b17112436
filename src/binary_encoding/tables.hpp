// The alphabets of the two encodings and their reverse tables.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_TABLES_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_TABLES_HPP

#include <array>

namespace vorn::core::v2::detail {

// A reverse-table entry for a character outside the alphabet.
inline constexpr unsigned char not_in_alphabet = 0xFF;

inline constexpr char base64_alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr char base64_padding = '=';

inline constexpr char hex_digits[] = "0123456789abcdef";

namespace tables {

constexpr std::array<unsigned char, 256> make_base64_decode_table() {
    std::array<unsigned char, 256> table{};
    for (unsigned char& entry : table) {
        entry = not_in_alphabet;
    }
    for (unsigned i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(base64_alphabet[i])] = static_cast<unsigned char>(i);
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
    tables::make_base64_decode_table();

// Indexed by character code: 0-15 for '0'-'9', 'a'-'f' and 'A'-'F', not_in_alphabet otherwise.
inline constexpr std::array<unsigned char, 256> hex_decode_table = tables::make_hex_decode_table();

inline unsigned char base64_value(char c) noexcept {
    return base64_decode_table[static_cast<unsigned char>(c)];
}

inline unsigned char hex_value(char c) noexcept {
    return hex_decode_table[static_cast<unsigned char>(c)];
}

}  // namespace vorn::core::v2::detail

#endif
