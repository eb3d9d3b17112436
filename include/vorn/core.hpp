// SPDX-License-Identifier: MIT
/// \file
/// vorn/core.hpp: every family of libvorn-core in one include.
#ifndef VORN_CORE_HPP
#define VORN_CORE_HPP

#include "vorn/core/binary_encoding.hpp"
#include "vorn/core/byte_array.hpp"
#include "vorn/core/converters.hpp"
#include "vorn/core/date.hpp"
#include "vorn/core/datetime.hpp"
#include "vorn/core/decimal.hpp"
#include "vorn/core/error.hpp"
#include "vorn/core/result.hpp"
#include "vorn/core/stopwatch.hpp"
#include "vorn/core/text_formatter.hpp"
#include "vorn/core/time.hpp"
#include "vorn/core/version.hpp"

#endif  // VORN_CORE_HPP
