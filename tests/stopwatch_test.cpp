// SPDX-License-Identifier: MIT
// The stopwatch: lap splits on the steady clock, copies and moves, and the process-ending
// split before start.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "support/allocation_failure.hpp"
#include "support/child_process.hpp"
#include "support/fixed_clock.hpp"
#include "vorn/core/stopwatch.hpp"

namespace vc = vorn::core::v2;
using std::chrono::steady_clock;
using vorn::test::fail_next_allocations;
using vorn::test::run_in_child;

namespace {

const std::string split_before_start =
    "BUG FOUND! O método start() da classe stopwatch deve ser chamado antes do método split()";

std::int64_t whole_ms(steady_clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

void pause_ms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Splitting `watch` in a child must end it with status 1 and exactly the message.
void expect_split_ends_the_process(const std::function<vc::stopwatch()>& make) {
    const vorn::test::child_outcome outcome = run_in_child([&] {
        vc::stopwatch watch = make();
        (void)watch.split();
    });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(outcome.standard_error, split_before_start);
}

}  // namespace

TEST(Stopwatch, SplitBeforeStartEndsTheProcess) {
    expect_split_ends_the_process([] { return vc::stopwatch(); });
    expect_split_ends_the_process([] {
        vc::stopwatch w;
        w.start();
        w.reset();
        return w;
    });
    expect_split_ends_the_process([] {
        vc::stopwatch never_started;
        vc::stopwatch copy(never_started);
        return copy;
    });
    // Moved-from stopwatches, by construction and by assignment.
    expect_split_ends_the_process([] {
        vc::stopwatch a;
        a.start();
        vc::stopwatch b(std::move(a));
        (void)b.split();
        return a;
    });
    expect_split_ends_the_process([] {
        vc::stopwatch a;
        a.start();
        vc::stopwatch b;
        b = std::move(a);
        (void)b.split();
        return a;
    });
}

TEST(Stopwatch, ResetOnANotStartedStopwatchIsHarmless) {
    vc::stopwatch w;
    w.reset();
    w.reset();
    w.start();
    EXPECT_GE(w.split(), 0);
}

TEST(Stopwatch, SplitUnderOneMillisecondIsZero) {
    // On a busy machine a given attempt may take longer; one quick attempt is enough.
    int quick_attempts = 0;
    for (int attempt = 0; attempt < 200 && quick_attempts < 5; ++attempt) {
        vc::stopwatch w;
        const steady_clock::time_point before = steady_clock::now();
        w.start();
        const std::int64_t split = w.split();
        if (steady_clock::now() - before < std::chrono::milliseconds(1)) {
            EXPECT_EQ(split, 0);
            ++quick_attempts;
        }
    }
    EXPECT_GT(quick_attempts, 0);
}

TEST(Stopwatch, SplitsAreLapTimes) {
    vc::stopwatch w;
    steady_clock::time_point before = steady_clock::now();
    w.start();
    steady_clock::time_point after = steady_clock::now();
    for (int lap = 0; lap < 3; ++lap) {
        pause_ms(15);
        const steady_clock::time_point next_before = steady_clock::now();
        const std::int64_t split = w.split();
        const steady_clock::time_point next_after = steady_clock::now();
        // The lap lies between the end of the previous reading and the start of this one at
        // least, and between the start of the previous one and the end of this one at most.
        EXPECT_GE(split, whole_ms(next_before - after)) << "lap " << lap;
        EXPECT_LE(split, whole_ms(next_after - before)) << "lap " << lap;
        EXPECT_GE(split, 15) << "lap " << lap;
        before = next_before;
        after = next_after;
    }
}

TEST(Stopwatch, CopiesMeasureFromTheCopiedInstantIndependently) {
    vc::stopwatch original;
    original.start();
    const steady_clock::time_point after_start = steady_clock::now();
    pause_ms(20);
    vc::stopwatch copy(original);
    const steady_clock::time_point before_original_split = steady_clock::now();
    (void)original.split();  // moves the original's instant, not the copy's
    pause_ms(20);
    const steady_clock::time_point before_copy_split = steady_clock::now();
    const std::int64_t copy_split = copy.split();
    const std::int64_t original_split = original.split();
    const steady_clock::time_point after_splits = steady_clock::now();
    EXPECT_GE(copy_split, 40);
    EXPECT_GE(copy_split, whole_ms(before_copy_split - after_start));
    EXPECT_GE(original_split, 20);
    EXPECT_LE(original_split, whole_ms(after_splits - before_original_split));

    vc::stopwatch assigned;
    assigned = copy;
    assigned = assigned;
    pause_ms(10);
    EXPECT_GE(assigned.split(), 10);
    EXPECT_GE(copy.split(), 10);
    assigned = original;  // onto a started stopwatch: takes the other's instant
    EXPECT_GE(assigned.split(), 10);
}

TEST(Stopwatch, MoveAssignmentCarriesTheInstant) {
    vc::stopwatch a;
    a.start();
    pause_ms(20);
    vc::stopwatch b;
    b.start();
    b = std::move(a);
    EXPECT_GE(b.split(), 20);
    b = std::move(b);
    EXPECT_GE(b.split(), 0);

    vc::stopwatch c;
    c.start();
    pause_ms(20);
    vc::stopwatch d;
    swap(c, d);
    EXPECT_GE(d.split(), 20);
    expect_split_ends_the_process([&] { return std::move(c); });
}

TEST(Stopwatch, AllocationFailureLeavesTheStopwatchNotStarted) {
    vc::stopwatch w;
    w.start();
    fail_next_allocations(1);
    EXPECT_THROW(w.start(), std::bad_alloc);
    expect_split_ends_the_process([&] { return std::move(w); });

    vc::stopwatch started;
    started.start();
    fail_next_allocations(1);
    EXPECT_THROW(vc::stopwatch copy(started), std::bad_alloc);
    vc::stopwatch target;
    fail_next_allocations(1);
    EXPECT_THROW(target = started, std::bad_alloc);
    expect_split_ends_the_process([&] { return std::move(target); });
}

// Splits are whole milliseconds of the steady clock, the rest dropped, up to a day and beyond.
TEST(Stopwatch, SplitsDropTheSubMillisecondRest) {
    constexpr std::int64_t base = 5000000000000;  // any instant of the steady clock
    const struct {
        std::int64_t elapsed_ns;
        std::int64_t split;
    } rows[] = {
        {0, 0},
        {999999, 0},
        {1000000, 1},
        {1999999, 1},
        {999999999, 999},
        {1000000000, 1000},
        {86399999999999, 86399999},
        {4000000000000000000, 4000000000000},
    };
    vorn::test::fixed_clock clock(CLOCK_MONOTONIC, base);
    for (const auto& r : rows) {
        vc::stopwatch w;
        clock.set(base);
        w.start();
        clock.set(base + r.elapsed_ns);
        EXPECT_EQ(w.split(), r.split) << r.elapsed_ns;
        EXPECT_EQ(w.split(), 0) << r.elapsed_ns;  // the next lap starts at the reading
    }
}
