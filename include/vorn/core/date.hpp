// vorn/core/date.hpp: a calendar date stored as one Julian Day Number.
//
// A date is a single signed 64-bit day count in the proleptic Gregorian calendar. It has no
// invalid state: every day number is a date, and every day, month and year given to it yields
// one, with out-of-range days and months rolling over into the neighbouring months and years.
//
//   namespace vc = vorn::core::v2;
//   vc::date d(29, 2, 2023);                 // no 29 February in 2023: rolls over
//   std::printf("%u/%u/%d\n", d.get_day(), d.get_month(), d.get_year());    // 1/3/2023
//   long long days = vc::date(1, 1, 2000).to_julian_day() - d.to_julian_day();
//
// Years are astronomical inside (year 0 exists and is a leap year, -1 precedes it), but the
// year 0 is reported as 1 by get_year().
#ifndef VORN_CORE_DATE_HPP
#define VORN_CORE_DATE_HPP

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

class VORN_CORE_API date {
  public:
    // 1 January 1970 (day number 2440588).
    date() noexcept : julian_day_(2440588) {}
    // The day `day` of month `month` of `year`, unchecked: day 0 is the last day of the
    // previous month, days past the month's end roll forward, month 0 is December of the
    // previous year and months above 12 roll over by whole years (month 25 of 2024 is
    // January 2026). Exact for every int year.
    date(unsigned int day, unsigned int month, int year) noexcept;

    date(const date&) noexcept = default;
    date& operator=(const date&) noexcept = default;
    // The target takes the source's day; the source is left holding 1 January 1970.
    date(date&& other) noexcept : julian_day_(other.julian_day_) { other.julian_day_ = 2440588; }
    date& operator=(date&& other) noexcept {
        date moved(static_cast<date&&>(other));
        swap(moved);
        return *this;
    }
    ~date() = default;

    void swap(date& other) noexcept {
        const long long mine = julian_day_;
        julian_day_ = other.julian_day_;
        other.julian_day_ = mine;
    }

    // Day of the month, 1 to 31.
    unsigned int get_day() const noexcept;
    // Month, 1 to 12.
    unsigned int get_month() const noexcept;
    // The year, clamped to the int range; the astronomical year 0 is reported as 1.
    int get_year() const noexcept;

    // Each setter rebuilds the date from the reported components with one replaced, through
    // the rolling constructor: set_day(31) on 10 February 2023 gives 3 March 2023.
    void set_day(unsigned int day) noexcept;
    void set_month(unsigned int month) noexcept;
    void set_year(int year) noexcept;

    // The stored day number.
    long long to_julian_day() const noexcept { return julian_day_; }
    // A date holding exactly `julian_day`, unchecked.
    static date from_julian_day(long long julian_day) noexcept {
        date d;
        d.julian_day_ = julian_day;
        return d;
    }

    // Comparisons of the day numbers.
    bool operator==(const date& other) const noexcept { return julian_day_ == other.julian_day_; }
    bool operator!=(const date& other) const noexcept { return julian_day_ != other.julian_day_; }
    bool operator<(const date& other) const noexcept { return julian_day_ < other.julian_day_; }
    bool operator>(const date& other) const noexcept { return julian_day_ > other.julian_day_; }
    bool operator<=(const date& other) const noexcept { return julian_day_ <= other.julian_day_; }
    bool operator>=(const date& other) const noexcept { return julian_day_ >= other.julian_day_; }

  private:
    long long julian_day_;
};

inline void swap(date& a, date& b) noexcept {
    a.swap(b);
}

}  // namespace vorn::core::v2

#endif  // VORN_CORE_DATE_HPP
