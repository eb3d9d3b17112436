// SPDX-License-Identifier: MIT
// Arrays on different threads share only the constant empty header; one array may be read by
// many threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "vorn/core/byte_array.hpp"

using vorn::core::v2::byte_array;

namespace {

constexpr int thread_count = 8;
constexpr int rounds = 2000;

}  // namespace

TEST(ByteArrayConcurrency, EmptyArraysAndSharedReadersDoNotInterfere) {
    const byte_array shared{1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < rounds; ++round) {
                // Everything that meets the shared empty header without needing a block.
                byte_array empty;
                byte_array copy_of_empty(empty);
                empty.clear();
                empty.reserve(0);
                empty.resize(0);
                empty.append("");
                empty.assign(copy_of_empty);
                empty.erase(empty.begin(), empty.end());
                copy_of_empty = std::move(empty);

                // Const use of one array from every thread, and a private array of each.
                byte_array own(shared);
                own.push_back(static_cast<unsigned char>(t));
                if (shared.size() != 9 || shared.at(8) != 9 || own.size() != 10 ||
                    own.back() != t || !empty.empty() || copy_of_empty.capacity() != 0) {
                    mismatches.fetch_add(1);
                }
            }
        });
    }
    for (std::thread& th : threads) {
        th.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}
