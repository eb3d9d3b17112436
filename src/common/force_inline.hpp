// SPDX-License-Identifier: MIT
// Marks the small helpers of the short-input paths that are inlined into every caller, even
// where the optimiser's size heuristics would keep a call.
#ifndef VORN_CORE_SRC_COMMON_FORCE_INLINE_HPP
#define VORN_CORE_SRC_COMMON_FORCE_INLINE_HPP

// The coverage build keeps them as ordinary inline functions: a forced copy at every call site
// would count each of their branches once per caller instead of once.
#if defined(VORN_CORE_COVERAGE_BUILD)
#define VORN_CORE_FORCE_INLINE inline
#else
#define VORN_CORE_FORCE_INLINE [[gnu::always_inline]] inline
#endif

#endif
