// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/format.hpp: std::format formatters for the library's values.
///
/// The formatters exist where the standard library has `<format>`: a C++20 library that defines
/// __cpp_lib_format, or libc++ 16 and later with its format library enabled
/// (-fexperimental-library). VORN_CORE_HAS_STD_FORMATTERS is then defined to 1; elsewhere this
/// header declares nothing. The options are those of vorn/core/format_options.hpp, the same
/// as for {fmt}; std::format checks them at compile time, std::vformat throws std::format_error.
///
///   namespace vc = vorn::core::v2;
///   std::string line = std::format("{} paid {:.2}", when, amount);  // ... paid 12.50
///   std::string stamp = std::format("{:r}", when);                  // 2024-03-10T12:34:56.000Z
#ifndef VORN_CORE_FORMAT_HPP
#define VORN_CORE_FORMAT_HPP

#if __has_include(<version>)
#include <version>
#endif

#if defined(__cpp_lib_format) || (defined(_LIBCPP_VERSION) && _LIBCPP_VERSION >= 160000 && \
                                  !defined(_LIBCPP_HAS_NO_INCOMPLETE_FORMAT))

/// Defined to 1 where this header declares the std::format formatters.
#define VORN_CORE_HAS_STD_FORMATTERS 1

#include <cstddef>
#include <format>

#include "vorn/core/format_options.hpp"

namespace vorn::core::v2::detail {

// What the formatters of format_options.hpp need of std::format.
struct std_format_backend {
    [[noreturn]] static void fail(const char* message) { throw std::format_error(message); }

    template <class FormatContext>
    static std::size_t width_argument(FormatContext& ctx, int index, const char*& error) {
        return std::visit_format_arg(width_argument_value{&error},
                                     ctx.arg(static_cast<std::size_t>(index)));
    }

    // The standard string formatter appends the text in one piece.
    template <class FormatContext>
    static auto write_text(std::string_view text, FormatContext& ctx) {
        return std::formatter<std::string_view, char>().format(text, ctx);
    }
};

template <class T>
using std_formatter = value_formatter<T, std_format_backend>;

}  // namespace vorn::core::v2::detail

namespace std {

/// Formats a date as chars_converter<date> writes it.
template <>
struct formatter<vorn::core::v2::date, char>
    : vorn::core::v2::detail::std_formatter<vorn::core::v2::date> {};
/// Formats a time as chars_converter<time> writes it.
template <>
struct formatter<vorn::core::v2::time, char>
    : vorn::core::v2::detail::std_formatter<vorn::core::v2::time> {};
/// Formats a datetime in its text form, or ("r") in the RFC 3339 form with milliseconds.
template <>
struct formatter<vorn::core::v2::datetime, char>
    : vorn::core::v2::detail::std_formatter<vorn::core::v2::datetime> {};
/// Formats a decimal at its own scale or a precision ("{:.2}"), with "." or "," ("{:,}").
template <>
struct formatter<vorn::core::v2::decimal, char>
    : vorn::core::v2::detail::std_formatter<vorn::core::v2::decimal> {};
/// Formats a stack as to_string does: one line per item, newest first.
template <>
struct formatter<vorn::core::v2::result::stack, char>
    : vorn::core::v2::detail::std_formatter<vorn::core::v2::result::stack> {};
/// Formats a decoding status by its name.
template <>
struct formatter<vorn::core::v2::decode_status, char>
    : vorn::core::v2::detail::std_formatter<vorn::core::v2::decode_status> {};
/// Formats a conversion status by its name.
template <>
struct formatter<vorn::core::v2::converter_status, char>
    : vorn::core::v2::detail::std_formatter<vorn::core::v2::converter_status> {};
/// Formats an encoding by its name.
template <>
struct formatter<vorn::core::v2::binary_encoding, char>
    : vorn::core::v2::detail::std_formatter<vorn::core::v2::binary_encoding> {};

}  // namespace std

#endif  // the standard library has `<format>`

#endif  // VORN_CORE_FORMAT_HPP
