// SPDX-License-Identifier: MIT
// Running code that ends the process, and checking how it ended.
#ifndef VORN_CORE_TESTS_SUPPORT_CHILD_PROCESS_HPP
#define VORN_CORE_TESTS_SUPPORT_CHILD_PROCESS_HPP

#include <functional>
#include <string>

namespace vorn::test {

struct child_outcome {
    bool exited = false;         // the child called exit or returned normally
    int exit_status = -1;        // its exit status, when it exited
    int signal = 0;              // the signal that killed it, otherwise
    std::string standard_error;  // every byte it wrote to standard error
};

// Runs `body` in a forked child and waits for it. If `body` returns, the child exits with
// status 0. Leak checking is switched off in the child, which usually ends mid-operation.
child_outcome run_in_child(const std::function<void()>& body);

}  // namespace vorn::test

#endif
