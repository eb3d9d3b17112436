// SPDX-License-Identifier: MIT
// The per-thread state of the status family: spare heap blocks that a thread keeps from the
// items and argument records it released, for its next pushes, and the argument list that an
// empty stack hands out for writing.
//
// Reporting a failure pushes an item and attaches its arguments, and the stack that carries it
// is soon destroyed: keeping a few released blocks per thread spares the heap a round trip on
// every report (bench/result_bench.cpp, BM_error_path_push_two_arguments). The blocks are
// ordinary heap blocks: a thread that has none at hand allocates, and pool items are never
// kept. What a thread keeps is freed when it ends. Nothing here is shared or locked.
#ifndef VORN_CORE_SRC_RESULT_THREAD_STATE_HPP
#define VORN_CORE_SRC_RESULT_THREAD_STATE_HPP

#include <cstddef>

#include "common/compiler.hpp"
#include "vorn/core/result.hpp"

namespace vorn::core::v2::detail {

// Records in a spare record block: a block of this many records is kept when its list is
// released with its item, and serves any addition of that many records or fewer.
inline constexpr std::size_t spare_record_capacity = 2;

// The spare blocks of one thread, and whether its key destructor will free them.
struct spare_blocks {
    static constexpr unsigned char slots = 4;

    void* items[slots];    // released item blocks, sizeof(stack::item) bytes each
    void* records[slots];  // released record blocks, spare_record_capacity records each
    unsigned char item_count;
    unsigned char record_count;
    bool keyed;
};

// Trivially destructible, so that reaching it registers no thread-exit destructor (that
// registration allocates, and may fail). Initial-exec: found with one load from the thread
// pointer rather than a call, on every push and release; the block is small enough for the
// static TLS that the C library keeps for libraries.
extern thread_local spare_blocks spares VORN_CORE_INITIAL_EXEC_TLS;

// Arranges for the key destructor to free this thread's spare blocks when it ends; false when
// that cannot be arranged now (then nothing may be kept).
bool key_spares() noexcept;

// Takes the newest block of one kind of spare, or null.
inline void* take_spare(void** slots, unsigned char& count) noexcept {
    return count == 0 ? nullptr : slots[--count];
}

// Keeps `block` among one kind of spare; false when it must be freed (no room, or nothing
// would free it when the thread ends).
inline bool keep_spare(void** slots, unsigned char& count, void* block) noexcept {
    if (count == spare_blocks::slots || !(spares.keyed || key_spares())) {
        return false;
    }
    slots[count++] = block;
    return true;
}

// A spare item block of this thread (sizeof(stack::item) bytes), or null; and keeping the
// released heap block of an item.
inline void* take_spare_item() noexcept {
    spare_blocks& s = spares;
    return take_spare(s.items, s.item_count);
}
inline bool keep_spare_item(void* block) noexcept {
    spare_blocks& s = spares;
    return keep_spare(s.items, s.item_count, block);
}

// A spare block of spare_record_capacity records of this thread, or null; and keeping the
// record block of a list released with its item.
inline void* take_spare_records() noexcept {
    spare_blocks& s = spares;
    return take_spare(s.records, s.record_count);
}
inline bool keep_spare_records(void* block) noexcept {
    spare_blocks& s = spares;
    return keep_spare(s.records, s.record_count, block);
}

// A fresh empty list of the calling thread, dropping what the previous call's caller wrote
// to it. Nothing written reaches a stack; what is stored is freed by the next call or when the
// thread ends, and when that cannot be arranged the list reads empty and stores nothing.
result::argument_list& fresh_detached_list() noexcept;

}  // namespace vorn::core::v2::detail

#endif
