// SPDX-License-Identifier: MIT
// The strict RFC 3339 date-time reader and the writer that keeps milliseconds.
#include <cstring>

#include "datetime/calendar.hpp"
#include "datetime/text_fields.hpp"
#include "datetime/text_forms.hpp"
#include "vorn/core/converters.hpp"

namespace vorn::core::v2 {

namespace {

// Reads `width` digits at text[at] into `value` when the whole field lies within [low, high].
bool bounded_field(const char* text, std::size_t at, std::size_t width, int low, int high,
                   int& value) noexcept {
    return detail::read_unsigned_field(text + at, width, value) && value >= low && value <= high;
}

bool is_leap_year(int year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int days_in_month(int year, int month) noexcept {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}

// Reads the 10 characters YYYY-MM-DD at `text` as a day number, each field within its
// calendar bounds.
bool read_rfc3339_date(const char* text, long long& julian_day) noexcept {
    int year = 0;
    int month = 0;
    int day = 0;
    if (text[4] != '-' || text[7] != '-' || !bounded_field(text, 0, 4, 0, 9999, year) ||
        !bounded_field(text, 5, 2, 1, 12, month) ||
        !bounded_field(text, 8, 2, 1, days_in_month(year, month), day)) {
        return false;
    }
    julian_day = detail::julian_day_from_civil(static_cast<unsigned int>(day),
                                               static_cast<unsigned int>(month), year);
    return true;
}

bool is_rfc3339_separator(char c) noexcept {
    return c == 'T' || c == 't' || c == ' ';
}

// Reads the 8 characters HH:MM:SS at `text` as milliseconds of the day; no leap second.
bool read_rfc3339_clock(const char* text, int& msecs) noexcept {
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (text[2] != ':' || text[5] != ':' || !bounded_field(text, 0, 2, 0, 23, hour) ||
        !bounded_field(text, 3, 2, 0, 59, minute) || !bounded_field(text, 6, 2, 0, 59, second)) {
        return false;
    }
    msecs = ((hour * 60 + minute) * 60 + second) * 1000;
    return true;
}

// Reads the fraction that may open at text[at], before `length`: a full stop and at least one
// digit, the first three giving the milliseconds. Moves `at` past it.
bool read_rfc3339_fraction(const char* text, std::size_t length, std::size_t& at,
                           unsigned int& msecs) noexcept {
    if (text[at] != '.') {
        return true;
    }
    const std::size_t first = at + 1;
    at = static_cast<std::size_t>(detail::end_of_digits(text + first, text + length) - text);
    // Digits past the third only truncate: read at most three of them.
    const std::size_t digits = at - first;
    return detail::read_fraction_msecs(text + first, digits < 3 ? digits : 3, msecs);
}

// Reads the `length` characters at `text` as the offset designator, Z or z, or a sign and
// HH:MM within a day, into seconds.
bool read_rfc3339_offset(const char* text, std::size_t length, int& offset) noexcept {
    if (length == 1 && (text[0] == 'Z' || text[0] == 'z')) {
        offset = 0;
        return true;
    }
    int hours = 0;
    int minutes = 0;
    if (length != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':' ||
        !bounded_field(text, 1, 2, 0, 23, hours) || !bounded_field(text, 4, 2, 0, 59, minutes)) {
        return false;
    }
    const int seconds = (hours * 60 + minutes) * 60;
    offset = text[0] == '-' ? -seconds : seconds;
    return true;
}

// Reads the ASCII `text` as an RFC 3339 date-time: the day number and millisecond of the day
// of its wall clock, and the offset in seconds. One pass, fixed positions but for the fraction.
bool read_rfc3339(const char* text, std::size_t length, long long& julian_day, int& clock_msecs,
                  int& offset) noexcept {
    // The shortest text: date, separator, clock, Z.
    if (length < 20) {
        return false;
    }
    std::size_t at = 19;
    unsigned int fraction = 0;
    if (!read_rfc3339_date(text, julian_day) || !is_rfc3339_separator(text[10]) ||
        !read_rfc3339_clock(text + 11, clock_msecs) ||
        !read_rfc3339_fraction(text, length, at, fraction) ||
        !read_rfc3339_offset(text + at, length - at, offset)) {
        return false;
    }
    clock_msecs += static_cast<int>(fraction);
    return true;
}

}  // namespace

converter_status value_converter<datetime>::make_value_rfc3339(datetime& out, const char* text,
                                                               std::size_t length) {
    long long julian_day = 0;
    int clock_msecs = 0;
    int offset = 0;
    // Offsets and wall clocks the datetime fields cannot hold are refused, as the designed
    // reader refuses them. Years 0 to 9999 keep every product far from the long long limits.
    const bool read = read_rfc3339(text, length, julian_day, clock_msecs, offset);
    const long long local_msecs =
        (julian_day - detail::unix_epoch_julian_day) * detail::msecs_per_day + clock_msecs;
    if (!read || offset < detail::min_offset || offset > detail::max_offset ||
        local_msecs > detail::max_local_msecs) {
        out = detail::failure_datetime();
        return converter_status::invalid_format;
    }
    out = datetime(date::from_julian_day(julian_day), time::from_milliseconds(clock_msecs), offset);
    return converter_status::success;
}

converter_status chars_converter<datetime>::make_chars_rfc3339(char* buffer, std::size_t& length,
                                                               datetime value) {
    const detail::wall_clock_fields w = detail::wall_clock_of(value);
    if (w.civil.year < 0 || w.civil.year > 9999) {
        return converter_status::invalid_format;
    }
    return detail::write_iso_datetime<true>(buffer, length, w);
}

}  // namespace vorn::core::v2
