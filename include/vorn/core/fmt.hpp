/// \file
/// vorn/core/fmt.hpp: {fmt} formatters for the library's values.
///
/// Include it in a program that uses {fmt} (the library itself does not need {fmt}); the
/// specifications are those of vorn/core/format_spec.hpp. With C++20, {fmt} checks the format
/// string at compile time and an invalid specification does not compile; fmt::runtime() strings
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

#include "vorn/core/format_spec.hpp"

namespace vorn::core::v2::detail {

// One formatter for every type of the library: parse() reads the specification, format()
// writes the value's text padded as asked.
template <class T>
struct fmt_formatter {
    format_spec spec;

    constexpr auto parse(fmt::format_parse_context& ctx) -> decltype(ctx.begin()) {
        const char* error = nullptr;
        const auto end =
            parse_format_spec(ctx.begin(), ctx.end(), format_traits<T>::kind, spec, error);
        if (error != nullptr) {
            throw fmt::format_error(error);
        }
        if (spec.width_from_argument) {
            if (spec.width_argument < 0) {
                spec.width_argument = ctx.next_arg_id();
            } else {
                ctx.check_arg_id(spec.width_argument);
            }
        }
        return end;
    }

    template <class FormatContext>
    auto format(const T& value, FormatContext& ctx) const -> decltype(ctx.out()) {
        const char* error = nullptr;
        std::size_t width = spec.width;
        if (spec.width_from_argument) {
            width =
                fmt::visit_format_arg(width_argument_value{&error}, ctx.arg(spec.width_argument));
        }
        formatted_text text;
        if (error == nullptr) {
            error = format_value(value, spec, text);
        }
        if (error != nullptr) {
            throw fmt::format_error(error);
        }
        // {fmt}'s own string formatter appends the text in one piece.
        return write_padded(ctx, text.text, spec, width, format_traits<T>::default_align,
                            [](std::string_view piece, FormatContext& c) {
                                return fmt::formatter<fmt::string_view>().format(
                                    fmt::string_view(piece.data(), piece.size()), c);
                            });
    }
};

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
