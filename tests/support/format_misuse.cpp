// SPDX-License-Identifier: MIT
// Format strings that must not compile, checked at compile time by {fmt} (FORMAT_API 1) or by
// std::format (FORMAT_API 2); MISUSE 0 is the valid string they all start from. Compiled
// (syntax only) by CTest entries that expect the compiler to refuse each misuse.
#include <string>

#include "vorn/core.hpp"

#if FORMAT_API == 1
#include "vorn/core/fmt.hpp"
#define FORMAT fmt::format
#else
#include "vorn/core/format.hpp"
#define FORMAT std::format
#endif

namespace vc = vorn::core::v2;

std::string formatted() {
#if MISUSE == 1
    return FORMAT("{:q}", vc::date());  // no such option
#elif MISUSE == 2
    return FORMAT("{:.2}", vc::datetime());  // a precision for a datetime
#elif MISUSE == 3
    return FORMAT("{:05}", vc::decimal());  // zero padding
#else
    return FORMAT("{:>12} {:r} {:_^10.2,}", vc::date(), vc::datetime(), vc::decimal());
#endif
}
