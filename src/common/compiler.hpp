// SPDX-License-Identifier: MIT
// The compiler-specific attributes and builtins the library uses, behind one set of names, so
// that the rest of the sources are plain C++ apart from these spellings and the SIMD intrinsics.
#ifndef VORN_CORE_SRC_COMMON_COMPILER_HPP
#define VORN_CORE_SRC_COMMON_COMPILER_HPP

#include <cstdint>

// Marks the small helpers of the short-input paths that are inlined into every caller, even
// where the optimiser's size heuristics would keep a call. The coverage build keeps them as
// ordinary inline functions: a forced copy at every call site would count each of their branches
// once per caller instead of once.
#if defined(VORN_CORE_COVERAGE_BUILD)
#define VORN_CORE_FORCE_INLINE inline
#else
#define VORN_CORE_FORCE_INLINE [[gnu::always_inline]] inline
#endif

// Keeps a function out of line: the slow or rare branch of a fast path, so that the fast path
// stays small enough to inline.
#define VORN_CORE_NOINLINE [[gnu::noinline]]

// A rare path (a throw, a report): placed apart from the hot code and never inlined.
#define VORN_CORE_COLD [[gnu::cold, gnu::noinline]]

// Compiles one function for an instruction set beyond the build's baseline; `features` is the
// compiler's comma-separated list, e.g. "avx2,bmi".
#define VORN_CORE_TARGET(features) __attribute__((target(features)))

// The thread-local model for the per-thread state read on every result: the library is linked
// into programs, not loaded late, so the static TLS block holds it.
#define VORN_CORE_INITIAL_EXEC_TLS [[gnu::tls_model("initial-exec")]]

namespace vorn::core::v2::detail {

// 128-bit integers, for exact products and sums of 64-bit operands.
__extension__ using int128 = __int128;
__extension__ using uint128 = unsigned __int128;

// Index of the lowest set bit; `bits` must not be 0.
inline int count_trailing_zeros(std::uint32_t bits) noexcept {
    return __builtin_ctz(bits);
}
inline int count_trailing_zeros(std::uint64_t bits) noexcept {
    return __builtin_ctzll(bits);
}

// Number of zero bits above the highest set bit; `bits` must not be 0.
inline int count_leading_zeros(std::uint64_t bits) noexcept {
    return __builtin_clzll(bits);
}

// a + b and a - b into `out`; true when the exact result does not fit.
template <class Int>
inline bool add_overflows(Int a, Int b, Int* out) noexcept {
    return __builtin_add_overflow(a, b, out);
}
template <class Int>
inline bool sub_overflows(Int a, Int b, Int* out) noexcept {
    return __builtin_sub_overflow(a, b, out);
}

// What the processor offers, for the kernels' one-time selection.
inline void init_cpu_features() noexcept {
    __builtin_cpu_init();
}
inline bool cpu_supports_avx2() noexcept {
    return __builtin_cpu_supports("avx2");
}
// AVX-512 F, BW, VL and VBMI: what the codec kernels use. (The feature checks take one way
// only on a given processor; coverage measures them on one that has every feature.)
inline bool cpu_supports_avx512_vbmi() noexcept {
    return __builtin_cpu_supports("avx512f") &&   // GCOVR_EXCL_BR_LINE: the processor's features
           __builtin_cpu_supports("avx512bw") &&  // GCOVR_EXCL_BR_LINE: the processor's features
           __builtin_cpu_supports("avx512vl") &&  // GCOVR_EXCL_BR_LINE: the processor's features
           __builtin_cpu_supports("avx512vbmi");  // GCOVR_EXCL_BR_LINE: the processor's features
}
// The above plus VBMI2 and BMI2: what the whitespace squeezer uses.
inline bool cpu_supports_avx512_vbmi2() noexcept {
    return cpu_supports_avx512_vbmi() &&             // GCOVR_EXCL_BR_LINE: the processor's features
           __builtin_cpu_supports("avx512vbmi2") &&  // GCOVR_EXCL_BR_LINE: the processor's features
           __builtin_cpu_supports("bmi2");           // GCOVR_EXCL_BR_LINE: the processor's features
}

}  // namespace vorn::core::v2::detail

#endif
