// SPDX-License-Identifier: MIT
// The date and time text forms as building blocks: the date-time converters compose them.
#ifndef VORN_CORE_SRC_DATETIME_TEXT_FORMS_HPP
#define VORN_CORE_SRC_DATETIME_TEXT_FORMS_HPP

#include <cstddef>
#include <cstdint>

#include "common/compiler.hpp"
#include "datetime/calendar.hpp"
#include "datetime/text_fields.hpp"
#include "vorn/core/converters.hpp"

namespace vorn::core::v2::detail {

// The longest texts the date and time writers produce: -9999-12-31 or 99999-12-31, and
// -99:59:59.999 or 999:59:59.999.
constexpr std::size_t max_date_text = 11;
constexpr std::size_t max_time_text = 13;

// The length of a time text with the longest fraction the readers take.
constexpr std::size_t max_time_text_read = 9 + max_fraction_digits;

// Appends the date text of the day `julian_day` at scratch[used], which has room for
// max_date_text characters. invalid_format, with nothing written, for years outside -9999 to
// 99999.
converter_status write_date_text(char* scratch, std::size_t& used, long long julian_day) noexcept;

// Appends the time text of the count `msecs` at scratch[used], which has room for
// max_time_text characters. invalid_format, with nothing written, for hours outside -99 to 999.
converter_status write_time_text(char* scratch, std::size_t& used, int msecs) noexcept;

// The wall clock of a datetime as its writers take it apart: the day and the millisecond of
// that day, the calendar date of that day, and the offset.
struct wall_clock_fields {
    wall_clock_split wall;
    civil_date civil;
    int offset;
};

inline wall_clock_fields wall_clock_of(const datetime& value) noexcept {
    const int offset = value.get_offset();
    const wall_clock_split wall = split_wall_clock(value.to_msecs_since_epoch() + 1000LL * offset);
    return wall_clock_fields{wall, civil_from_julian_day_near(wall.julian_day), offset};
}

// Writes YYYY-MM-DDTHH:MM:SS, then .mmm when WithMilliseconds is set, then the offset
// designator, straight into `buffer` once `length` is known to hold them all: the date-time
// text of the years 1 to 9999 (the fast path beside the writer of any year) and the RFC 3339
// text. The year is 0 to 9999. Whole seconds drop the milliseconds, never round them.
// bench/datetime_bench.cpp: BM_writer/datetime, BM_datetime_writer_rfc3339
template <bool WithMilliseconds>
VORN_CORE_FORCE_INLINE converter_status write_iso_datetime(char* buffer, std::size_t& length,
                                                           const wall_clock_fields& w) noexcept {
    const std::size_t clock_end = WithMilliseconds ? 23 : 19;
    const std::size_t needed = clock_end + (w.offset == 0 ? 1 : max_offset_text);
    if (length < needed) {
        length = needed;
        return converter_status::buffer_too_small;
    }
    write_iso_date(buffer, static_cast<std::uint32_t>(w.civil.year), w.civil.month, w.civil.day);
    buffer[10] = 'T';
    const auto msecs_of_day = static_cast<std::uint32_t>(w.wall.msecs_of_day);
    const std::uint32_t seconds = msecs_of_day / 1000;
    write_clock(buffer + 11, seconds / 3600, seconds / 60 % 60, seconds % 60);
    if (WithMilliseconds) {
        write_milliseconds(buffer + 19, msecs_of_day % 1000);
    }
    length = clock_end + write_offset(buffer + clock_end, w.offset);
    return converter_status::success;
}

// The value a refused date-time text leaves in `out`, -0001-11-30T00:00:00Z (date(0, 0, 0)
// at midnight, offset 0), as milliseconds since the epoch; a compile-time constant, so that
// refusing builds nothing on first use.
constexpr long long failure_msecs_since_epoch =
    (julian_day_from_civil(0, 0, 0) - unix_epoch_julian_day) * msecs_per_day;
static_assert(failure_msecs_since_epoch == -62169984000000LL,
              "the failure value the chrono reader of converters.hpp also leaves");
datetime failure_datetime() noexcept;

// Reads the 10 characters YYYY-MM-DD at `text` as a day number. A negative year, written as a
// minus sign and three digits, is taken only when `negative_year` is set.
inline bool read_date_text(const char* text, bool negative_year, long long& julian_day) noexcept {
    int year = 0;
    int month = 0;
    int day = 0;
    if (text[4] != '-' || text[7] != '-') {
        return false;
    }
    const bool year_read =
        negative_year ? read_signed_field(text, 4, year) : read_unsigned_field(text, 4, year);
    if (!year_read || !read_unsigned_field(text + 5, 2, month) ||
        !read_unsigned_field(text + 8, 2, day)) {
        return false;
    }
    julian_day = julian_day_from_civil(static_cast<unsigned int>(day),
                                       static_cast<unsigned int>(month), year);
    return true;
}

// Reads the `length` characters HH:MM:SS[.fraction] at `text` as a millisecond count, the
// fraction having 1 to max_fraction_digits digits. A negative hour, written as a minus sign and
// one digit, is taken only when `negative_hour` is set.
inline bool read_time_text(const char* text, std::size_t length, bool negative_hour,
                           int& msecs) noexcept {
    if (length != 8 && (length < 10 || length > max_time_text_read)) {
        return false;
    }
    if (text[2] != ':' || text[5] != ':' || (length > 8 && text[8] != '.')) {
        return false;
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    unsigned int fraction = 0;
    const bool hour_read =
        negative_hour ? read_signed_field(text, 2, hour) : read_unsigned_field(text, 2, hour);
    if (!hour_read || !read_unsigned_field(text + 3, 2, minute) ||
        !read_unsigned_field(text + 6, 2, second)) {
        return false;
    }
    if (length > 8 && !read_fraction_msecs(text + 9, length - 9, fraction)) {
        return false;
    }
    // What time(hour, minute, second, fraction) holds: the sum of the lower components carries
    // and takes the hour's sign, also for an hour written -0, which time() cannot tell from 0.
    // With at most two digits per field nothing can wrap.
    const int part = static_cast<int>(fraction) + 1000 * second + 60000 * minute;
    msecs = 3600000 * hour + (text[0] == '-' ? -part : part);
    return true;
}

}  // namespace vorn::core::v2::detail

#endif
