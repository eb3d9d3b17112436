// SPDX-License-Identifier: MIT
// The static pool that backs result::stack items when the heap is exhausted.
#ifndef VORN_CORE_SRC_RESULT_ITEM_POOL_HPP
#define VORN_CORE_SRC_RESULT_ITEM_POOL_HPP

#include <cstddef>

namespace vorn::core::v2::detail {

inline constexpr std::size_t item_pool_slots = 64;

// Claims the lowest free slot and returns its (uninitialised) storage. Lock-free; ends the
// process with a message when all slots are taken.
void* claim_pool_item() noexcept;

// True when `p` is the storage of one of the pool's slots.
bool pool_owns(const void* p) noexcept;

// Gives back the slot whose storage is `p`. Giving back a free slot does nothing.
void release_pool_item(const void* p) noexcept;

// Marks every slot free. Called once at load, before anything can claim a slot.
void clear_item_pool() noexcept;

// Registers the exit handler that releases the arguments of items still in the pool.
void register_item_pool_exit_handler() noexcept;

}  // namespace vorn::core::v2::detail

#endif
