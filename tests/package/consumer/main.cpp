// Uses the installed library through its umbrella header; exits 0 when it behaves.
#include <cstdio>
#include <cstring>

#include <vorn/core.hpp>

int main() {
    namespace vc = vorn::core::v2;
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
    std::printf("consumer: libvorn-core %s, %s\n", vc::get_version_string(), status.get_message());
    return 0;
}
