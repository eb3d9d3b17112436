// SPDX-License-Identifier: MIT
// The pieces the date, time and date-time converters are built from: the fixed-width field
// writers (two digits at a time from one table), the signed leading field (year, hour) and the
// field readers. All ASCII, no locale, no allocation; inline so that they fold into the callers.
#ifndef VORN_CORE_SRC_DATETIME_TEXT_FIELDS_HPP
#define VORN_CORE_SRC_DATETIME_TEXT_FIELDS_HPP

#include <cstddef>
#include <cstdint>

#include "common/two_digits.hpp"

namespace vorn::core::v2::detail {

// The value of `c` as a decimal digit, or -1.
inline int decimal_digit(char c) noexcept {
    const unsigned int v = static_cast<unsigned char>(c) - unsigned{'0'};
    return v <= 9 ? static_cast<int>(v) : -1;
}

// The first character of [text, end) that is not a decimal digit, or `end`.
inline const char* end_of_digits(const char* text, const char* end) noexcept {
    while (text != end && decimal_digit(*text) >= 0) {
        ++text;
    }
    return text;
}

// Writes `separator` and `first` as two digits, then `separator` and `second` as two digits,
// at `out`: the -MM-DD of a date or the :MM:SS of a clock, 6 characters; both below 100.
inline void write_separated_pairs(char* out, char separator, std::uint32_t first,
                                  std::uint32_t second) noexcept {
    out[0] = separator;
    write_two_digits(out + 1, first);
    out[3] = separator;
    write_two_digits(out + 4, second);
}

// Writes the date YYYY-MM-DD at `out`, 10 characters, for a year from 0 to 9999: the one
// writer of the date field of the date, date-time and RFC 3339 forms, and the fast path of the
// first two beside their signed-year writers.
// bench/datetime_bench.cpp: BM_writer/date, BM_writer/datetime
inline void write_iso_date(char* out, std::uint32_t year, std::uint32_t month,
                           std::uint32_t day) noexcept {
    write_two_digits(out, year / 100);
    write_two_digits(out + 2, year % 100);
    write_separated_pairs(out + 4, '-', month, day);
}

// Writes the clock HH:MM:SS at `out`, 8 characters; every field below 100.
inline void write_clock(char* out, std::uint32_t hour, std::uint32_t minute,
                        std::uint32_t second) noexcept {
    write_two_digits(out, hour);
    write_separated_pairs(out + 2, ':', minute, second);
}

// Writes the milliseconds (below 1000) as the fraction .mmm at `out`, 4 characters.
inline void write_milliseconds(char* out, std::uint32_t milliseconds) noexcept {
    out[0] = '.';
    out[1] = static_cast<char>('0' + milliseconds / 100);
    write_two_digits(out + 2, milliseconds % 100);
}

// The most characters write_offset writes.
constexpr std::size_t max_offset_text = 6;

// Writes the offset designator of `offset` seconds (at most 99 hours either way) at `out`: Z
// for 0, else the sign and whole hours and minutes, ±HH:MM, leftover seconds not written.
// Returns the number of characters written.
inline std::size_t write_offset(char* out, int offset) noexcept {
    if (offset == 0) {
        out[0] = 'Z';
        return 1;
    }
    const auto bits = static_cast<std::uint32_t>(offset);
    const std::uint32_t magnitude = offset < 0 ? 0U - bits : bits;
    out[0] = offset < 0 ? '-' : '+';
    write_two_digits(out + 1, magnitude / 3600);
    out[3] = ':';
    write_two_digits(out + 4, magnitude / 60 % 60);
    return max_offset_text;
}

// Appends a signed leading field: at least `min_digits` digits of the magnitude, after a minus
// sign for a negative value. False, with nothing written, when sign and digits take more than
// `max_width` characters. The buffer has room for `max_width` more characters.
inline bool append_signed_field(char* buffer, std::size_t& used, int value, std::size_t min_digits,
                                std::size_t max_width) noexcept {
    const std::uint32_t magnitude =
        value < 0 ? 0U - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char digits[10];
    std::size_t count = 0;
    std::uint32_t rest = magnitude;
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (count < min_digits) {
        digits[count++] = '0';
    }
    const std::size_t width = count + (value < 0 ? 1 : 0);
    if (width > max_width) {
        return false;
    }
    if (value < 0) {
        buffer[used++] = '-';
    }
    for (std::size_t i = 0; i < count; ++i) {
        buffer[used + i] = digits[count - 1 - i];
    }
    used += count;
    return true;
}

// Reads `width` decimal digits at `text`. False at the first non-digit.
inline bool read_unsigned_field(const char* text, std::size_t width, int& value) noexcept {
    int result = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const int digit = decimal_digit(text[i]);
        if (digit < 0) {
            return false;
        }
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

// Reads a field of `width` characters that may open with a minus sign followed by `width` - 1
// digits (the year of a date, the hour of a time).
inline bool read_signed_field(const char* text, std::size_t width, int& value) noexcept {
    if (text[0] != '-') {
        return read_unsigned_field(text, width, value);
    }
    int magnitude = 0;
    if (!read_unsigned_field(text + 1, width - 1, magnitude)) {
        return false;
    }
    value = -magnitude;
    return true;
}

// The most fraction digits the readers take after the full stop of a time.
constexpr std::size_t max_fraction_digits = 32;

// Reads `count` digits (1 to max_fraction_digits) as a decimal fraction of a second, truncated
// to whole milliseconds: "5" is 500, "05" is 50, "123456" is 123.
inline bool read_fraction_msecs(const char* text, std::size_t count, unsigned int& msecs) noexcept {
    if (count == 0 || count > max_fraction_digits) {
        return false;
    }
    unsigned int result = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = decimal_digit(text[i]);
        if (digit < 0) {
            return false;
        }
        if (i < 3) {
            result = result * 10 + static_cast<unsigned int>(digit);
        }
    }
    for (std::size_t i = count; i < 3; ++i) {
        result *= 10;
    }
    msecs = result;
    return true;
}

}  // namespace vorn::core::v2::detail

#endif
