// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/stopwatch.hpp: elapsed time in milliseconds on the steady clock, lap by lap.
///
/// start() records the current instant; split() returns the whole milliseconds since the last
/// start() or split() and restarts the interval there, so successive splits are lap times.
/// System clock adjustments do not affect it.
///
///   vorn::core::v2::stopwatch watch;
///   watch.start();
///   load_configuration();
///   std::int64_t load_ms = watch.split();    // time of load_configuration()
///   open_connections();
///   std::int64_t open_ms = watch.split();    // time of open_connections() alone
#ifndef VORN_CORE_STOPWATCH_HPP
#define VORN_CORE_STOPWATCH_HPP

#include <cstdint>

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

/// Not started, or started at an instant held in an owned heap block. Not synchronised: one
/// stopwatch is used by one thread at a time.
class VORN_CORE_API stopwatch {
  public:
    /// Not started.
    stopwatch() noexcept : start_point_(nullptr) {}
    /// Started at the same instant as the source, if the source is started; both then measure
    /// independently. May throw std::bad_alloc.
    stopwatch(const stopwatch& other);
    /// Takes the source's instant; the source is left not started.
    stopwatch(stopwatch&& other) noexcept;
    ~stopwatch();

    /// Copies the source's instant (or its not-started state); on std::bad_alloc this object is
    /// unchanged. Self-assignment changes nothing.
    stopwatch& operator=(const stopwatch& other);
    /// Takes the source's instant and leaves the source not started; moving an object into
    /// itself changes nothing.
    stopwatch& operator=(stopwatch&& other) noexcept;

    /// Exchanges the two states; allocates nothing.
    void swap(stopwatch& other) noexcept;

    /// Starts, or restarts, from now. On std::bad_alloc the stopwatch is left not started.
    void start();
    /// Back to not started; harmless when not started.
    void reset() noexcept;
    /// Whole milliseconds (truncated) since the last start() or split(), and the interval
    /// restarts now. Calling it on a stopwatch that is not started is a programming error: it
    /// writes a message to standard error and ends the process with status 1.
    std::int64_t split();

  private:
    // Frozen layout: the handle is this one pointer, compiled into every caller.
    std::int64_t* start_point_;  ///< nanoseconds since the steady clock's epoch
};

/// Same as a.swap(b).
inline void swap(stopwatch& a, stopwatch& b) noexcept {
    a.swap(b);
}

}  // namespace vorn::core::v2

#endif  // VORN_CORE_STOPWATCH_HPP
