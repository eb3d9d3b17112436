// SPDX-License-Identifier: MIT
// What every fuzz target shares: the one assertion (a property that does not hold aborts the
// process, which libFuzzer reports together with the input that broke it), and running the
// checks a second time on a copy of the input that ends flush against a page without access.
#ifndef VORN_CORE_FUZZ_FUZZ_CHECK_HPP
#define VORN_CORE_FUZZ_FUZZ_CHECK_HPP

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/guard_page.hpp"

namespace vorn::fuzz {

inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A copy of the input whose last byte is the last readable one: a read past it faults even
// where the sanitizer does not look (masked vector loads, the NUL after a std::string's
// text). One mapping, grown to the longest input seen, serves every execution, so that an
// execution costs a copy and no system call.
inline const std::uint8_t* guarded_copy(const std::uint8_t* data, std::size_t size) {
    static std::unique_ptr<test::guarded_buffer> area;
    if (!area || area->size() < size) {
        const std::size_t grown = area ? 2 * area->size() : std::size_t{1} << 16;
        area = std::make_unique<test::guarded_buffer>(grown < size ? size : grown,
                                                      test::guarded_buffer::flush::end);
    }
    std::uint8_t* const at = area->data() + area->size() - size;
    if (size != 0) {
        std::memcpy(at, data, size);
    }
    return at;
}

// Runs the checks of one input on libFuzzer's copy of it (where the sanitizer sees reads on
// either side) and then on the guarded copy. A target's LLVMFuzzerTestOneInput returns this.
template <class Checks>
int run_guarded(const std::uint8_t* data, std::size_t size, Checks checks) {
    checks(data, size);
    checks(guarded_copy(data, size), size);
    return 0;
}

}  // namespace vorn::fuzz

#endif
