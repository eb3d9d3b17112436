// SPDX-License-Identifier: MIT
// Day-number arithmetic shared by date, datetime and the text readers.
#ifndef VORN_CORE_SRC_DATETIME_CALENDAR_HPP
#define VORN_CORE_SRC_DATETIME_CALENDAR_HPP

#include <climits>
#include <cstdint>

namespace vorn::core::v2::detail {

// The Julian Day Number of 1970-01-01, the origin of datetime's millisecond counts.
constexpr long long unix_epoch_julian_day = 2440588;
constexpr long long msecs_per_day = 86400000;

// a / b rounded toward negative infinity, for b > 0.
constexpr long long floor_div(long long a, long long b) noexcept {
    const long long q = a / b;
    return (a % b < 0) ? q - 1 : q;
}

// The day number of `day` of `month` of the astronomical `year`, in the proleptic Gregorian
// calendar. Months are counted from March so that the leap day ends a year; month 0 is
// December of the previous year and months above 12 carry whole years. Exact for every int year
// and every unsigned day and month: the magnitudes stay below 2^42.
constexpr long long julian_day_from_civil(unsigned int day, unsigned int month, int year) noexcept {
    const long long months_from_march = static_cast<long long>(year) * 12 + month - 3;
    const long long y = floor_div(months_from_march, 12) + 4800;
    const long long m = months_from_march - (y - 4800) * 12;  // 0 (March) to 11 (February)
    return static_cast<long long>(day) + (153 * m + 2) / 5 + 365 * y + floor_div(y, 4) -
           floor_div(y, 100) + floor_div(y, 400) - 32045;
}

// The same day number for a year of 0 to 9999 and a day and month below 100, as the text
// readers take them, in unsigned arithmetic: counted from March of year -4800, no
// intermediate is negative, and none reaches 2^32.
// bench/datetime_bench.cpp: BM_datetime_reader
constexpr long long julian_day_from_digits(unsigned int day, unsigned int month,
                                           unsigned int year) noexcept {
    const std::uint32_t months_from_march = (year + 4800) * 12 + month - 3;
    const std::uint32_t y = months_from_march / 12;
    const std::uint32_t m = months_from_march % 12;  // 0 (March) to 11 (February)
    return static_cast<long long>(day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400) -
           32045;
}

struct civil_date {
    long long year;  // astronomical: 0 exists
    unsigned int month;
    unsigned int day;
};

// The calendar date of any day number. The calendar repeats every 400 years (146097 days), so
// the day number is first reduced to one cycle, which keeps every intermediate small.
constexpr civil_date civil_from_julian_day(long long julian_day) noexcept {
    long long cycles = julian_day / 146097;
    long long day_in_cycle = julian_day % 146097;
    if (day_in_cycle < 0) {
        day_in_cycle += 146097;
        cycles -= 1;
    }
    // Within a cycle every intermediate is below 2^20: unsigned 32-bit arithmetic is exact
    // and its divisions by constants are the cheapest.
    const auto a = static_cast<std::uint32_t>(day_in_cycle + 32044);
    const std::uint32_t b = (4 * a + 3) / 146097;
    const std::uint32_t c = a - 146097 * b / 4;
    const std::uint32_t d = (4 * c + 3) / 1461;
    const std::uint32_t e = c - 1461 * d / 4;
    const std::uint32_t m = (5 * e + 2) / 153;
    civil_date result{};
    result.day = e - (153 * m + 2) / 5 + 1;
    result.month = m + 3 - 12 * (m / 10);
    result.year = 400 * cycles + 100 * static_cast<long long>(b) + d - 4800 + m / 10;
    return result;
}

// The reference point of civil_from_julian_day_near: 1 March of a year a whole number of
// 400-year cycles before 0, and the day numbers it computes itself, well inside those for
// which 4 * (julian_day + near_shift) + 3 stays below 2^32.
constexpr std::uint32_t near_cycles_before = 82;
constexpr long long near_shift = 719468 + 146097LL * near_cycles_before - unix_epoch_julian_day;
constexpr long long near_first_julian_day = -near_shift;
constexpr long long near_last_julian_day = 200000000 - near_shift;

// The same as civil_from_julian_day, in fewer steps for the day numbers of the datetime range
// and far beyond (from about year -32800 to year 514000), through the Euclidean affine
// functions of Neri and Schneider: all in unsigned 32-bit arithmetic but for one product.
// Other day numbers go to civil_from_julian_day.
// bench/datetime_bench.cpp: BM_writer/date, BM_writer/datetime, BM_datetime_writer_rfc3339
constexpr civil_date civil_from_julian_day_near(long long julian_day) noexcept {
    if (julian_day < near_first_julian_day || julian_day > near_last_julian_day) {
        return civil_from_julian_day(julian_day);
    }
    const auto count = static_cast<std::uint32_t>(julian_day + near_shift);
    const std::uint32_t century_days = 4 * count + 3;
    const std::uint32_t century = century_days / 146097;
    const std::uint32_t day_of_century = century_days % 146097 / 4;
    const std::uint64_t year_product = std::uint64_t{2939745} * (4 * day_of_century + 3);
    const auto year_of_century = static_cast<std::uint32_t>(year_product >> 32);
    const std::uint32_t day_of_year = static_cast<std::uint32_t>(year_product) / 2939745 / 4;
    const std::uint32_t month_day = 2141 * day_of_year + 197913;
    const std::uint32_t month = month_day >> 16;  // 3 (March) to 14 (February)
    const std::uint32_t january_on = day_of_year >= 306 ? 1 : 0;
    civil_date result{};
    result.year = static_cast<long long>(100 * century + year_of_century + january_on) -
                  400LL * near_cycles_before;
    result.month = month - 12 * january_on;
    result.day = (month_day & 0xFFFF) / 2141 + 1;
    return result;
}

// The year a date reports: clamped to the int range, with the astronomical year 0 shown as 1.
constexpr int reported_year(long long year) noexcept {
    if (year < INT_MIN) {
        return INT_MIN;
    }
    if (year > INT_MAX) {
        return INT_MAX;
    }
    return year == 0 ? 1 : static_cast<int>(year);
}

// A wall-clock count of milliseconds since 1970-01-01T00:00:00 split into its day and the
// millisecond of that day, which is never negative: -1 is 1969-12-31 at 86399999.
struct wall_clock_split {
    long long julian_day;
    long long msecs_of_day;  // 0 to 86399999
};

constexpr wall_clock_split split_wall_clock(long long local_msecs) noexcept {
    const long long days = floor_div(local_msecs, msecs_per_day);
    return wall_clock_split{days + unix_epoch_julian_day, local_msecs - days * msecs_per_day};
}

// The components of a signed millisecond count: the hour, truncated toward zero, carries the
// sign; the others come from the magnitude, taken unsigned so that it is exact also for the
// most negative count.
struct clock_fields {
    int hour;
    unsigned int minute;
    unsigned int second;
    unsigned int milliseconds;
};

constexpr clock_fields split_clock(int msecs) noexcept {
    const auto bits = static_cast<std::uint32_t>(msecs);
    const std::uint32_t magnitude = msecs < 0 ? 0U - bits : bits;
    return clock_fields{msecs / 3600000, magnitude % 3600000U / 60000U, magnitude / 1000U % 60U,
                        magnitude % 1000U};
}

// Keeps the low 47 bits of `value`, read as a signed number: what the wall-clock field of a
// datetime holds.
constexpr long long wrap_to_47_bits(std::uint64_t value) noexcept {
    constexpr std::uint64_t sign = std::uint64_t{1} << 46;
    const std::uint64_t low = value & ((std::uint64_t{1} << 47) - 1);
    return static_cast<long long>(low ^ sign) - static_cast<long long>(sign);
}

// Keeps the low 17 bits of `value`, read as a signed number: what the offset field holds.
constexpr int wrap_to_17_bits(int value) noexcept {
    constexpr std::uint32_t sign = std::uint32_t{1} << 16;
    const std::uint32_t low = static_cast<std::uint32_t>(value) & ((std::uint32_t{1} << 17) - 1);
    return static_cast<int>(low ^ sign) - static_cast<int>(sign);
}

constexpr long long min_local_msecs = -(1LL << 46);
constexpr long long max_local_msecs = (1LL << 46) - 1;
constexpr int min_offset = -65536;
constexpr int max_offset = 65535;

}  // namespace vorn::core::v2::detail

#endif
