// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/format_options.hpp: the format options of the library's values, shared by the
/// {fmt} formatters of vorn/core/fmt.hpp and the std::format ones of vorn/core/format.hpp.
/// Include one of those; this header holds what they have in common.
///
/// Every value takes the standard [[fill]align][width]: fill is one character other than '{'
/// and '}', align is '<', '>' or '^', width a count or a nested "{}" or "{n}" naming an integer
/// argument. The width counts characters (UTF-8 code points). A date, time, datetime, stack or
/// enumeration aligns left by default, a decimal right. What follows depends on the type:
///
///   date, time            nothing: the text form of chars_converter's make_chars
///   datetime              nothing: the text form of make_chars ("2024-03-10T12:34:56Z");
///                         "r": the RFC 3339 form with milliseconds of make_chars_rfc3339
///   decimal               [.precision][,][f]: precision decimals rounded half to even, as
///                         to_string does, or the value's own scale without a precision; ","
///                         writes a comma as the decimal separator; "f" changes nothing
///   result::stack         nothing: to_string(stack)
///   decode_status, converter_status, binary_encoding
///                         nothing: to_string(value)
///
/// Anything else is a format error, at compile time where the format string is checked then.
/// A value without the text asked for (a date beyond the writer's years, an RFC 3339 form
/// outside the years 0 to 9999) is a format error when it is formatted.
#ifndef VORN_CORE_FORMAT_OPTIONS_HPP
#define VORN_CORE_FORMAT_OPTIONS_HPP

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

#include "vorn/core/binary_encoding.hpp"
#include "vorn/core/converters.hpp"
#include "vorn/core/decimal.hpp"
#include "vorn/core/result.hpp"

namespace vorn::core::v2::detail {

// What the options of a value may hold beyond [[fill]align][width].
enum class format_kind : unsigned char {
    text,      // nothing more
    datetime,  // "r"
    decimal,   // [.precision][,][f]
};

// Parsed format options.
struct format_options {
    char fill = ' ';
    char align = '\0';  // '<', '>', '^', or '\0' for the type's default
    std::size_t width = 0;
    bool width_from_argument = false;
    int width_argument = -1;  // its index; -1 for the next argument, found by the formatter
    int precision = -1;       // a decimal's decimals; -1 for the value's own scale
    char separator = '.';
    bool rfc3339 = false;
};

constexpr bool is_format_align(char c) noexcept {
    return c == '<' || c == '>' || c == '^';
}

constexpr bool is_format_digit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// Reads the digits at `it` into `value`; false when there are none or they pass INT_MAX.
template <class It>
constexpr bool parse_format_count(It& it, It end, std::size_t& value) noexcept {
    if (it == end || !is_format_digit(*it)) {
        return false;
    }
    value = 0;
    do {
        value = value * 10 + static_cast<std::size_t>(*it - '0');
        if (value > 0x7fffffffU) {
            return false;
        }
        ++it;
    } while (it != end && is_format_digit(*it));
    return true;
}

// Parses [[fill]align][width] at `it`; returns where it stopped, or sets `error`.
template <class It>
constexpr It parse_fill_align_width(It it, It end, format_options& options,
                                    const char*& error) noexcept {
    It next = it;
    ++next;
    if (next != end && is_format_align(*next) && *it != '{' && *it != '}') {
        options.fill = *it;
        options.align = *next;
        it = ++next;
    } else if (is_format_align(*it)) {
        options.align = *it;
        ++it;
    }
    if (it == end) {
        return it;
    }
    if (*it == '0') {
        error = "zero padding is not supported; give a fill character: {:0>8}";
    } else if (is_format_digit(*it)) {
        if (!parse_format_count(it, end, options.width)) {
            error = "the width is too large";
        }
    } else if (*it == '{') {
        ++it;
        options.width_from_argument = true;
        std::size_t index = 0;
        if (it != end && *it != '}') {
            if (!parse_format_count(it, end, index)) {
                error = "a nested width is {} or {n}";
                return it;
            }
            options.width_argument = static_cast<int>(index);
        }
        if (it == end || *it != '}') {
            error = "a nested width is {} or {n}";
            return it;
        }
        ++it;
    }
    return it;
}

// Parses the whole format options, from just after the ':' to the closing '}' (or the end), for
// a value of `kind`. Returns where it stopped: at the '}' on success. On malformed
// options `error` points at the message of the format error to raise.
template <class It>
constexpr It parse_format_options(It it, It end, format_kind kind, format_options& options,
                                  const char*& error) noexcept {
    error = nullptr;
    if (it == end || *it == '}') {
        return it;
    }
    it = parse_fill_align_width(it, end, options, error);
    if (error != nullptr) {
        return it;
    }
    if (kind == format_kind::decimal) {
        if (it != end && *it == '.') {
            ++it;
            std::size_t precision = 0;
            if (!parse_format_count(it, end, precision)) {
                error = "a precision is a count of decimals: {:.2}";
                return it;
            }
            options.precision = static_cast<int>(precision);
        }
        if (it != end && *it == ',') {
            options.separator = ',';
            ++it;
        }
        if (it != end && *it == 'f') {
            ++it;
        }
    } else if (kind == format_kind::datetime && it != end && *it == 'r') {
        options.rfc3339 = true;
        ++it;
    }
    if (it != end && *it != '}') {
        error = kind == format_kind::decimal
                    ? "a decimal takes [[fill]align][width][.precision][,][f]"
                : kind == format_kind::datetime ? "a datetime takes [[fill]align][width][r]"
                                                : "this value takes [[fill]align][width] only";
    }
    return it;
}

// The width named by a nested width argument: an integer that is not negative. Other values
// set `error`.
struct width_argument_value {
    const char** error;

