// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/converters.hpp: fixed text forms of date, time and datetime, both ways.
///
/// chars_converter<T>::make_chars writes a value as ASCII text into the caller's buffer and
/// value_converter<T>::make_value reads one from text; both return a converter_status and
/// neither allocates, throws or keeps state. A writer touches the buffer only on success; a
/// reader that refuses a text stores the type's failure value. error_datetime is the status
/// category a caller pushes to report a refused date-time text.
///
///   namespace vc = vorn::core::v2;
///   char text[32];
///   std::size_t length = sizeof text;
///   vc::chars_converter<vc::datetime>().make_chars(text, length, vc::datetime::now());
///
///   vc::datetime when;
///   vc::result::stack status;
///   const std::string received = "2024-03-10T12:34:56.789-03:00";
///   if (vc::value_converter<vc::datetime>().make_value(when, received.data(), received.size())
///       != vc::converter_status::success) {
///       status.push(vc::error_datetime::invalid_format, received);
///   }
///
/// Text forms:
///   date      [-]YYYY-MM-DD; the writer also writes 5-digit years, the reader takes exactly
///             10 characters (a negative year as a minus sign and 3 digits).
///   time      [-]HH:MM:SS[.mmm]; the reader takes an optional fraction of 1 to 32 digits,
///             read as a decimal fraction truncated to milliseconds (".5" is 500 ms), and a
///             negative hour only as a minus sign and one digit.
///   datetime  YYYY-MM-DDTHH:MM:SS followed by Z or +HH:MM / -HH:MM; the reader also takes a
///             fraction of seconds and spaces around the timestamp.
#ifndef VORN_CORE_CONVERTERS_HPP
#define VORN_CORE_CONVERTERS_HPP

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <ratio>
#include <string>
#include <string_view>
#include <type_traits>

#include "vorn/core/date.hpp"
#include "vorn/core/datetime.hpp"
#include "vorn/core/export.hpp"
#include "vorn/core/result.hpp"
#include "vorn/core/time.hpp"

namespace vorn::core::v2 {

/// The outcome of one conversion.
enum class converter_status : std::uint32_t {
    /// The text was written (`length` is its size) or the value was read.
    success = 0,
    /// The buffer is too small: `length` holds the capacity to supply; nothing was written.
    buffer_too_small = 1,
    /// A number base outside 2 to 36 was asked for; the formats here never ask for one.
    invalid_base = 2,
    /// Writing: the value does not fit the text form, buffer and `length` are untouched.
    /// Reading: the text is not in the form, the output holds the type's failure value.
    invalid_format = 3,
};

/// "success", "buffer_too_small", "invalid_base" or "invalid_format"; "invalid" for any other
/// value.
constexpr const char* to_string(converter_status status) noexcept {
    switch (status) {
        case converter_status::success:
            return "success";
        case converter_status::buffer_too_small:
            return "buffer_too_small";
        case converter_status::invalid_base:
            return "invalid_base";
        case converter_status::invalid_format:
            return "invalid_format";
    }
    return "invalid";
}

/// Writes to_string(value), honouring the stream's width and fill like a string.
inline std::ostream& operator<<(std::ostream& out, converter_status value) {
    return out << to_string(value);
}

/// Writes values of T as text. Specialised for date, time and datetime.
template <class T>
class chars_converter;

/// Reads values of T from text. Specialised for date, time and datetime.
template <class T>
class value_converter;

/// Writes dates as text.
template <>
class VORN_CORE_API chars_converter<date> {
  public:
    /// Writes [-]YYYY-MM-DD (10 or 11 characters, years -9999 to 99999; others give
    /// invalid_format). Asks for 11 bytes whatever the value: with `length` below 11 it returns
    /// buffer_too_small and sets `length` to 11. No NUL is written.
    converter_status make_chars(char* buffer, std::size_t& length, date value);
};

/// Reads dates from text.
template <>
class VORN_CORE_API value_converter<date> {
  public:
    /// Reads exactly YYYY-MM-DD from the `length` characters at `text` (a negative year as
    /// -YYY). Days and months past their range roll over. On refusal `out` becomes the failure
    /// date, date(0, 0, 0), which is 30 November of year -1.
    converter_status make_value(date& out, const char* text, std::size_t length);
};

/// Writes times as text.
template <>
class VORN_CORE_API chars_converter<time> {
  public:
    /// Writes [-]HH:MM:SS and, when the millisecond component is not 0, .mmm (8 to 13
    /// characters, hours -99 to 999; others give invalid_format). Asks for 13 bytes whatever
    /// the value: with `length` below 13 it returns buffer_too_small and sets `length` to 13.
    converter_status make_chars(char* buffer, std::size_t& length, time value);
};

/// Reads times from text.
template <>
class VORN_CORE_API value_converter<time> {
  public:
    /// Reads HH:MM:SS with an optional fraction of 1 to 32 digits from the `length` characters
    /// at `text`; the fraction is truncated to milliseconds and components past their range
    /// carry. A negative hour is accepted as a minus sign and one digit (-1:30:00). On refusal
    /// `out` becomes time(), midnight.
    converter_status make_value(time& out, const char* text, std::size_t length);
};

/// Writes datetimes as text.
template <>
class VORN_CORE_API chars_converter<datetime> {
  public:
    /// Writes YYYY-MM-DDTHH:MM:SS and Z for offset 0, else +HH:MM or -HH:MM (20 to 26
    /// characters); milliseconds and the seconds of the offset are dropped, never rounded.
    /// With `length` below this value's size it returns buffer_too_small and sets `length` to
    /// that size.
    converter_status make_chars(char* buffer, std::size_t& length, datetime value);

