// SPDX-License-Identifier: MIT
// Uses the installed library through its umbrella header; exits 0 when it behaves.
#include <cstdio>
#include <cstring>

#include <vorn/core.hpp>

namespace vc = vorn::core::v2;

// A category of the consumer's own, and a failure handed up through the macro.
struct consumer_error : vc::result::described_category<consumer_error> {
    static constexpr const char* name = "consumer";
    static constexpr code<1> bad_line{"The line is malformed", "line"};
    static constexpr auto codes = list(bad_line);
};

static vc::result::stack read_line(const char* text) {
    vc::result::stack status;
    status.push(vc::integral_conversion_error::invalid_value, text);
    return status;
}

static vc::result::stack read_file() {
    VORN_RETURN_IF_FAILED_PUSH(read_line("abc"), consumer_error::bad_line, 3);
    return {};
}

int main() {
    if (vc::get_version_number() != 32896 || std::strcmp(vc::get_version_string(), "2.1.0") != 0) {
        std::fprintf(stderr, "unexpected version %s\n", vc::get_version_string());
        return 1;
    }
    vc::result::stack status;
    status.push(vc::integral_conversion_error::invalid_value, "abc");
    if (!status.has_failed() ||
        std::strcmp(status.begin()->get_argument_value("string_value"), "abc") != 0) {
        std::fprintf(stderr, "status reporting misbehaves\n");
        return 1;
    }
    if (vc::result::to_string(read_file()).rfind("consumer 1: The line is malformed; line=3", 0) !=
        0) {
        std::fprintf(stderr, "a client category misbehaves\n");
        return 1;
    }
    std::printf("consumer: libvorn-core %s, %s\n", vc::get_version_string(), status.get_message());
    return 0;
}
