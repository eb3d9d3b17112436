// SPDX-License-Identifier: MIT
// Version number and string.
#include <gtest/gtest.h>

#include "vorn/core/version.hpp"

namespace vc = vorn::core::v2;

TEST(Version, NumberAndString) {
    EXPECT_EQ(vc::get_version_number(), 32896);
    EXPECT_EQ(vc::get_version_number(), 2 * 16384 + 1 * 128 + 0);
    EXPECT_STREQ(vc::get_version_string(), "2.1.0");
    EXPECT_EQ(vc::get_version_string(), vc::get_version_string()) << "static text";
}
