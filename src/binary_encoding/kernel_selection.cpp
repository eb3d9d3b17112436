// SPDX-License-Identifier: MIT
// Choosing the kernels from the processor's features, once per process.
#include "binary_encoding/kernels.hpp"
#include "common/compiler.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vorn::core::v2::detail {
namespace {

// The level VORN_CORE_KERNEL_LEVEL names ("scalar", "avx2" or "avx512"), which caps the
// processor's, so that the portable and narrower kernels can be tested and measured on a
// processor that has wider ones; the widest level for any other value or none.
kernel_level requested_level() noexcept {
    const char* const name = std::getenv("VORN_CORE_KERNEL_LEVEL");
    if (name != nullptr && std::strcmp(name, "scalar") == 0) {
        return kernel_level::scalar;
    }
    if (name != nullptr && std::strcmp(name, "avx2") == 0) {
        return kernel_level::avx2;
    }
    return kernel_level::avx512;
}

kernel_level detect_hardware_level() noexcept {
#if defined(__x86_64__)
    // The checks include the operating system's support for the wider register state.
    init_cpu_features();
    if (cpu_supports_avx512_vbmi()) {  // GCOVR_EXCL_BR_LINE: the processor's features
        return kernel_level::avx512;
    }
    if (cpu_supports_avx2()) {  // GCOVR_EXCL_BR_LINE: the processor's features
        return kernel_level::avx2;
    }
#endif
    return kernel_level::scalar;
}

}  // namespace

kernel_level hardware_kernel_level() noexcept {
    static const kernel_level hardware = detect_hardware_level();
    return hardware;
}

kernel_level best_kernel_level() noexcept {
    static const kernel_level best = std::min(requested_level(), hardware_kernel_level());
    return best;
}

const base64_kernels& base64_kernels_for(kernel_level level) noexcept {
    switch (level) {
#if defined(__x86_64__)
        case kernel_level::avx512:
            return base64_avx512_kernels;
        case kernel_level::avx2:
            return base64_avx2_kernels;
#endif
        default:
            return base64_scalar_kernels;
    }
}

const base64_kernels& base64url_kernels_for(kernel_level level) noexcept {
    switch (level) {
#if defined(__x86_64__)
        case kernel_level::avx512:
            return base64url_avx512_kernels;
        case kernel_level::avx2:
            return base64url_avx2_kernels;
#endif
        default:
            return base64url_scalar_kernels;
    }
}

const hex_kernels& hex_kernels_for(kernel_level level) noexcept {
    switch (level) {
#if defined(__x86_64__)
        case kernel_level::avx512:
            return hex_avx512_kernels;
        case kernel_level::avx2:
            return hex_avx2_kernels;
#endif
        default:
            return hex_scalar_kernels;
    }
}

}  // namespace vorn::core::v2::detail
