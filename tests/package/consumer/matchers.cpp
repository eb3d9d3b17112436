// SPDX-License-Identifier: MIT
// The installed gmock matchers, used as a client's test would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vorn/core/result.hpp>
#include <vorn/core/testing/result_matchers.hpp>

namespace vc = vorn::core::v2;
using namespace vc::testing;

TEST(InstalledMatchers, MatchAStack) {
    vc::result::stack status;
    EXPECT_THAT(status, is_success());
    status.push(vc::integral_conversion_error::overflow, "99999999999999999999");
    EXPECT_THAT(status, has_status(vc::integral_conversion_error::overflow));
    EXPECT_THAT(status, has_argument("string_value", testing::StartsWith("999")));
}
