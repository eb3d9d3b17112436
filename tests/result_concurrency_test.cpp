// The item pool under contention: threads push and reset while the heap fails for them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "support/allocation_failure.hpp"
#include "support/child_process.hpp"
#include "vorn/core/result.hpp"

namespace vc = vorn::core::v2;
using vc::result::stack;

namespace {

constexpr int thread_count = 8;
constexpr int items_per_round = 8;  // 8 threads x 8 items: the pool can never run dry
constexpr int rounds = 300;

}  // namespace

TEST(ItemPoolConcurrency, PushAndResetUnderHeapFailureLeaveEverySlotFree) {
    std::atomic<bool> go{false};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            const auto& category = vc::integral_conversion_error::instance();
            for (int round = 0; round < rounds; ++round) {
                stack s;
                {
                    // Every other round mixes heap and pool items.
                    vorn::test::allocation_failure_scope failing;
                    for (int i = 0; i < items_per_round; ++i) {
                        s.push_item(category, 1 + (i + t) % 2).set_argument("k", "v");
                    }
                }
                if (round % 2 == 0) {
                    s.push_item(category, 2);
                }
                int expected = round % 2 == 0 ? 2 : 1 + (items_per_round - 1 + t) % 2;
                if (s.get_value() != expected) {
                    mismatches.fetch_add(1);
                }
                s.reset();
            }
        });
    }
    go.store(true);
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(mismatches.load(), 0);

    // All 64 slots must be free again: a fresh process image of this one can take them all.
    const auto outcome = vorn::test::run_in_child([] {
        vorn::test::allocation_failure_scope failing;
        stack s;
        for (int i = 0; i < 64; ++i) {
            s.push_item(vc::integral_conversion_error::instance(), 1);
        }
        std::_Exit(0);
    });
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exit_status, 0) << outcome.standard_error;
}

TEST(ItemPoolConcurrency, EmptyStackArgumentRangesArePerThread) {
    std::vector<std::thread> threads;
    std::atomic<int> leaks{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                stack empty;
                empty.get_argument_range().set_argument("scratch", "value");
                const stack& view = empty;
                if (view.get_argument_range().begin() != view.get_argument_range().end()) {
                    leaks.fetch_add(1);
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(leaks.load(), 0);
}

TEST(ItemPoolConcurrency, CategoryInstancesAreSharedSafely) {
    std::vector<std::thread> threads;
    std::vector<const vc::result::category*> seen(thread_count);
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&seen, t] {
            seen[static_cast<std::size_t>(t)] = &vc::converter_result_category::instance();
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    for (const auto* c : seen) {
        EXPECT_EQ(c, &vc::converter_result_category::instance());
    }
}
