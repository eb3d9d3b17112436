#include <cstring>

#include "datetime/calendar.hpp"
#include "datetime/text_fields.hpp"
#include "datetime/text_forms.hpp"
#include "vorn/core/converters.hpp"

namespace vorn::core::v2 {

datetime detail::failure_datetime() noexcept {
    return datetime::from_msecs_since_epoch(failure_msecs_since_epoch);
}

namespace {

// The pieces of a timestamp of the form
//     ^ *(\d{4}-\d{2}-\d{2})T(\d{2}:\d{2}:\d{2}(?:\.\d+)?)(Z|(?:\+|-)\d{2}:\d{2}) *$
// (ECMAScript grammar; \d is an ASCII digit).
struct timestamp_parts {
    const char* date;         // 10 characters
    const char* time;         // time_length characters
    std::size_t time_length;  // 8, or 10 and more with a fraction
    const char* offset;       // "Z", or sign, 2 digits, colon, 2 digits
};

bool is_digit(char c) noexcept {
    return detail::decimal_digit(c) >= 0;
}

// Matches the whole text against the timestamp form in one pass without backtracking: spaces
// are stripped from both ends (the timestamp itself starts with a digit and ends with Z or a
// digit), the date and clock have fixed positions, and the fraction's digits end at the first
// non-digit, which must open the offset.
bool match_timestamp(const char* text, std::size_t length, timestamp_parts& parts) noexcept {
    const char* begin = text;
    const char* end = text + length;
    while (begin != end && *begin == ' ') {
        ++begin;
    }
    while (end != begin && end[-1] == ' ') {
        --end;
    }
    // The shortest timestamp: date, T, clock, Z.
    if (end - begin < 20) {
        return false;
    }
    const char* p = begin;
    for (int i = 0; i < 10; ++i) {
        if (i == 4 || i == 7 ? p[i] != '-' : !is_digit(p[i])) {
            return false;
        }
    }
    if (p[10] != 'T') {
        return false;
    }
    p += 11;
    for (int i = 0; i < 8; ++i) {
        if (i == 2 || i == 5 ? p[i] != ':' : !is_digit(p[i])) {
            return false;
        }
    }
    const char* q = p + 8;
    if (*q == '.') {
        const char* digits = ++q;
        while (q != end && is_digit(*q)) {
            ++q;
        }
        if (q == digits) {
            return false;
        }
    }
    if (q == end) {
        return false;
    }
    if (*q == 'Z') {
        if (end - q != 1) {
            return false;
        }
    } else if (*q == '+' || *q == '-') {
        if (end - q != 6 || !is_digit(q[1]) || !is_digit(q[2]) || q[3] != ':' || !is_digit(q[4]) ||
            !is_digit(q[5])) {
            return false;
        }
    } else {
        return false;
    }
    parts.date = begin;
    parts.time = p;
    parts.time_length = static_cast<std::size_t>(q - p);
    parts.offset = q;
    return true;
}

// The offset in seconds of a matched offset designator.
int offset_seconds(const char* designator) noexcept {
    if (*designator == 'Z') {
        return 0;
    }
    int hours = 0;
    int minutes = 0;
    detail::read_unsigned_field(designator + 1, 2, hours);
    detail::read_unsigned_field(designator + 4, 2, minutes);
    const int seconds = (hours * 60 + minutes) * 60;
    return *designator == '-' ? -seconds : seconds;
}

}  // namespace

converter_status chars_converter<datetime>::make_chars(char* buffer, std::size_t& length,
                                                       datetime value) {
    // Date, T, clock and offset take at most 11 + 1 + 8 + 6 characters.
    char scratch[32];
    std::size_t used = 0;
    std::size_t capacity = sizeof scratch;
    // The wall clock, split into its day and the millisecond of that day.
    const int offset = value.get_offset();
    const detail::wall_clock_split wall =
        detail::split_wall_clock(value.to_msecs_since_epoch() + 1000LL * offset);
    const auto msecs_of_day = static_cast<int>(wall.msecs_of_day);

    converter_status status =
        detail::write_date_text(scratch, used, sizeof scratch, wall.julian_day);
    if (status != converter_status::success) {
        return status;
    }
    scratch[used++] = 'T';
    // Whole seconds: the milliseconds are dropped, never rounded.
    status =
        detail::write_time_text(scratch, used, sizeof scratch, msecs_of_day - msecs_of_day % 1000);
    if (status != converter_status::success) {
        return status;
    }
    if (offset == 0) {
        scratch[used++] = 'Z';
    } else {
        // Whole minutes; leftover seconds of the offset are not written.
        const auto magnitude = static_cast<unsigned int>(offset < 0 ? -offset : offset);
        status = detail::append_separated(scratch, used, capacity, offset < 0 ? '-' : '+',
                                          magnitude / 3600, 2);
        if (status == converter_status::success) {
            status = detail::append_separated(scratch, used, capacity, ':', magnitude / 60 % 60, 2);
        }
        if (status != converter_status::success) {
            return status;
        }
    }
    // Unlike the date and time writers, this one asks for exactly what this value needs.
    if (length < used) {
        length = used;
        return converter_status::buffer_too_small;
    }
    std::memcpy(buffer, scratch, used);
    length = used;
    return converter_status::success;
}

converter_status value_converter<datetime>::make_value(datetime& out, const char* text,
                                                       std::size_t length) {
    timestamp_parts parts{};
    if (!match_timestamp(text, length, parts)) {
        out = detail::failure_datetime();
        return converter_status::invalid_format;
    }
    if (parts.time_length > detail::max_time_text_read) {
        // A fraction longer than the time reader takes; `out` keeps its value.
        return converter_status::invalid_format;
    }
    // The match checked every digit: the fields are read without checking them again.
    const auto two = [](const char* p) noexcept { return (p[0] - '0') * 10 + (p[1] - '0'); };
    const int year = two(parts.date) * 100 + two(parts.date + 2);
    const long long julian_day =
        detail::julian_day_from_civil(static_cast<unsigned int>(two(parts.date + 8)),
                                      static_cast<unsigned int>(two(parts.date + 5)), year);
    int fraction = 0;
    if (parts.time_length > 8) {
        // Milliseconds from the first three fraction digits, finer digits dropped.
        const std::size_t digits = parts.time_length - 9;
        for (std::size_t i = 0; i < 3; ++i) {
            fraction = fraction * 10 + (i < digits ? parts.time[9 + i] - '0' : 0);
        }
    }
    const int msecs = 3600000 * two(parts.time) + 60000 * two(parts.time + 3) +
                      1000 * two(parts.time + 6) + fraction;
    // Offsets and wall clocks the datetime fields cannot hold are refused rather than cut to
    // their low bits, which would silently give another instant.
    const int offset = offset_seconds(parts.offset);
    const long long local_msecs =
        (julian_day - detail::unix_epoch_julian_day) * detail::msecs_per_day + msecs;
    if (offset < detail::min_offset || offset > detail::max_offset ||
        local_msecs < detail::min_local_msecs || local_msecs > detail::max_local_msecs) {
        out = detail::failure_datetime();
        return converter_status::invalid_format;
    }
    out = datetime(date::from_julian_day(julian_day), time::from_milliseconds(msecs), offset);
    return converter_status::success;
}

}  // namespace vorn::core::v2
