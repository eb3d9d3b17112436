// SPDX-License-Identifier: MIT
// Status reporting on a process without a free thread-specific key: what an empty stack hands
// out for writing then stores nothing, since nothing would free it at thread exit. The keys
// must be used up before anything in the process asks for one, so this is a program of its own.
#include <gtest/gtest.h>

#include <pthread.h>

#include <vector>

#include "support/allocation_failure.hpp"
#include "vorn/core/result.hpp"

namespace vc = vorn::core::v2;
using vc::result::stack;

namespace {

TEST(ResultWithoutThreadKeys, EmptyStackListReadsEmptyAndStoresNothing) {
    std::vector<pthread_key_t> keys;
    pthread_key_t key{};
    while (pthread_key_create(&key, nullptr) == 0) {
        keys.push_back(key);
    }
    {
        stack empty;
        vc::result::argument_list& list = empty.get_argument_range();
        const vorn::test::allocation_counter counter;
        list.set_argument("name", "value");
        list.set_arguments({{"first", "1"}, {"second", "2"}});
        EXPECT_EQ(counter.count(), 0U);
        EXPECT_TRUE(list.begin() == list.end());

        // Exchanged into an item, the list is released with it and nothing is freed.
        stack pushed;
        pushed.push_item(vc::converter_result_category::instance(), 1);
        pushed.get_argument_range().swap(list);
        pushed.get_argument_range().set_argument("name", "value");
        EXPECT_TRUE(pushed.get_argument_range().begin() == pushed.get_argument_range().end());
    }
    for (const pthread_key_t k : keys) {
        pthread_key_delete(k);
    }
}

}  // namespace
