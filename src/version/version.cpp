// SPDX-License-Identifier: MIT
// The library's version as a number and as text.
#include "vorn/core/version.hpp"

namespace vorn::core::v2 {

// major × 2^14 + minor × 2^7 + patch
static_assert(VORN_CORE_VERSION_MINOR < 128 && VORN_CORE_VERSION_PATCH < 128);

int get_version_number() noexcept {
    return (VORN_CORE_VERSION_MAJOR << 14) | (VORN_CORE_VERSION_MINOR << 7) |
           VORN_CORE_VERSION_PATCH;
}

const char* get_version_string() noexcept {
    return VORN_CORE_VERSION_STRING;
}

}  // namespace vorn::core::v2
