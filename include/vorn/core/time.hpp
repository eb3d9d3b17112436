// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/time.hpp: a time of day, or a signed duration, in milliseconds.
///
/// A time is one signed 32-bit count of milliseconds (a little under +-596 hours). It is not
/// confined to one day: it may be negative or pass 24 hours. The hour carries the sign; the
/// minute, second and millisecond components are read from the magnitude.
///
///   namespace vc = vorn::core::v2;
///   vc::time t(9, 5, 7, 45);                 // 09:05:07.045
///   int ms = t.to_milliseconds();            // 32707045
///   vc::time before(-1, 30, 0, 0);           // an hour and a half before midnight
///   std::printf("%d %u\n", before.get_hour(), before.get_minute());    // -1 30
#ifndef VORN_CORE_TIME_HPP
#define VORN_CORE_TIME_HPP

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

/// A time of day or a signed duration: one count of milliseconds (see the file comment).
class VORN_CORE_API time {
  public:
    /// Midnight, count 0.
    time() noexcept : msecs_(0) {}
    /// hour * 3600000 plus, when hour >= 0, or minus, when hour < 0, the sum of the other
    /// components, unchecked: components past their usual range carry (minute 75 is an hour and
    /// 15 minutes). Totals outside the int range wrap modulo 2^32.
    time(int hour, unsigned int minute, unsigned int second, unsigned int milliseconds) noexcept;

    /// Copies the count.
    ///@{
    time(const time&) noexcept = default;
    time& operator=(const time&) noexcept = default;
    ///@}
    /// The target takes the source's count; the source is left holding 0.
    ///@{
    time(time&& other) noexcept : msecs_(other.msecs_) { other.msecs_ = 0; }
    time& operator=(time&& other) noexcept {
        time moved(static_cast<time&&>(other));
        swap(moved);
        return *this;
    }
    ///@}
    ~time() = default;

    /// Exchanges the counts.
    void swap(time& other) noexcept {
        const int mine = msecs_;
        msecs_ = other.msecs_;
        other.msecs_ = mine;
    }

    /// The count divided by 3600000, truncated toward zero; negative for counts at or below
    /// -3600000.
    int get_hour() const noexcept;
    /// Minutes, seconds and milliseconds of the magnitude of the count: 0-59, 0-59, 0-999.
    ///@{
    unsigned int get_minute() const noexcept;
    unsigned int get_second() const noexcept;
    unsigned int get_milliseconds() const noexcept;
    ///@}

    /// Each setter rebuilds the count from the current components with one replaced, through
    /// the constructor, so the sign becomes that of the hour in the result: a count between
    /// -3600000 and 0 has hour 0 and turns positive under set_minute, set_second and
    /// set_milliseconds.
    ///@{
    void set_hour(int hour) noexcept;
    void set_minute(unsigned int minute) noexcept;
    void set_second(unsigned int second) noexcept;
    void set_milliseconds(unsigned int milliseconds) noexcept;
    ///@}

    /// The stored count.
    int to_milliseconds() const noexcept { return msecs_; }
    /// A time holding exactly `milliseconds`, unchecked.
    static time from_milliseconds(int milliseconds) noexcept {
        time t;
        t.msecs_ = milliseconds;
        return t;
    }

    /// The count as a std::chrono::milliseconds, exact.
    std::chrono::milliseconds to_duration() const noexcept {
        return std::chrono::milliseconds(msecs_);
    }
    /// A time holding `duration`, unchecked like from_milliseconds: exact for counts in the
    /// int range, others keep their low 32 bits.
    static time from_duration(std::chrono::milliseconds duration) noexcept {
        return from_milliseconds(static_cast<int>(
            static_cast<std::uint32_t>(static_cast<std::uint64_t>(duration.count()))));
    }

    /// Comparisons of the counts.
    ///@{
    bool operator==(const time& other) const noexcept { return msecs_ == other.msecs_; }
    bool operator!=(const time& other) const noexcept { return msecs_ != other.msecs_; }
    bool operator<(const time& other) const noexcept { return msecs_ < other.msecs_; }
    bool operator>(const time& other) const noexcept { return msecs_ > other.msecs_; }
    bool operator<=(const time& other) const noexcept { return msecs_ <= other.msecs_; }
    bool operator>=(const time& other) const noexcept { return msecs_ >= other.msecs_; }
    ///@}

  private:
    int msecs_;
};

/// Same as a.swap(b).
inline void swap(time& a, time& b) noexcept {
    a.swap(b);
}

}  // namespace vorn::core::v2

namespace std {
/// Hashes the count.
template <>
struct hash<vorn::core::v2::time> {
    /// The hash of value.to_milliseconds().
    std::size_t operator()(const vorn::core::v2::time& value) const noexcept {
        return std::hash<int>()(value.to_milliseconds());
    }
};
}  // namespace std

#endif  // VORN_CORE_TIME_HPP
