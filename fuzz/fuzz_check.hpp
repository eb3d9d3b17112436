// SPDX-License-Identifier: MIT
// The one assertion of the fuzz targets: a property that does not hold aborts the process,
// which libFuzzer reports together with the input that broke it.
#ifndef VORN_CORE_FUZZ_FUZZ_CHECK_HPP
#define VORN_CORE_FUZZ_FUZZ_CHECK_HPP

#include <cstdlib>

namespace vorn::fuzz {

inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace vorn::fuzz

#endif
