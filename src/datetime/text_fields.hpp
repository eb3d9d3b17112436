// SPDX-License-Identifier: MIT
// The pieces the date, time and date-time converters are built from: the number writer, the
// signed leading field (year, hour) and the fixed-width field readers. All ASCII, no locale,
// no allocation; inline so that the constant formats fold into the callers.
#ifndef VORN_CORE_SRC_DATETIME_TEXT_FIELDS_HPP
#define VORN_CORE_SRC_DATETIME_TEXT_FIELDS_HPP

#include <cstddef>
#include <cstdint>

#include "common/two_digits.hpp"
#include "vorn/core/converters.hpp"

namespace vorn::core::v2::detail {

// How the number writer writes one number.
struct number_format {
    std::uint16_t base;        // 2 to 36
    std::uint32_t min_digits;  // reached with leading zeros; at most 32
    std::uint32_t max_digits;  // 0 stands for 32
};

// Digit value v is written as digit_alphabet[v].
inline constexpr char digit_alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The value of `c` as a decimal digit, or -1.
inline int decimal_digit(char c) noexcept {
    const unsigned int v = static_cast<unsigned char>(c) - unsigned{'0'};
    return v <= 9 ? static_cast<int>(v) : -1;
}

// Appends `value` at buffer[used] in `format`. On buffer_too_small, `capacity` is raised to
// what the number needs; on any failure nothing is written.
inline converter_status append_number(const number_format& format, char* buffer, std::size_t& used,
                                      std::size_t& capacity, std::uint32_t value) noexcept {
    if (format.base < 2 || format.base > 36) {
        return converter_status::invalid_base;
    }
    if (capacity - used < format.min_digits) {
        capacity = used + format.min_digits;
        return converter_status::buffer_too_small;
    }
    char digits[32];
    std::size_t count = 0;
    for (;;) {
        digits[count++] = digit_alphabet[value % format.base];
        if (value < format.base && count >= format.min_digits) {
            break;
        }
        value /= format.base;
        if (count == sizeof digits) {
            break;  // only zeros remain: 32 base-2 digits hold every 32-bit value
        }
    }
    const std::uint32_t max_digits = format.max_digits == 0 ? 32 : format.max_digits;
    if (count > max_digits) {
        return converter_status::invalid_format;
    }
    if (capacity - used < count) {
        capacity = used + count;
        return converter_status::buffer_too_small;
    }
    for (std::size_t i = 0; i < count; ++i) {
        buffer[used + i] = digits[count - 1 - i];
    }
    used += count;
    return converter_status::success;
}

// Writes the date YYYY-MM-DD at `out`, 10 characters, for a year from 0 to 9999: the one
// writer of the date field of the date, date-time and RFC 3339 forms.
inline void write_iso_date(char* out, std::uint32_t year, std::uint32_t month,
                           std::uint32_t day) noexcept {
    write_two_digits(out, year / 100);
    write_two_digits(out + 2, year % 100);
    out[4] = '-';
    write_two_digits(out + 5, month);
    out[7] = '-';
    write_two_digits(out + 8, day);
}

// Appends `value` as exactly `digits` decimal digits (leading zeros) with the number writer.
inline converter_status append_decimal(char* buffer, std::size_t& used, std::size_t& capacity,
                                       std::uint32_t value, std::uint32_t digits) noexcept {
    return append_number(number_format{10, digits, digits}, buffer, used, capacity, value);
}

// Appends `separator`, then `value` as exactly `digits` decimal digits. The separator needs no
// room of its own: the scratch areas are sized for their whole form.
inline converter_status append_separated(char* buffer, std::size_t& used, std::size_t& capacity,
                                         char separator, std::uint32_t value,
                                         std::uint32_t digits) noexcept {
    buffer[used++] = separator;
    return append_decimal(buffer, used, capacity, value, digits);
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
