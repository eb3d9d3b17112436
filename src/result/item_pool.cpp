// SPDX-License-Identifier: MIT
// The static pool of status items used when the heap fails: lock-free slots claimed by bit.
#include "result/item_pool.hpp"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "common/compiler.hpp"
#include "common/exit_with_message.hpp"
#include "result/result_access.hpp"

namespace vorn::core::v2::detail {

namespace {

using result::detail::result_access;
using item = result::stack::item;

constexpr std::size_t bitmap_bytes = item_pool_slots / 8;

static_assert(std::atomic<std::uint8_t>::is_always_lock_free,
              "slots are claimed with single-byte compare-and-swap");

// Bit (i mod 8) of byte (i div 8) is set while slot i is in use.
std::atomic<std::uint8_t> occupancy_bitmap[bitmap_bytes];

// The slots: one contiguous static block, slot i being the i-th item-sized cell.
alignas(item) unsigned char static_storage[item_pool_slots * sizeof(item)];

void* get_pointer_from_index(std::size_t index) noexcept {
    // Every index comes from a scan of the 64-bit occupancy bitmap, so it is below
    // item_pool_slots; the check guards the storage against a fault in that scan.
    if (index >= item_pool_slots) {  // GCOVR_EXCL_BR_LINE: unreachable, see above
        // GCOVR_EXCL_START: unreachable, see above
        exit_with_message("static_storage::get_pointer_from_index: Index out of range", 1);
        // GCOVR_EXCL_STOP
    }
    return static_storage + index * sizeof(item);
}

int lowest_clear_bit(std::uint8_t byte) noexcept {
    return count_trailing_zeros(~static_cast<std::uint32_t>(byte));
}

void release_pool_arguments() {
    for (std::size_t byte = 0; byte < bitmap_bytes; ++byte) {
        const std::uint8_t bits = occupancy_bitmap[byte].load(std::memory_order_acquire);
        for (int bit = 0; bit < 8; ++bit) {
            if ((bits & (1U << bit)) != 0) {
                auto* it = static_cast<item*>(get_pointer_from_index(byte * 8 + bit));
                // Leaves an empty list behind, so that a stack released later frees nothing.
                result_access::arguments(*it) = result::argument_list();
            }
        }
    }
}

}  // namespace

void* claim_pool_item() noexcept {
restart:
    for (std::size_t byte = 0; byte < bitmap_bytes; ++byte) {
        std::uint8_t seen = occupancy_bitmap[byte].load(std::memory_order_relaxed);
        if (seen == 0xFF) {
            continue;
        }
        const int bit = lowest_clear_bit(seen);
        const auto mask = static_cast<std::uint8_t>(1U << bit);
        // A failed exchange refreshes `seen`; retry while our bit is still free, otherwise
        // another thread took it and the scan starts over.
        while (!occupancy_bitmap[byte].compare_exchange_weak(
            seen, static_cast<std::uint8_t>(seen | mask), std::memory_order_acquire,
            std::memory_order_relaxed)) {
            if ((seen & mask) != 0) {
                goto restart;
            }
        }
        return get_pointer_from_index(byte * 8 + static_cast<std::size_t>(bit));
    }
    // Frozen text, as programs and their logs see it.
    exit_with_message(
        "Não foi possível obter um espaço estático para a construção de um item "
        "(result::stack)",
        1);
}

bool pool_owns(const void* p) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    const auto start = reinterpret_cast<std::uintptr_t>(static_storage);
    return address >= start && address < start + sizeof(static_storage);
}

void release_pool_item(const void* p) noexcept {
    const std::size_t index =
        (reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(static_storage)) /
        sizeof(item);
    auto& byte = occupancy_bitmap[index / 8];
    const auto mask = static_cast<std::uint8_t>(1U << (index % 8));
    std::uint8_t seen = byte.load(std::memory_order_relaxed);
    while ((seen & mask) != 0 &&
           !byte.compare_exchange_weak(seen, static_cast<std::uint8_t>(seen & ~mask),
                                       std::memory_order_release, std::memory_order_relaxed)) {
    }
}

void clear_item_pool() noexcept {
    for (auto& byte : occupancy_bitmap) {
        byte.store(0, std::memory_order_relaxed);
    }
}

void register_item_pool_exit_handler() noexcept {
    std::atexit(release_pool_arguments);
}

}  // namespace vorn::core::v2::detail
