// SPDX-License-Identifier: MIT
// Running a test body in a child process and reporting how it ended (exit status, signal,
// standard error).
#include "child_process.hpp"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {
// Read by LeakSanitizer, when present, before it checks for leaks at exit.
volatile int leak_check_off = 0;
}  // namespace

// Present only in a --coverage build: writes the child's coverage counts, which _exit would
// otherwise drop.
extern "C" void __gcov_dump() __attribute__((weak));

extern "C" int __lsan_is_turned_off() {
    return leak_check_off;
}

namespace vorn::test {

child_outcome run_in_child(const std::function<void()>& body) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::fflush(nullptr);  // nothing buffered may be written twice
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        leak_check_off = 1;
        close(fds[0]);
        dup2(fds[1], STDERR_FILENO);
        close(fds[1]);
        body();
        std::fflush(nullptr);
        if (__gcov_dump != nullptr) {
            __gcov_dump();
        }
        _exit(0);
    }

    close(fds[1]);
    child_outcome outcome;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            outcome.standard_error.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        outcome.exited = true;
        outcome.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
    }
    return outcome;
}

}  // namespace vorn::test