    template <class T>
    std::size_t operator()(const T& value) const noexcept {
        if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                      !std::is_same_v<T, char>) {
            if constexpr (std::is_signed_v<T>) {
                if (value < 0) {
                    *error = "a nested width is negative";
                    return 0;
                }
            }
            return static_cast<std::size_t>(value);
        } else {
            *error = "a nested width is not an integer";
            return 0;
        }
    }
};

// The text of one value, where it lives: in `buffer` when it fits, else in `spill`.
struct formatted_text {
    char buffer[64];
    std::string spill;
    std::string_view text;
};

// Each sets out.text to the text `options` asks of `value`, or returns the message of the format
// error for a value without one. Only a decimal of many digits or a stack allocates.
///@{
template <class Value>
const char* format_calendar_value(Value value, bool rfc3339, formatted_text& out) noexcept {
    std::size_t length = sizeof out.buffer;
    converter_status status = converter_status::invalid_format;
    if constexpr (std::is_same_v<Value, datetime>) {
        status = rfc3339 ? chars_converter<datetime>().make_chars_rfc3339(out.buffer, length, value)
                         : chars_converter<datetime>().make_chars(out.buffer, length, value);
    } else {
        status = chars_converter<Value>().make_chars(out.buffer, length, value);
    }
    if (status != converter_status::success) {
        return rfc3339 ? "the value has no RFC 3339 form (years 0 to 9999 only)"
                       : "the value has no text form (its year is beyond the writer's)";
    }
    out.text = std::string_view(out.buffer, length);
    return nullptr;
}
inline const char* format_value(date value, const format_options&, formatted_text& out) noexcept {
    return format_calendar_value(value, false, out);
}
inline const char* format_value(time value, const format_options&, formatted_text& out) noexcept {
    return format_calendar_value(value, false, out);
}
inline const char* format_value(datetime value, const format_options& options,
                                formatted_text& out) noexcept {
    return format_calendar_value(value, options.rfc3339, out);
}
inline const char* format_value(const decimal& value, const format_options& options,
                                formatted_text& out) {
    const int factor = value.get_factor();
    const unsigned int precision = options.precision >= 0
                                       ? static_cast<unsigned int>(options.precision)
                                   : factor < 0 ? static_cast<unsigned int>(-factor)
                                                : 0U;
    const std::size_t length =
        value.to_chars(out.buffer, sizeof out.buffer, precision, options.separator);
    if (length <= sizeof out.buffer) {
        out.text = std::string_view(out.buffer, length);
    } else {
        out.spill = value.to_string(precision, options.separator);
        out.text = out.spill;
    }
    return nullptr;
}
inline const char* format_value(const result::stack& value, const format_options&,
                                formatted_text& out) {
    out.spill = result::to_string(value);
    out.text = out.spill;
    return nullptr;
}
template <class Enumeration,
          class = std::enable_if_t<std::is_same_v<Enumeration, decode_status> ||
                                   std::is_same_v<Enumeration, converter_status> ||
                                   std::is_same_v<Enumeration, binary_encoding>>>
