// SPDX-License-Identifier: MIT
// The converters from many threads at once: the failure values and the error_datetime instance
// are built on first use by whichever thread comes first, and every call answers as it would
// alone.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "vorn/core/converters.hpp"

namespace vc = vorn::core::v2;

TEST(ConvertersConcurrency, FirstUseFromManyThreadsGivesTheSameAnswers) {
    constexpr int thread_count = 8;
    constexpr int rounds = 500;
    const std::string good = "2024-03-10T12:34:56.789-03:00";
    const std::string bad = "2024-03-10T12:34:56.789-03-00";
    const vc::datetime expected(vc::date(10, 3, 2024), vc::time(12, 34, 56, 789), -10800);

    std::atomic<bool> go{false};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            for (int round = 0; round < rounds; ++round) {
                vc::datetime dt;
                vc::date d;
                vc::time tm(1, 0, 0, 0);
                const bool ok =
                    vc::value_converter<vc::datetime>().make_value(dt, bad.data(), bad.size()) ==
                        vc::converter_status::invalid_format &&
                    dt.to_msecs_since_epoch() == -62169984000000 &&
                    vc::value_converter<vc::date>().make_value(d, bad.data(), 9) ==
                        vc::converter_status::invalid_format &&
                    d == vc::date(0, 0, 0) &&
                    vc::value_converter<vc::time>().make_value(tm, bad.data(), 9) ==
                        vc::converter_status::invalid_format &&
                    tm.to_milliseconds() == 0 &&
                    vc::value_converter<vc::datetime>().make_value(dt, good.data(), good.size()) ==
                        vc::converter_status::success &&
                    dt.to_msecs_since_epoch() == expected.to_msecs_since_epoch();
                char text[32];
                std::size_t length = sizeof text;
                const bool written = vc::chars_converter<vc::datetime>().make_chars(
                                         text, length, dt) == vc::converter_status::success &&
                                     std::string(text, length) == "2024-03-10T12:34:56-03:00";
                const bool category = std::strcmp(vc::error_datetime::instance().get_name(),
                                                  "vorn-core-error-date") == 0;
                const bool clock =
                    vc::datetime::now().get_offset() == vc::datetime::now().get_offset();
                if (!(ok && written && category && clock)) {
                    mismatches.fetch_add(1);
                }
            }
        });
    }
    go.store(true);
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}
