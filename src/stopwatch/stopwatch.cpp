// SPDX-License-Identifier: MIT
// The stopwatch: a start instant of the steady clock held in one owned block.
#include "vorn/core/stopwatch.hpp"

#include <chrono>
#include <cstdint>
#include <ratio>
#include <type_traits>
#include <utility>

#include "common/exit_with_message.hpp"

namespace vorn::core::v2 {

namespace {

static_assert(sizeof(stopwatch) == sizeof(void*), "a stopwatch is one owned pointer");
// The count's type is long in one standard library and long long in another: what matters is
// a signed 64-bit count of nanoseconds.
static_assert(std::is_integral_v<std::chrono::steady_clock::rep> &&
                  std::is_signed_v<std::chrono::steady_clock::rep> &&
                  sizeof(std::chrono::steady_clock::rep) == sizeof(std::int64_t) &&
                  std::is_same_v<std::chrono::steady_clock::period, std::nano>,
              "the steady clock counts nanoseconds in 64 bits");

std::int64_t now() noexcept {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

std::int64_t* copy_of(const std::int64_t* instant) {
    return instant == nullptr ? nullptr : new std::int64_t(*instant);
}

}  // namespace

stopwatch::stopwatch(const stopwatch& other) : start_point_(copy_of(other.start_point_)) {}

stopwatch::stopwatch(stopwatch&& other) noexcept
    : start_point_(std::exchange(other.start_point_, nullptr)) {}

stopwatch::~stopwatch() {
    delete start_point_;
}

stopwatch& stopwatch::operator=(const stopwatch& other) {
    if (this != &other) {
        std::int64_t* const copy = copy_of(other.start_point_);
        delete start_point_;
        start_point_ = copy;
    }
    return *this;
}

stopwatch& stopwatch::operator=(stopwatch&& other) noexcept {
    if (this != &other) {
        delete start_point_;
        start_point_ = std::exchange(other.start_point_, nullptr);
    }
    return *this;
}

void stopwatch::swap(stopwatch& other) noexcept {
    std::swap(start_point_, other.start_point_);
}

void stopwatch::start() {
    reset();
    start_point_ = new std::int64_t;
    // Read after the allocation, so that it is not part of the next interval.
    *start_point_ = now();
}

void stopwatch::reset() noexcept {
    delete start_point_;
    start_point_ = nullptr;
}

std::int64_t stopwatch::split() {
    if (start_point_ == nullptr) {
        // Frozen text, as programs and their logs see it, spelling included.
        detail::exit_with_message(
            "BUG FOUND! O método start() da classe stopwatch deve ser chamado antes do método "
            "split()",
            1);
    }
    const std::int64_t instant = now();
    // Both readings come from one monotonic clock: the difference cannot wrap.
    const std::int64_t elapsed = instant - *start_point_;
    *start_point_ = instant;
    return elapsed / 1000000;
}

}  // namespace vorn::core::v2
