// SPDX-License-Identifier: MIT
// time's members: the millisecond count of a time of day and the fields read back from it.
#include <cstdint>

#include "datetime/calendar.hpp"
#include "vorn/core/time.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(time) == 4, "a time is one 32-bit millisecond count");

namespace {

constexpr std::uint32_t msecs_per_hour = 3600000;

// The count from components, modulo 2^32: the wrap is part of the contract, so it is done in
// unsigned arithmetic and only the result is read as signed.
int compose(int hour, unsigned int minute, unsigned int second,
            unsigned int milliseconds) noexcept {
    const std::uint32_t part = milliseconds + 1000U * second + 60000U * minute;
    const std::uint32_t signed_part = hour < 0 ? 0U - part : part;
    return static_cast<int>(signed_part + msecs_per_hour * static_cast<std::uint32_t>(hour));
}

}  // namespace

time::time(int hour, unsigned int minute, unsigned int second, unsigned int milliseconds) noexcept
    : msecs_(compose(hour, minute, second, milliseconds)) {}

int time::get_hour() const noexcept {
    return detail::split_clock(msecs_).hour;
}

unsigned int time::get_minute() const noexcept {
    return detail::split_clock(msecs_).minute;
}

unsigned int time::get_second() const noexcept {
    return detail::split_clock(msecs_).second;
}

unsigned int time::get_milliseconds() const noexcept {
    return detail::split_clock(msecs_).milliseconds;
}

void time::set_hour(int hour) noexcept {
    msecs_ = compose(hour, get_minute(), get_second(), get_milliseconds());
}

void time::set_minute(unsigned int minute) noexcept {
    msecs_ = compose(get_hour(), minute, get_second(), get_milliseconds());
}

void time::set_second(unsigned int second) noexcept {
    msecs_ = compose(get_hour(), get_minute(), second, get_milliseconds());
}

void time::set_milliseconds(unsigned int milliseconds) noexcept {
    msecs_ = compose(get_hour(), get_minute(), get_second(), milliseconds);
}

}  // namespace vorn::core::v2