    /// Writes the RFC 3339 form with milliseconds, YYYY-MM-DDTHH:MM:SS.mmm then Z for offset 0,
    /// else +HH:MM or -HH:MM (24 or 29 characters), the seconds of the offset dropped. Wall
    /// clocks of the years 0 to 9999 only (year 0 as 0000); others give invalid_format. With
    /// `length` below this value's size it returns buffer_too_small and sets `length` to it.
    converter_status make_chars_rfc3339(char* buffer, std::size_t& length, datetime value);
};

/// Reads datetimes from text.
template <>
class VORN_CORE_API value_converter<datetime> {
  public:
    /// Reads a whole text of the form ` *YYYY-MM-DDTHH:MM:SS(.d+)?(Z|[+-]HH:MM) *` (spaces
    /// only around it), with the date, time and fraction rules of the date and time readers;
    /// the date and time are the wall clock at the offset. On refusal `out` becomes the failure
    /// value, -0001-11-30T00:00:00Z; so it does for an offset outside -65536 to 65535 seconds
    /// (from +-18:13 on) and for a wall clock past 4199-11-24T01:22:57.663, which a datetime
    /// cannot hold. A fraction of more than 32 digits gives invalid_format and leaves `out` as
    /// it was.
    converter_status make_value(datetime& out, const char* text, std::size_t length);

    /// Reads exactly an RFC 3339 date-time: YYYY-MM-DD, T or t or one space, HH:MM:SS, an
    /// optional fraction of one or more digits (truncated to milliseconds), then Z or z or
    /// +HH:MM / -HH:MM; nothing around it. Every field must be in its range (the day within its
    /// month, hours 00-23, minutes and seconds 00-59: a leap second 60 is refused); the date
    /// and time are the wall clock at the offset. On refusal, also for an offset beyond +-18:12
    /// or a wall clock a datetime cannot hold, `out` becomes the failure value. Time linear in
    /// `length`, no allocation.
    converter_status make_value_rfc3339(datetime& out, const char* text, std::size_t length);

