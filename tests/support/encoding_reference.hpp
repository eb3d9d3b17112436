// SPDX-License-Identifier: MIT
// Slow, obviously correct Base64 and hex, written from the rules rather than for speed: the
// yardstick for the library's codecs in tests and fuzz targets.
#ifndef VORN_CORE_TESTS_SUPPORT_ENCODING_REFERENCE_HPP
#define VORN_CORE_TESTS_SUPPORT_ENCODING_REFERENCE_HPP

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::test {

using bytes = std::vector<unsigned char>;

inline const std::string_view base64_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of an alphabet character, or -1.
inline int base64_digit(char c) {
    const std::size_t at = base64_alphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// The padded Base64 of `data`, bit by bit: each 6 bits of the stream one character, the last
// bits padded with zeros, the text padded with "=" to a multiple of four.
inline std::string reference_base64_encode(const bytes& data) {
    std::string text;
    unsigned bits = 0;
    int held = 0;
    for (unsigned char byte : data) {
        bits = (bits << 8) | byte;
        held += 8;
        while (held >= 6) {
            held -= 6;
            text += base64_alphabet[(bits >> held) & 0x3F];
        }
    }
    if (held > 0) {
        text += base64_alphabet[(bits << (6 - held)) & 0x3F];
    }
    while (text.size() % 4 != 0) {
        text += '=';
    }
    return text;
}

// The bytes of a strict Base64 text, or nothing when it is refused: groups of four alphabet
// characters, the last of which may end in "=" or "==".
inline std::optional<bytes> reference_base64_decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    bytes out;
    for (std::size_t at = 0; at < text.size(); at += 4) {
        const bool last = at + 4 == text.size();
        const std::string_view group = text.substr(at, 4);
        std::size_t significant = 4;
        if (last && group[3] == '=') {
            significant = group[2] == '=' ? 2 : 3;
        }
        unsigned bits = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const int digit = i < significant ? base64_digit(group[i]) : 0;
            if (digit < 0) {
                return std::nullopt;
            }
            bits = (bits << 6) | static_cast<unsigned>(digit);
        }
        for (std::size_t i = 0; i + 1 < significant; ++i) {
            out.push_back(static_cast<unsigned char>(bits >> (16 - 8 * i)));
        }
    }
    return out;
}

// Base64url from the standard reference: the alphabet swapped and the padding dropped; read
// back unpadded, or padded exactly, never with "+" or "/".
inline std::optional<bytes> reference_base64url_decode(std::string_view text) {
    std::string standard(text);
    for (char& c : standard) {
        if (c == '+' || c == '/') {
            return std::nullopt;
        }
        c = c == '-' ? '+' : (c == '_' ? '/' : c);
    }
    if (standard.find('=') == std::string::npos && standard.size() % 4 != 1) {
        standard.append((4 - standard.size() % 4) % 4, '=');
    }
    return reference_base64_decode(standard);
}

inline std::string reference_base64url_encode(const bytes& data) {
    std::string text = reference_base64_encode(data);
    text.erase(text.find_last_not_of('=') + 1);
    for (char& c : text) {
        c = c == '+' ? '-' : (c == '/' ? '_' : c);
    }
    return text;
}

inline std::string reference_hex_encode(const bytes& data) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : data) {
        text += digits[byte / 16];
        text += digits[byte % 16];
    }
    return text;
}

inline int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The bytes of a strict hex text, or nothing when it is refused: pairs of hex digits.
inline std::optional<bytes> reference_hex_decode(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    bytes out;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        const int high = hex_digit(text[at]);
        const int low = hex_digit(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return out;
}

// ASCII whitespace as the forgiving readers skip it: not vertical tab.
inline bool reference_is_whitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// The web platform's forgiving-base64 decode, step by step: whitespace removed; one or two
// "=" removed from a text of a multiple of four characters; refused when a character is then
// left over (length 1 modulo 4) or is outside the alphabet; the trailing bits dropped. `url`
// reads the URL-safe alphabet by the same rules.
inline std::optional<bytes> reference_forgiving_base64_decode(std::string_view text, bool url) {
    std::string kept;
    for (char c : text) {
        if (!reference_is_whitespace(c)) {
            kept += url && c == '-' ? '+' : (url && c == '_' ? '/' : c);
            if (url && (c == '+' || c == '/')) {
                return std::nullopt;
            }
        }
    }
    if (kept.size() % 4 == 0 && !kept.empty() && kept.back() == '=') {
        kept.pop_back();
        if (kept.back() == '=') {
            kept.pop_back();
        }
    }
    if (kept.size() % 4 == 1) {
        return std::nullopt;
    }
    bytes out;
    unsigned bits = 0;
    int held = 0;
    for (char c : kept) {
        const int digit = base64_digit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<unsigned>(digit);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<unsigned char>(bits >> held));
        }
    }
    return out;
}

// Forgiving hex: whitespace between digit pairs removed, never inside one.
inline std::optional<bytes> reference_forgiving_hex_decode(std::string_view text) {
    std::string kept;
    for (char c : text) {
        if (!reference_is_whitespace(c)) {
            kept += c;
        } else if (kept.size() % 2 != 0) {
            return std::nullopt;
        }
    }
    return reference_hex_decode(kept);
}

// `text` without its whitespace and padding: what a canonical text must equal once the
// decoded bytes are encoded again (and stripped the same way).
inline std::string reference_significant(std::string_view text) {
    std::string kept;
    for (char c : text) {
        if (!reference_is_whitespace(c) && c != '=') {
            kept += c;
        }
    }
    return kept;
}

// `text` broken after every `length` characters, each line (the last included) followed by
// `end`; unchanged for a length of 0.
inline std::string reference_wrap(std::string_view text, std::size_t length, std::string_view end) {
    if (length == 0) {
        return std::string(text);
    }
    std::string out;
    for (std::size_t at = 0; at < text.size(); at += length) {
        out += text.substr(at, length);
        out += end;
    }
    return out;
}

}  // namespace vorn::test

#endif
