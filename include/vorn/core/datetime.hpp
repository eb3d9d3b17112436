// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/datetime.hpp: a wall-clock date and time at a fixed offset from UTC.
///
/// A datetime is one 64-bit word: the wall-clock milliseconds since 1970-01-01T00:00:00.000 of
/// the clock at its offset (47 bits, dates from year -260 to 4199) and that offset in seconds
/// east of UTC (17 bits, -65536 to 65535). get_date() and get_time() answer what the wall clock
/// shows; to_msecs_since_epoch() and the comparisons answer which instant it is.
///
///   namespace vc = vorn::core::v2;
///   vc::datetime noon(vc::date(10, 3, 2024), vc::time(12, 0, 0, 0), -10800);   // 12:00-03:00
///   vc::datetime utc = noon.to_offset(0);    // the same instant: 15:00 at offset 0
///   bool same = utc == noon;                 // true: comparisons are by instant
///   vc::datetime here = vc::datetime::now(); // the local clock with the current offset
#ifndef VORN_CORE_DATETIME_HPP
#define VORN_CORE_DATETIME_HPP

#include <chrono>
#include <cstddef>
#include <functional>

#include "vorn/core/date.hpp"
#include "vorn/core/export.hpp"
#include "vorn/core/time.hpp"

namespace vorn::core::v2 {

/// A wall-clock date and time at a fixed UTC offset, in one 64-bit word (see the file comment).
class VORN_CORE_API datetime {
  public:
    /// 1970-01-01T00:00:00.000 at offset 0.
    datetime() noexcept : local_msecs_(0), offset_(0) {}
    /// The wall clock `d`, `t` at `offset` seconds east of UTC; nothing is converted. A time
    /// outside one day carries into the neighbouring days. Fields that overflow keep their low
    /// bits: an offset of 65536 reads back as -65536.
    datetime(const date& d, const time& t, int offset) noexcept;

    /// Copies the value.
    ///@{
    datetime(const datetime&) noexcept = default;
    datetime& operator=(const datetime&) noexcept = default;
    ///@}
    /// The target takes the source's value; the source is left holding the default value.
    ///@{
    datetime(datetime&& other) noexcept : local_msecs_(other.local_msecs_), offset_(other.offset_) {
        other.local_msecs_ = 0;
        other.offset_ = 0;
    }
    datetime& operator=(datetime&& other) noexcept {
        datetime moved(static_cast<datetime&&>(other));
        swap(moved);
        return *this;
    }
    ///@}
    ~datetime() = default;

    /// Exchanges the values.
    void swap(datetime& other) noexcept {
        // Whole-word copies: no field is narrowed on the way.
        const datetime mine(*this);
        *this = other;
        other = mine;
    }

    /// The wall-clock date.
    date get_date() const noexcept;
    /// Replaces the date, keeping the time of day and the offset.
    void set_date(const date& d) noexcept;
    /// The wall-clock time of day, always 0 to 86399999 ms.
    time get_time() const noexcept;
    /// Replaces the time of day, keeping the date and the offset; a time outside one day
    /// carries into the neighbouring days.
    void set_time(const time& t) noexcept;
    /// The offset in seconds east of UTC.
    int get_offset() const noexcept { return static_cast<int>(offset_); }
    /// Replaces the offset only: the wall clock stays, so the instant moves.
    void set_offset(int offset) noexcept;

    /// The instant, as milliseconds since 1970-01-01T00:00:00Z.
    long long to_msecs_since_epoch() const noexcept { return local_msecs_ - 1000LL * offset_; }
    /// The same instant seen at `offset`; this object is not changed. An offset outside the
    /// field's range is kept by its low 17 bits, and the wall clock moves by the offset kept.
    datetime to_offset(int offset) noexcept;
    /// The same as the overload above, callable on a const value.
    datetime to_offset(int offset) const noexcept;
    /// The instant `msecs` after 1970-01-01T00:00:00Z, at offset 0.
    static datetime from_msecs_since_epoch(long long msecs) noexcept;

    /// The instant as a system_clock time point to the millisecond; exact for every value.
    /// value_converter<datetime>::make_value takes one back (converters.hpp).
    std::chrono::time_point<std::chrono::system_clock, std::chrono::milliseconds> to_sys_time()
        const noexcept {
        return std::chrono::time_point<std::chrono::system_clock, std::chrono::milliseconds>(
            std::chrono::milliseconds(to_msecs_since_epoch()));
    }

    /// The local wall clock now, at the process's current UTC offset (time zone rules and
    /// daylight saving included), to the millisecond. Offset 0 if the local time cannot be
    /// computed; the epoch if the real-time clock cannot be read.
    static datetime now() noexcept;
    /// The UTC clock now, at offset 0.
    static datetime utc_now() noexcept;
    /// The clock now, seen at `offset` (as to_offset does).
    static datetime now(int offset) noexcept;

    /// Comparisons of the instants: values at different offsets that denote the same instant
    /// are equal, whatever their wall clocks.
    ///@{
    bool operator==(const datetime& other) const noexcept {
        return to_msecs_since_epoch() == other.to_msecs_since_epoch();
    }
    bool operator!=(const datetime& other) const noexcept {
        return to_msecs_since_epoch() != other.to_msecs_since_epoch();
    }
    bool operator<(const datetime& other) const noexcept {
        return to_msecs_since_epoch() < other.to_msecs_since_epoch();
    }
    bool operator>(const datetime& other) const noexcept {
        return to_msecs_since_epoch() > other.to_msecs_since_epoch();
    }
    bool operator<=(const datetime& other) const noexcept {
        return to_msecs_since_epoch() <= other.to_msecs_since_epoch();
    }
    bool operator>=(const datetime& other) const noexcept {
        return to_msecs_since_epoch() >= other.to_msecs_since_epoch();
    }
    ///@}

  private:
    /// Least significant bits first: the wall-clock milliseconds, then the offset.
    // Frozen layout: one 64-bit word, passed by value across the library boundary.
    long long local_msecs_ : 47;
    long long offset_ : 17;
};

/// Same as a.swap(b).
inline void swap(datetime& a, datetime& b) noexcept {
    a.swap(b);
}

}  // namespace vorn::core::v2

namespace std {
/// Hashes the instant, so that values equal under == (the same instant at different offsets)
/// hash alike.
template <>
struct hash<vorn::core::v2::datetime> {
    /// The hash of value.to_msecs_since_epoch().
    std::size_t operator()(const vorn::core::v2::datetime& value) const noexcept {
        return std::hash<long long>()(value.to_msecs_since_epoch());
    }
};
}  // namespace std

#endif  // VORN_CORE_DATETIME_HPP
