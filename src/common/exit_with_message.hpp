// SPDX-License-Identifier: MIT
// Ending the process with a message, for conditions that cannot be reported to a caller.
#ifndef VORN_CORE_SRC_COMMON_EXIT_WITH_MESSAGE_HPP
#define VORN_CORE_SRC_COMMON_EXIT_WITH_MESSAGE_HPP

namespace vorn::core::v2::detail {

// Writes `message` to standard error exactly as given (no line break is added) and calls
// exit(status), so that exit handlers and static destructors still run.
[[noreturn]] void exit_with_message(const char* message, int status) noexcept;

}  // namespace vorn::core::v2::detail

#endif