    /// The instant `when` at offset 0, finer parts dropped toward negative infinity. Outside
    /// the instants a datetime holds (about years -260 to 4199) it returns invalid_format and
    /// `out` becomes the failure value, as for a refused text. Durations with an integral count
    /// of whole milliseconds or of unit fractions of one.
    template <class Duration>
    converter_status make_value(
        datetime& out, std::chrono::time_point<std::chrono::system_clock, Duration> when) noexcept {
        using rep = typename Duration::rep;
        using ticks_per_msec = std::ratio_divide<typename Duration::period, std::milli>;
        static_assert(std::is_integral<rep>::value && sizeof(rep) <= sizeof(long long),
                      "an integral count of at most 64 bits");
        static_assert(ticks_per_msec::num == 1 || ticks_per_msec::den == 1,
                      "a tick of whole milliseconds or of a unit fraction of one");
        [[maybe_unused]] constexpr long long lowest = -(1LL << 46);
        constexpr long long highest = (1LL << 46) - 1;
        const rep count = when.time_since_epoch().count();
        long long msecs = 0;
        bool held = false;
        if constexpr (ticks_per_msec::den == 1) {
            // Each tick is `num` milliseconds: bound the count before multiplying.
            constexpr long long num = ticks_per_msec::num;
            if constexpr (std::is_signed<rep>::value) {
                const auto ticks = static_cast<long long>(count);
                held = ticks >= -(-lowest / num) && ticks <= highest / num;
                msecs = held ? ticks * num : 0;
            } else {
                const auto ticks = static_cast<unsigned long long>(count);
                held = ticks <= static_cast<unsigned long long>(highest / num);
                msecs = held ? static_cast<long long>(ticks) * num : 0;
            }
        } else {
            // Each tick is a `den`-th of a millisecond: divide, rounding down.
            constexpr long long den = ticks_per_msec::den;
            if constexpr (std::is_signed<rep>::value) {
                const auto ticks = static_cast<long long>(count);
                msecs = ticks / den - (ticks % den < 0 ? 1 : 0);
            } else {
                const auto quotient =
                    static_cast<unsigned long long>(count) / static_cast<unsigned long long>(den);
                msecs = quotient > static_cast<unsigned long long>(highest)
                            ? highest + 1
                            : static_cast<long long>(quotient);
            }
            held = msecs >= lowest && msecs <= highest;
        }
        if (!held) {
            // The failure value of the text reader, -0001-11-30T00:00:00Z.
            out = datetime::from_msecs_since_epoch(-62169984000000LL);
            return converter_status::invalid_format;
        }
        out = datetime::from_msecs_since_epoch(msecs);
        return converter_status::success;
    }
};

/// The status category for a date-time text that is not in the expected form. Code 1 only:
/// "O formato informado está fora do esperado"; create() attaches the arguments
/// "expected-format" and "received-value".
class VORN_CORE_API error_datetime : public result::category {
  public:
    /// The one object of this category.
    static error_datetime& instance();
    /// Code 1, for status.push(error_datetime::invalid_format, received).
    static const result::code<error_datetime, 1> invalid_format;

    ~error_datetime() override;
    /// "vorn-core-error-date"
    const char* get_name() const override;
    const char* get_message(int code) const override;

    /// Attaches "expected-format" (the form the reader expects) and then "received-value"
    /// (`received`, kept up to 239 bytes) to `item`, and changes nothing else in it.
    void create(result::stack::item& item, result::code<error_datetime, 1>,
                const std::string& received) const;
    /// The same for a text read in place (a string view, a C string): no copy is made.
    template <class Text, class = std::enable_if_t<detail::is_text_v<Text>>>
    void create(result::stack::item& item, result::code<error_datetime, 1>,
                const Text& received) const noexcept {
        attach(item, std::string_view(received));
    }

  private:
    // Both arguments, with one allocation.
    static void attach(result::stack::item& item, std::string_view received) noexcept;

    constexpr error_datetime() noexcept = default;
};

namespace detail {
template <class Value>
std::ostream& write_text_form(std::ostream& stream, Value value) {
    char text[32];
    std::size_t length = sizeof text;
    if (chars_converter<Value>().make_chars(text, length, value) == converter_status::success) {
        stream << std::string_view(text, length);
    } else {
        stream.setstate(std::ios_base::failbit);
    }
    return stream;
}
}  // namespace detail

/// Write the text form of make_chars (a datetime without its milliseconds), honouring the
/// stream's width and fill like a string. A value without one (a year beyond the writer's
/// range) writes nothing and sets failbit.
///@{
inline std::ostream& operator<<(std::ostream& stream, date value) {
    return ::vorn::core::v2::detail::write_text_form(stream, value);
}
inline std::ostream& operator<<(std::ostream& stream, time value) {
    return ::vorn::core::v2::detail::write_text_form(stream, value);
}
inline std::ostream& operator<<(std::ostream& stream, datetime value) {
    return ::vorn::core::v2::detail::write_text_form(stream, value);
}
///@}

}  // namespace vorn::core::v2

#endif  // VORN_CORE_CONVERTERS_HPP
