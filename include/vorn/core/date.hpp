// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/date.hpp: a calendar date stored as one Julian Day Number.
///
/// A date is a single signed 64-bit day count in the proleptic Gregorian calendar. It has no
/// invalid state: every day number is a date, and every day, month and year given to it yields
/// one, with out-of-range days and months rolling over into the neighbouring months and years.
///
///   namespace vc = vorn::core::v2;
///   vc::date d(29, 2, 2023);                 // no 29 February in 2023: rolls over
///   std::printf("%u/%u/%d\n", d.get_day(), d.get_month(), d.get_year());    // 1/3/2023
///   long long days = vc::date(1, 1, 2000).to_julian_day() - d.to_julian_day();
///
/// Years are astronomical inside (year 0 exists and is a leap year, -1 precedes it), but the
/// year 0 is reported as 1 by get_year().
#ifndef VORN_CORE_DATE_HPP
#define VORN_CORE_DATE_HPP

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

/// A calendar date: one Julian Day Number, with no invalid state (see the file comment).
class VORN_CORE_API date {
  public:
    /// 1 January 1970 (day number 2440588).
    date() noexcept : julian_day_(2440588) {}
    /// The day `day` of month `month` of `year`, unchecked: day 0 is the last day of the
    /// previous month, days past the month's end roll forward, month 0 is December of the
    /// previous year and months above 12 roll over by whole years (month 25 of 2024 is
    /// January 2026). Exact for every int year.
    date(unsigned int day, unsigned int month, int year) noexcept;

    /// Copies the day number.
    ///@{
    date(const date&) noexcept = default;
    date& operator=(const date&) noexcept = default;
    ///@}
    /// The target takes the source's day; the source is left holding 1 January 1970.
    ///@{
    date(date&& other) noexcept : julian_day_(other.julian_day_) { other.julian_day_ = 2440588; }
    date& operator=(date&& other) noexcept {
        date moved(static_cast<date&&>(other));
        swap(moved);
        return *this;
    }
    ///@}
    ~date() = default;

    /// Exchanges the day numbers.
    void swap(date& other) noexcept {
        const long long mine = julian_day_;
        julian_day_ = other.julian_day_;
        other.julian_day_ = mine;
    }

    /// Day of the month, 1 to 31.
    unsigned int get_day() const noexcept;
    /// Month, 1 to 12.
    unsigned int get_month() const noexcept;
    /// The year, clamped to the int range; the astronomical year 0 is reported as 1.
    int get_year() const noexcept;

    /// Each setter rebuilds the date from the reported components with one replaced, through
    /// the rolling constructor: set_day(31) on 10 February 2023 gives 3 March 2023.
    ///@{
    void set_day(unsigned int day) noexcept;
    void set_month(unsigned int month) noexcept;
    void set_year(int year) noexcept;
    ///@}

    /// The stored day number.
    long long to_julian_day() const noexcept { return julian_day_; }
    /// A date holding exactly `julian_day`, unchecked.
    static date from_julian_day(long long julian_day) noexcept {
        date d;
        d.julian_day_ = julian_day;
        return d;
    }

    /// A count of days since 1970-01-01; std::chrono::days (C++20) and coarser whole-day
    /// durations convert to it implicitly.
    using days_since_epoch = std::chrono::duration<long long, std::ratio<86400>>;

    /// The day as days since 1970-01-01 (day number minus 2440588); from_days_since_epoch gives
    /// it back exactly. Counts within 2440588 of the long long limits wrap, both ways alike.
    ///@{
    days_since_epoch to_days_since_epoch() const noexcept {
        return days_since_epoch(static_cast<long long>(static_cast<std::uint64_t>(julian_day_) -
                                                       std::uint64_t{2440588}));
    }
    static date from_days_since_epoch(days_since_epoch days) noexcept {
        return from_julian_day(static_cast<long long>(static_cast<std::uint64_t>(days.count()) +
                                                      std::uint64_t{2440588}));
    }
    ///@}

#if __cplusplus >= 202002L
    /// The day as a std::chrono::sys_days, and back; exact for every day std::chrono holds.
    std::chrono::sys_days to_sys_days() const noexcept {
        return std::chrono::sys_days(std::chrono::days(to_days_since_epoch().count()));
    }
    static date from_sys_days(std::chrono::sys_days days) noexcept {
        return from_days_since_epoch(days.time_since_epoch());
    }
    /// The astronomical year, month and day (year 0 stays 0), exact for the years -32767 to
    /// 32767; a day outside them gives a value whose ok() is false (year -32768, 1 January).
    std::chrono::year_month_day to_year_month_day() const noexcept {
        // 1 January -32767 and 31 December 32767.
        if (julian_day_ < -10246840 || julian_day_ > 13689325) {
            return std::chrono::year_month_day(std::chrono::year(-32768), std::chrono::January,
                                               std::chrono::day(1));
        }
        return std::chrono::year_month_day(to_sys_days());
    }
    /// The date of `ymd`'s fields through the rolling constructor: exact when ymd.ok(), and a
    /// day past the end of its month rolls forward as std::chrono::sys_days(ymd) does.
    static date from_year_month_day(std::chrono::year_month_day ymd) noexcept {
        return date(static_cast<unsigned int>(ymd.day()), static_cast<unsigned int>(ymd.month()),
                    static_cast<int>(ymd.year()));
    }
#endif

    /// Comparisons of the day numbers.
    ///@{
    bool operator==(const date& other) const noexcept {
        return julian_day_ == other.julian_day_;
    }
    bool operator!=(const date& other) const noexcept {
        return julian_day_ != other.julian_day_;
    }
    bool operator<(const date& other) const noexcept {
        return julian_day_ < other.julian_day_;
    }
    bool operator>(const date& other) const noexcept {
        return julian_day_ > other.julian_day_;
    }
    bool operator<=(const date& other) const noexcept {
        return julian_day_ <= other.julian_day_;
    }
    bool operator>=(const date& other) const noexcept {
        return julian_day_ >= other.julian_day_;
    }
    ///@}

  private:
    long long julian_day_;
};

/// Same as a.swap(b).
inline void swap(date& a, date& b) noexcept {
    a.swap(b);
}

}  // namespace vorn::core::v2

namespace std {
/// Hashes the day number.
template <>
struct hash<vorn::core::v2::date> {
    /// The hash of value.to_julian_day().
    std::size_t operator()(const vorn::core::v2::date& value) const noexcept {
        return std::hash<long long>()(value.to_julian_day());
    }
};
}  // namespace std

#endif  // VORN_CORE_DATE_HPP
