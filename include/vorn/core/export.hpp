// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/export.hpp: the one macro that marks the library's exported interface.
///
/// The library is built with hidden visibility; only declarations marked VORN_CORE_API are
/// part of its ABI. Client code never needs to use the macro itself.
#ifndef VORN_CORE_EXPORT_HPP
#define VORN_CORE_EXPORT_HPP

#if defined(__GNUC__) || defined(__clang__)
#define VORN_CORE_API __attribute__((visibility("default")))
#else
#define VORN_CORE_API
#endif

#endif  // VORN_CORE_EXPORT_HPP
