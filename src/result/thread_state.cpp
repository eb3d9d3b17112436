// SPDX-License-Identifier: MIT
// Per-thread spare blocks and detached list of the status family (see thread_state.hpp).
#include "result/thread_state.hpp"

#include <pthread.h>
#include <cstdlib>
#include <new>

#include "result/result_access.hpp"

namespace vorn::core::v2::detail {

thread_local spare_blocks spares VORN_CORE_INITIAL_EXEC_TLS{};

namespace {

using result::argument_list;
using result::detail::result_access;

// The list an empty stack hands out for writing; trivially destructible like the spares.
struct detached_slot {
    alignas(argument_list) unsigned char storage[sizeof(argument_list)];
    bool constructed;
};
thread_local detached_slot detached{};

pthread_key_t state_key;
pthread_once_t state_key_once = PTHREAD_ONCE_INIT;
bool state_key_made = false;

void release_detached_list() noexcept {
    if (detached.constructed) {
        std::launder(reinterpret_cast<argument_list*>(detached.storage))->~argument_list();
        detached.constructed = false;
    }
}

// The key destructor: frees what the thread holds. A stack released later in the thread's
// exit (in another key's destructor) sets the key again, and this runs once more.
void release_thread_state(void*) noexcept {
    spare_blocks& s = spares;
    s.keyed = false;
    release_detached_list();
    while (s.item_count != 0) {
        std::free(s.items[--s.item_count]);
    }
    while (s.record_count != 0) {
        std::free(s.records[--s.record_count]);
    }
}

void make_state_key() noexcept {
    state_key_made = pthread_key_create(&state_key, release_thread_state) == 0;
}

}  // namespace

// Setting one of the first keys of a thread needs no allocation; a later key may need one,
// and may fail: it is tried again on the next call.
bool key_spares() noexcept {
    spare_blocks& s = spares;
    if (!s.keyed) {
        pthread_once(&state_key_once, make_state_key);
        s.keyed = state_key_made && pthread_setspecific(state_key, &s) == 0;
    }
    return s.keyed;
}

argument_list& fresh_detached_list() noexcept {
    release_detached_list();
    const bool released_at_exit = key_spares();
    argument_list* list = ::new (static_cast<void*>(detached.storage)) argument_list();
    detached.constructed = true;
    if (!released_at_exit) {
        // Nothing would free records at thread exit: the list reads empty and stores nothing.
        result_access::make_closed_empty(*list);
    }
    return *list;
}

}  // namespace vorn::core::v2::detail
