// SPDX-License-Identifier: MIT
// The text forms of date and of time (not of datetime): their writers, which the date-time
// writer also builds on, and the date and time converters that read and write them.
#include <cstdint>
#include <cstring>

#include "common/compiler.hpp"
#include "datetime/calendar.hpp"
#include "datetime/text_fields.hpp"
#include "datetime/text_forms.hpp"
#include "vorn/core/converters.hpp"

namespace vorn::core::v2::detail {

namespace {

// Any year from -9999 to 99999: the signed year of at least four digits, five places so that a
// positive year may take all five while a negative one keeps four digits after its sign, then
// -MM-DD.
VORN_CORE_NOINLINE converter_status write_signed_year_date(char* scratch, std::size_t& used,
                                                           civil_date c) noexcept {
    if (!append_signed_field(scratch, used, reported_year(c.year), 4, 5)) {
        return converter_status::invalid_format;
    }
    write_separated_pairs(scratch + used, '-', c.month, c.day);
    used += 6;
    return converter_status::success;
}

// Appends .mmm when there are milliseconds.
void append_milliseconds(char* scratch, std::size_t& used, std::uint32_t milliseconds) noexcept {
    if (milliseconds != 0) {
        write_milliseconds(scratch + used, milliseconds);
        used += 4;
    }
}

// Hours from 0 to 99: HH:MM:SS straight from the two-digit table.
// bench/datetime_bench.cpp: BM_writer/time
void write_two_digit_hour_time(char* scratch, std::size_t& used, clock_fields c) noexcept {
    write_clock(scratch + used, static_cast<std::uint32_t>(c.hour), c.minute, c.second);
    used += 8;
    append_milliseconds(scratch, used, c.milliseconds);
}

// Any hour from -99 to 999: the signed hour of at least two digits, then :MM:SS.
VORN_CORE_NOINLINE converter_status write_signed_hour_time(char* scratch, std::size_t& used,
                                                           clock_fields c) noexcept {
    if (!append_signed_field(scratch, used, c.hour, 2, 3)) {
        return converter_status::invalid_format;
    }
    write_separated_pairs(scratch + used, ':', c.minute, c.second);
    used += 6;
    append_milliseconds(scratch, used, c.milliseconds);
    return converter_status::success;
}

}  // namespace

converter_status write_date_text(char* scratch, std::size_t& used, long long julian_day) noexcept {
    const civil_date c = civil_from_julian_day_near(julian_day);
    if (c.year < 1 || c.year > 9999) {
        return write_signed_year_date(scratch, used, c);
    }
    write_iso_date(scratch + used, static_cast<std::uint32_t>(c.year), c.month, c.day);
    used += 10;
    return converter_status::success;
}

converter_status write_time_text(char* scratch, std::size_t& used, int msecs) noexcept {
    const clock_fields c = split_clock(msecs);
    if (c.hour < 0 || c.hour > 99) {
        return write_signed_hour_time(scratch, used, c);
    }
    write_two_digit_hour_time(scratch, used, c);
    return converter_status::success;
}

}  // namespace vorn::core::v2::detail

namespace vorn::core::v2 {

namespace {

// The day a refused date text leaves in `out`, date(0, 0, 0), known at compile time; a
// refused time text leaves time(), midnight. Nothing is built on first use, so refusing never
// waits on an initialisation guard.
constexpr long long failure_julian_day = detail::julian_day_from_civil(0, 0, 0);

// The protocol of the date and time writers: they ask for the longest text of their form,
// whatever this value needs, build the text in a scratch area and copy it to the caller's
// buffer only when it is complete.
template <std::size_t Longest, class Value>
converter_status write_whole_form(char* buffer, std::size_t& length, Value value,
                                  converter_status (*write)(char*, std::size_t&, Value) noexcept) {
    if (length < Longest) {
        length = Longest;
        return converter_status::buffer_too_small;
    }
    char scratch[Longest];
    std::size_t used = 0;
    const converter_status status = write(scratch, used, value);
    if (status != converter_status::success) {
        return status;
    }
    std::memcpy(buffer, scratch, used);
    length = used;
    return converter_status::success;
}

}  // namespace

converter_status chars_converter<date>::make_chars(char* buffer, std::size_t& length, date value) {
    return write_whole_form<detail::max_date_text>(buffer, length, value.to_julian_day(),
                                                   detail::write_date_text);
}

converter_status value_converter<date>::make_value(date& out, const char* text,
                                                   std::size_t length) {
    long long julian_day = 0;
    if (length != 10 || !detail::read_date_text(text, true, julian_day)) {
        out = date::from_julian_day(failure_julian_day);
        return converter_status::invalid_format;
    }
    out = date::from_julian_day(julian_day);
    return converter_status::success;
}

converter_status chars_converter<time>::make_chars(char* buffer, std::size_t& length, time value) {
    return write_whole_form<detail::max_time_text>(buffer, length, value.to_milliseconds(),
                                                   detail::write_time_text);
}

converter_status value_converter<time>::make_value(time& out, const char* text,
                                                   std::size_t length) {
    int msecs = 0;
    if (!detail::read_time_text(text, length, true, msecs)) {
        out = time();
        return converter_status::invalid_format;
    }
    out = time::from_milliseconds(msecs);
    return converter_status::success;
}

}  // namespace vorn::core::v2
