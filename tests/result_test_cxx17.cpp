// SPDX-License-Identifier: MIT
// Part of the status suite built as C++17: there the place of a push comes from compiler
// builtins, not from std::source_location.
#include "vorn/core/result.hpp"

#if __cplusplus > 201703L || defined(__cpp_lib_source_location)
#error "this file must be built as C++17"
#endif

namespace vc = vorn::core::v2;

// A failure reported through the macro, then the caller's own item pushed with its place.
vc::result::stack cxx17_push_through_macro(unsigned& line) {
    const auto failing = [] {
        vc::result::stack s;
        s.push(vc::integral_conversion_error::invalid_value, "x");
        return s;
    };
    line = __LINE__ + 1;
    VORN_RETURN_IF_FAILED_PUSH(failing(), vc::integral_conversion_error::overflow, "17");
    return {};
}