const char* format_value(Enumeration value, const format_options&, formatted_text& out) noexcept {
    out.text = to_string(value);
    return nullptr;
}
///@}

// The characters `text` shows: its bytes that do not continue a UTF-8 sequence.
inline std::size_t shown_width(std::string_view text) noexcept {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    }));
}

// The fill to write before and after a text to pad it to `width` characters.
struct format_padding {
    std::size_t before = 0;
    std::size_t after = 0;
};
inline format_padding padding_of(std::string_view text, const format_options& options,
                                 std::size_t width, char default_align) noexcept {
    format_padding padding;
    const std::size_t shown = width == 0 ? 0 : shown_width(text);
    if (width > shown) {
        const std::size_t total = width - shown;
        const char align = options.align != '\0' ? options.align : default_align;
        padding.before = align == '>' ? total : align == '^' ? total / 2 : 0;
        padding.after = total - padding.before;
    }
    return padding;
}

// Writes `text` padded as `padding` says, through `write_text`, which writes a text to the
// context's output in one piece and returns the iterator after it.
template <class Context, class WriteText>
auto write_padded(Context& ctx, std::string_view text, const format_options& options,
                  std::size_t width, char default_align, WriteText write_text) {
    const format_padding padding = padding_of(text, options, width, default_align);
    if (padding.before != 0) {
        ctx.advance_to(std::fill_n(ctx.out(), padding.before, options.fill));
    }
    auto out = write_text(text, ctx);
    return padding.after != 0 ? std::fill_n(out, padding.after, options.fill) : out;
}

// What each type of the library takes, and where it aligns by default.
template <class T>
struct format_traits {
    static constexpr format_kind kind = format_kind::text;
    static constexpr char default_align = '<';
};
template <>
struct format_traits<datetime> {
    static constexpr format_kind kind = format_kind::datetime;
    static constexpr char default_align = '<';
};
template <>
struct format_traits<decimal> {
    static constexpr format_kind kind = format_kind::decimal;
    static constexpr char default_align = '>';
};

// The formatter of a type of the library, for {fmt} or std::format as `Backend` says: its
// fail(message) throws the library's format error, width_argument(ctx, index, error) reads a
// nested width, and write_text(text, ctx) appends a text in one piece.
template <class T, class Backend>
struct value_formatter {
    format_options options;

    template <class ParseContext>
    constexpr auto parse(ParseContext& ctx) {
        const char* error = nullptr;
        const auto end =
            parse_format_options(ctx.begin(), ctx.end(), format_traits<T>::kind, options, error);
        if (error != nullptr) {
            Backend::fail(error);  // at compile time, where the string is checked then
        }
        if (options.width_from_argument) {
            using index = decltype(ctx.next_arg_id());
            if (options.width_argument < 0) {
                options.width_argument = static_cast<int>(ctx.next_arg_id());
            } else {
                ctx.check_arg_id(static_cast<index>(options.width_argument));
            }
        }
        return end;
    }

    template <class FormatContext>
    auto format(const T& value, FormatContext& ctx) const {
        const char* error = nullptr;
        std::size_t width = options.width;
        if (options.width_from_argument) {
            width = Backend::width_argument(ctx, options.width_argument, error);
        }
        formatted_text text;
        if (error == nullptr) {
            error = format_value(value, options, text);
        }
        if (error != nullptr) {
            Backend::fail(error);
        }
        return write_padded(
            ctx, text.text, options, width, format_traits<T>::default_align,
            [](std::string_view piece, FormatContext& c) { return Backend::write_text(piece, c); });
    }
};

}  // namespace vorn::core::v2::detail

#endif  // VORN_CORE_FORMAT_OPTIONS_HPP
