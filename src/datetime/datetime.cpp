// SPDX-License-Identifier: MIT
// datetime's members: the wall clock and offset in one word, the clock readings and conversions
// between offsets.
#include <cstdint>
#include <ctime>

#include "datetime/calendar.hpp"
#include "vorn/core/datetime.hpp"

namespace vorn::core::v2 {

static_assert(sizeof(datetime) == 8, "a datetime is one 64-bit word");

namespace {

using detail::msecs_per_day;
using detail::unix_epoch_julian_day;
using detail::wrap_to_17_bits;
using detail::wrap_to_47_bits;

// The wall-clock count of `msecs` into day `julian_day`, modulo 2^47 like the field that keeps
// it. Done in unsigned arithmetic so that day numbers far outside the field's range wrap
// instead of overflowing.
long long local_msecs_of(long long julian_day, long long msecs) noexcept {
    const std::uint64_t days =
        static_cast<std::uint64_t>(julian_day) - static_cast<std::uint64_t>(unix_epoch_julian_day);
    return wrap_to_47_bits(days * static_cast<std::uint64_t>(msecs_per_day) +
                           static_cast<std::uint64_t>(msecs));
}

// The real-time clock, with the sub-millisecond part dropped.
struct clock_reading {
    std::time_t seconds;
    long long milliseconds;
};

clock_reading read_clock() noexcept {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return clock_reading{0, 0};
    }
    return clock_reading{now.tv_sec, now.tv_nsec / 1000000};
}

}  // namespace

datetime::datetime(const date& d, const time& t, int offset) noexcept
    : local_msecs_(local_msecs_of(d.to_julian_day(), t.to_milliseconds())),
      offset_(wrap_to_17_bits(offset)) {}

date datetime::get_date() const noexcept {
    return date::from_julian_day(detail::split_wall_clock(local_msecs_).julian_day);
}

void datetime::set_date(const date& d) noexcept {
    local_msecs_ =
        local_msecs_of(d.to_julian_day(), detail::split_wall_clock(local_msecs_).msecs_of_day);
}

time datetime::get_time() const noexcept {
    return time::from_milliseconds(
        static_cast<int>(detail::split_wall_clock(local_msecs_).msecs_of_day));
}

void datetime::set_time(const time& t) noexcept {
    local_msecs_ =
        local_msecs_of(detail::split_wall_clock(local_msecs_).julian_day, t.to_milliseconds());
}

void datetime::set_offset(int offset) noexcept {
    offset_ = wrap_to_17_bits(offset);
}

datetime datetime::to_offset(int offset) noexcept {
    // The wall clock moves by the offset the field can keep, so that the instant is the same
    // also for an offset outside the field's range.
    const int kept = wrap_to_17_bits(offset);
    datetime moved;
    moved.local_msecs_ = wrap_to_47_bits(static_cast<std::uint64_t>(to_msecs_since_epoch()) +
                                         static_cast<std::uint64_t>(1000LL * kept));
    moved.offset_ = kept;
    return moved;
}

datetime datetime::to_offset(int offset) const noexcept {
    datetime copy(*this);
    return copy.to_offset(offset);
}

datetime datetime::from_msecs_since_epoch(long long msecs) noexcept {
    datetime result;
    result.local_msecs_ = wrap_to_47_bits(static_cast<std::uint64_t>(msecs));
    return result;
}

datetime datetime::now() noexcept {
    const clock_reading clock = read_clock();
    // localtime_r reports how far the local wall clock is from UTC at this moment, daylight
    // saving included; when it cannot convert the clock, the clock is taken as UTC.
    long offset = 0;
    tm local{};
    if (localtime_r(&clock.seconds, &local) != nullptr) {
        offset = local.tm_gmtoff;
    }
    const std::time_t local_seconds = clock.seconds + offset;
    datetime result;
    result.local_msecs_ = wrap_to_47_bits(static_cast<std::uint64_t>(local_seconds) * 1000U +
                                          static_cast<std::uint64_t>(clock.milliseconds));
    result.offset_ = wrap_to_17_bits(static_cast<int>(offset));
    return result;
}

datetime datetime::utc_now() noexcept {
    const clock_reading clock = read_clock();
    datetime result;
    result.local_msecs_ = wrap_to_47_bits(static_cast<std::uint64_t>(clock.seconds) * 1000U +
                                          static_cast<std::uint64_t>(clock.milliseconds));
    return result;
}

datetime datetime::now(int offset) noexcept {
    return utc_now().to_offset(offset);
}

}  // namespace vorn::core::v2
