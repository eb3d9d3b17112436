// SPDX-License-Identifier: MIT
/// \file
/// vorn/core/version.hpp: the version of the loaded library.
///
///   std::printf("libvorn-core %s\n", vorn::core::v2::get_version_string());  // "2.1.0"
#ifndef VORN_CORE_VERSION_HPP
#define VORN_CORE_VERSION_HPP

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {

/// The version as major × 2^14 + minor × 2^7 + patch: 32896 for 2.1.0.
VORN_CORE_API int get_version_number() noexcept;

/// The version as text, "2.1.0"; static lifetime.
VORN_CORE_API const char* get_version_string() noexcept;

}  // namespace vorn::core::v2

#endif  // VORN_CORE_VERSION_HPP
