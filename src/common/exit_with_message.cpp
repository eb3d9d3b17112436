// SPDX-License-Identifier: MIT
// Ending the process with a message on standard error, for inconsistencies that must not go on.
#include "common/exit_with_message.hpp"

#include <cstdio>
#include <cstdlib>

namespace vorn::core::v2::detail {

void exit_with_message(const char* message, int status) noexcept {
    std::fprintf(stderr, "%s", message);
    std::exit(status);
}

}  // namespace vorn::core::v2::detail
