// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/fmt.hpp: {fmt} formatters for the library's values.
///
/// Include it in a program that uses {fmt} (the library itself does not need {fmt}); the
/// options are those of vorn/core/format_options.hpp. With C++20, {fmt} checks the format
/// string at compile time and invalid options do not compile; fmt::runtime() strings
/// throw fmt::format_error instead.
///
///   namespace vc = vorn::core::v2;
///   fmt::print("{} paid {:.2}\n", when, amount);     // 2024-03-10T12:34:56Z paid 12.50
///   fmt::print("{:r}\n", when);                       // 2024-03-10T12:34:56.000Z
///   fmt::print("[{:>10,}]\n", vc::decimal(1250, -2)); // [     12,50]
///   fmt::print("{}\n", status);                       // one line per item
#ifndef VORN_CORE_FMT_HPP
#define VORN_CORE_FMT_HPP

#include <fmt/format.h>

#include "vorn/core/format_options.hpp"

namespace vorn::core::v2::detail {

// What the formatters of format_options.hpp need of {fmt}.
struct fmt_backend {
    [[noreturn]] static void fail(const char* message) { throw fmt::format_error(message); }

    template <class FormatContext>
    static std::size_t width_argument(FormatContext& ctx, int index, const char*& error) {
        return fmt::visit_format_arg(width_argument_value{&error}, ctx.arg(index));
    }

    // {fmt}'s own string formatter appends the text in one piece.
    template <class FormatContext>
    static auto write_text(std::string_view text, FormatContext& ctx) {
        return fmt::formatter<fmt::string_view>().format(fmt::string_view(text.data(), text.size()),
                                                         ctx);
    }
};

template <class T>
using fmt_formatter = value_formatter<T, fmt_backend>;

}  // namespace vorn::core::v2::detail

namespace fmt {

/// Formats a date as chars_converter<date> writes it.
template <>
struct formatter<vorn::core::v2::date>
    : vorn::core::v2::detail::fmt_formatter<vorn::core::v2::date> {};
/// Formats a time as chars_converter<time> writes it.
template <>
struct formatter<vorn::core::v2::time>
    : vorn::core::v2::detail::fmt_formatter<vorn::core::v2::time> {};
/// Formats a datetime in its text form, or ("r") in the RFC 3339 form with milliseconds.
template <>
struct formatter<vorn::core::v2::datetime>
    : vorn::core::v2::detail::fmt_formatter<vorn::core::v2::datetime> {};
/// Formats a decimal at its own scale or a precision ("{:.2}"), with "." or "," ("{:,}").
template <>
struct formatter<vorn::core::v2::decimal>
    : vorn::core::v2::detail::fmt_formatter<vorn::core::v2::decimal> {};
/// Formats a stack as to_string does: one line per item, newest first.
template <>
struct formatter<vorn::core::v2::result::stack>
    : vorn::core::v2::detail::fmt_formatter<vorn::core::v2::result::stack> {};
/// Formats a decoding status by its name.
template <>
struct formatter<vorn::core::v2::decode_status>
    : vorn::core::v2::detail::fmt_formatter<vorn::core::v2::decode_status> {};
/// Formats a conversion status by its name.
template <>
struct formatter<vorn::core::v2::converter_status>
    : vorn::core::v2::detail::fmt_formatter<vorn::core::v2::converter_status> {};
/// Formats an encoding by its name.
template <>
struct formatter<vorn::core::v2::binary_encoding>
    : vorn::core::v2::detail::fmt_formatter<vorn::core::v2::binary_encoding> {};

}  // namespace fmt

#endif  // VORN_CORE_FMT_HPP
