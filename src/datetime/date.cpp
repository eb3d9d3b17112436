// SPDX-License-Identifier: MIT
// date's members: construction from a civil date and the fields read back from the day number.
#include "vorn/core/date.hpp"
#include "datetime/calendar.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(date) == 8, "a date is one 64-bit day number");

date::date(unsigned int day, unsigned int month, int year) noexcept
    : julian_day_(detail::julian_day_from_civil(day, month, year)) {}

unsigned int date::get_day() const noexcept {
    return detail::civil_from_julian_day(julian_day_).day;
}

unsigned int date::get_month() const noexcept {
    return detail::civil_from_julian_day(julian_day_).month;
}

int date::get_year() const noexcept {
    return detail::reported_year(detail::civil_from_julian_day(julian_day_).year);
}

void date::set_day(unsigned int day) noexcept {
    const detail::civil_date c = detail::civil_from_julian_day(julian_day_);
    julian_day_ = detail::julian_day_from_civil(day, c.month, detail::reported_year(c.year));
}

void date::set_month(unsigned int month) noexcept {
    const detail::civil_date c = detail::civil_from_julian_day(julian_day_);
    julian_day_ = detail::julian_day_from_civil(c.day, month, detail::reported_year(c.year));
}

void date::set_year(int year) noexcept {
    const detail::civil_date c = detail::civil_from_julian_day(julian_day_);
    julian_day_ = detail::julian_day_from_civil(c.day, c.month, year);
}

}  // namespace vorn::core::v2
