// SPDX-License-Identifier: MIT
// What the library sets up when it is loaded, before any client call.
#include "result/item_pool.hpp"
#include "result/success.hpp"

namespace vorn::core::v2::detail {
namespace {

struct library_startup {
    library_startup() noexcept {
        clear_item_pool();
        register_item_pool_exit_handler();
        // Guarded one-time initialisation; its first call registers the destructor.
        success_category::instance();
        build_success_item();
    }
};

// Exit handlers run in reverse order of registration: the success item's arguments are
// released first, then the success category is destroyed, then the pool's arguments go.
const library_startup startup;

}  // namespace
}  // namespace vorn::core::v2::detail
