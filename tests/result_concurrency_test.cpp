// SPDX-License-Identifier: MIT
// The status family under contention: the item pool while the heap fails, the spare blocks
// of stacks released on other threads, the std::error_category of each category.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <system_error>
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

// A category that is nothing but its own object: arrays of them give as many distinct
// categories as a test needs adapters for.
struct numbered final : vc::result::category {
    const char* get_name() const override { return "numbered"; }
    const char* get_message(int) const override { return "numbered"; }
};

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

// Two threads that convert the same new category at the same moment race for the same free
// adapter: the one that loses the claim must take the adapter the winner gave the category,
// never a second one. Each child process races over as many categories as there are free
// adapters, the threads meeting before each one.
TEST(ItemPoolConcurrency, RacingClaimsOfOneCategoryShareItsAdapter) {
    constexpr std::size_t race_count = 96;
    static const numbered categories[race_count];
    for (int child = 0; child < 8; ++child) {
        const vorn::test::child_outcome outcome = vorn::test::run_in_child([] {
            std::atomic<std::size_t> arrived{0};
            const std::error_category* seen[2][race_count] = {};
            const auto race = [&](std::size_t t) {
                for (std::size_t i = 0; i < race_count; ++i) {
                    arrived.fetch_add(1);
                    while (arrived.load() < 2 * (i + 1)) {
                        std::this_thread::yield();
                    }
                    stack s;
                    s.push_item(categories[i], 1);
                    seen[t][i] = &vc::result::to_error_code(s).category();
                }
            };
            std::thread other(race, 1);
            race(0);
            other.join();
            for (std::size_t i = 0; i < race_count; ++i) {
                if (seen[0][i] != seen[1][i]) {
                    std::_Exit(1);
                }
            }
        });
        ASSERT_TRUE(outcome.exited) << outcome.standard_error;
        ASSERT_EQ(outcome.exit_status, 0) << "two adapters for one category in child " << child;
    }
}

// More categories than the adapters kept in static storage, converted by every thread at once
// in different orders: each category gets one std::error_category, the same in every thread.
TEST(ItemPoolConcurrency, ErrorCodeAdaptersAreOnePerCategory) {
    constexpr std::size_t category_count = 200;
    static const numbered categories[category_count];
    std::vector<std::vector<const std::error_category*>> seen(
        thread_count, std::vector<const std::error_category*>(category_count));
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < thread_count; ++t) {
        threads.emplace_back([&seen, t] {
            for (std::size_t i = 0; i < category_count; ++i) {
                const std::size_t c =
                    ((t % 2 == 0 ? i : category_count - 1 - i) + 25 * t) % category_count;
                stack s;
                s.push_item(categories[c], 1);
                seen[t][c] = &vc::result::to_error_code(s).category();
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    for (std::size_t c = 0; c < category_count; ++c) {
        for (std::size_t t = 1; t < thread_count; ++t) {
            EXPECT_EQ(seen[t][c], seen[0][c]) << c;
        }
        for (std::size_t d = 0; d < c; ++d) {
            EXPECT_NE(seen[0][d], seen[0][c]);
        }
        stack back;
        back.push(std::error_code(3, *seen[0][c]));
        EXPECT_EQ(&back.get_category(), &categories[c]);
    }
}

// Stacks built on some threads and released on others: the blocks become spares of the
// releasing threads, and every thread ends with its spares freed.
TEST(ItemPoolConcurrency, StacksReleasedOnOtherThreads) {
    std::vector<stack> built(thread_count * 100);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < thread_count; ++t) {
        threads.emplace_back([&built, t] {
            for (std::size_t i = t; i < built.size(); i += thread_count) {
                built[i].push(vc::integral_conversion_error::overflow, "12345678901234567890");
                built[i].push(vc::integral_conversion_error::invalid_value, "x");
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    threads.clear();
    std::atomic<int> wrong{0};
    for (std::size_t t = 0; t < thread_count; ++t) {
        threads.emplace_back([&built, &wrong, t] {
            for (std::size_t i = (t + 1) % thread_count; i < built.size(); i += thread_count) {
                stack mine = std::move(built[i]);
                wrong.fetch_add(mine.size() != 2 || mine.get_value() != 2);
                mine.reset();
                mine.push(vc::integral_conversion_error::overflow, "reused");
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}
