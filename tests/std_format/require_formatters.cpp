// SPDX-License-Identifier: MIT
// Compiled after vorn/core/format.hpp alone (-include): the formatters must be declared.
#if !defined(VORN_CORE_HAS_STD_FORMATTERS)
#error "vorn/core/format.hpp declared no formatters"
#endif
static_assert(sizeof(std::formatter<vorn::core::v2::datetime, char>) > 0, "a datetime formats");
