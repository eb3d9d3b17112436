// SPDX-License-Identifier: MIT
// Error values, expected access and nullopt.
#include <gtest/gtest.h>

#include <exception>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "vorn/core/error.hpp"

namespace vc = vorn::core::v2;

namespace {

struct counted_error {
    static int copies;
    static int destroyed;
    std::string text;
    explicit counted_error(std::string t) : text(std::move(t)) {}
    counted_error(const counted_error& other) : text(other.text) { ++copies; }
    ~counted_error() { ++destroyed; }
    const std::string& get_message() const { return text; }
};
int counted_error::copies = 0;
int counted_error::destroyed = 0;

struct flaky_error {
    static bool fail_copies;
    flaky_error() = default;
    flaky_error(const flaky_error&) {
        if (fail_copies) {
            throw std::runtime_error("copy failed");
        }
    }
    const char* get_message() const { return "flaky"; }
};
bool flaky_error::fail_copies = false;

}  // namespace

TEST(Error, EmptyErrorHasNoMessage) {
    vc::error empty;
    EXPECT_EQ(empty.get_message(), "");
    vc::error copy(empty);
    EXPECT_EQ(copy.get_message(), "");
    copy = empty;
    EXPECT_EQ(copy.get_message(), "");
}

TEST(Error, CopyMoveAndDestroyCallTheTableAsDocumented) {
    counted_error::copies = counted_error::destroyed = 0;
    {
        vc::error e = counted_error("disk full");
        const int copies_after_construction = counted_error::copies;
        const int destroyed_after_construction = counted_error::destroyed;
        EXPECT_EQ(e.get_message(), "disk full");

        vc::error copy(e);
        EXPECT_EQ(counted_error::copies, copies_after_construction + 1);
        EXPECT_EQ(copy.get_message(), "disk full");

        vc::error moved(std::move(copy));
        EXPECT_EQ(counted_error::copies, copies_after_construction + 1) << "moves copy nothing";
        EXPECT_EQ(counted_error::destroyed, destroyed_after_construction);
        EXPECT_EQ(copy.get_message(), "");
        EXPECT_EQ(moved.get_message(), "disk full");

        e = e;  // self-assignment: copy, swap, destroy the old value
        EXPECT_EQ(e.get_message(), "disk full");
        EXPECT_EQ(counted_error::copies, copies_after_construction + 2);
        EXPECT_EQ(counted_error::destroyed, destroyed_after_construction + 1);

        moved = vc::error();
        EXPECT_EQ(counted_error::destroyed, destroyed_after_construction + 2);
    }
    EXPECT_EQ(counted_error::copies + 1, counted_error::destroyed) << "everything made is gone";
}

TEST(Error, FailedCopyPropagatesAndAssignmentKeepsTheOldValue) {
    flaky_error::fail_copies = false;
    const vc::error source = flaky_error();
    vc::error target = counted_error("kept");

    flaky_error::fail_copies = true;
    EXPECT_THROW(vc::error copy(source), std::runtime_error);
    EXPECT_THROW(target = source, std::runtime_error);
    flaky_error::fail_copies = false;
    EXPECT_EQ(target.get_message(), "kept");
    EXPECT_EQ(source.get_message(), "flaky");
}

TEST(Error, ExpectedAccessAndNullopt) {
    try {
        throw vc::bad_expected_access<void>();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Bad expected access");
    }
    try {
        throw vc::bad_expected_access<int>(42);
    } catch (const vc::bad_expected_access<void>& e) {
        EXPECT_STREQ(e.what(), "Bad expected access");
        EXPECT_EQ(dynamic_cast<const vc::bad_expected_access<int>&>(e).error(), 42);
    }
    EXPECT_EQ(sizeof(vc::nullopt), 1U);
    static_assert(std::is_empty_v<vc::nullopt_t>);
}
