// SPDX-License-Identifier: MIT
// The bridge to <system_error>: errno values as status codes, std::error_code values pushed
// onto a stack, and the newest item of a stack as a std::error_code.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string>

#include "result/result_access.hpp"
#include "vorn/core/result.hpp"

namespace vorn::core::v2 {

// ---------------------------------------------------------------------------------------------
// error_errno and error_std_code

error_errno& error_errno::instance() {
    // The guard branch taken when another thread finishes the construction first cannot be
    // arranged by a test.
    static error_errno the_category;  // GCOVR_EXCL_BR_LINE: see above
    return the_category;
}

error_errno::~error_errno() = default;

const char* error_errno::get_name() const {
    // Frozen text: programs compare and store category names.
    return "vorn-core-error-errno";
}

const char* error_errno::get_message(int code) const {
    // Frozen texts: programs compare and log these messages.
    // The C library's own table: fixed texts, the same in every locale and thread.
    const char* text = strerrordesc_np(code);
    return text != nullptr ? text : "Unknown error";
}

error_std_code& error_std_code::instance() {
    // The guard branch taken when another thread finishes the construction first cannot be
    // arranged by a test.
    static error_std_code the_category;  // GCOVR_EXCL_BR_LINE: see above
    return the_category;
}

error_std_code::~error_std_code() = default;

const char* error_std_code::get_name() const {
    // Frozen text: programs compare and store category names.
    return "vorn-core-error-std-code";
}

const char* error_std_code::get_message(int) const {
    return "An error reported through a std::error_code";
}

namespace result {

namespace {

// ---------------------------------------------------------------------------------------------
// One std::error_category per status category

class category_adapter final : public std::error_category {
  public:
    constexpr category_adapter() noexcept = default;
    explicit constexpr category_adapter(const category* status) noexcept : status_(status) {}

    const char* name() const noexcept override { return owner()->get_name(); }
    std::string message(int code) const override { return owner()->get_message(code); }
    std::error_condition default_error_condition(int code) const noexcept override {
        if (owner() == &error_errno::instance()) {
            return {code, std::generic_category()};
        }
        return {code, *this};
    }

    const category* owner() const noexcept { return status_.load(std::memory_order_acquire); }
    // Makes this adapter the one of `status` if it belongs to no category yet; true when it is
    // now the adapter of `status`, whoever made it so.
    bool claim(const category* status) noexcept {
        const category* seen = nullptr;
        return status_.compare_exchange_strong(seen, status, std::memory_order_acq_rel,
                                               std::memory_order_acquire) ||
               seen == status;
    }

  private:
    std::atomic<const category*> status_{nullptr};
};

// Adapters are handed out in order and never given back, so the first that is free ends a
// search: a category is found before it, or nowhere. They are never destroyed either, so that
// an error code made from one stays usable by static destructors that run at exit.
constexpr std::size_t static_adapters = 128;
union adapter_storage {
    constexpr adapter_storage() noexcept : adapters{} {}
    ~adapter_storage() {}  // NOLINT: leaves the adapters alive on purpose

    category_adapter adapters[static_adapters];
};
constinit adapter_storage storage;
category_adapter (&adapters)[static_adapters] = storage.adapters;

// Past the static ones, adapters live in a list that only grows, pushed at its head.
struct adapter_node {
    category_adapter adapter;
    adapter_node* next;
};
std::atomic<adapter_node*> more_adapters{nullptr};

const category_adapter* find_in_list(const adapter_node* from, const adapter_node* to,
                                     const category* status) noexcept {
    for (; from != to; from = from->next) {
        if (from->adapter.owner() == status) {
            return &from->adapter;
        }
    }
    return nullptr;
}

const category_adapter& adapter_of(const category& status) {
    for (category_adapter& a : adapters) {
        const category* owner = a.owner();
        if (owner == &status || (owner == nullptr && a.claim(&status))) {
            return a;
        }
    }
    adapter_node* head = more_adapters.load(std::memory_order_acquire);
    if (const category_adapter* found = find_in_list(head, nullptr, &status)) {
        return *found;
    }
    auto* node = new adapter_node{category_adapter(&status), head};
    // Another thread may add nodes meanwhile, the same category's among them: look at what it
    // added before trying again.
    while (!more_adapters.compare_exchange_weak(node->next, node, std::memory_order_acq_rel,
                                                std::memory_order_acquire)) {
        if (const category_adapter* found = find_in_list(node->next, head, &status)) {
            delete node;
            return *found;
        }
        head = node->next;
    }
    return node->adapter;
}

const category* status_category_of(const std::error_category& c) noexcept {
    for (const category_adapter& a : adapters) {
        if (&a == &c) {
            return a.owner();
        }
    }
    for (const adapter_node* n = more_adapters.load(std::memory_order_acquire); n != nullptr;
         n = n->next) {
        if (&n->adapter == &c) {
            return n->adapter.owner();
        }
    }
    return nullptr;
}

}  // namespace

std::error_code to_error_code(const stack& status) {
    if (!status.has_failed()) {
        return {};
    }
    return {status.get_value(), adapter_of(status.get_category())};
}

// ---------------------------------------------------------------------------------------------
// Pushing errno values and std::error_code values

stack::item& stack::push_errno(int value) noexcept {
    item& pushed = push_item(error_errno::instance(), value);
    if (const char* name = strerrorname_np(value)) {
        pushed.set_argument(std::string_view("errno-name"), std::string_view(name));
    }
    return pushed;
}

stack::item& stack::push(const std::error_code& code) noexcept {
    const std::error_category& c = code.category();
    if (const category* status = status_category_of(c)) {
        return push_item(*status, code.value());
    }
    if (c == std::generic_category() || c == std::system_category()) {
        return push_errno(code.value());
    }
    item& pushed = push_item(error_std_code::instance(), code.value());
    pushed.set_argument(std::string_view("error-category"), std::string_view(c.name()));
    try {
        pushed.set_argument(std::string_view("error-message"), code.message());
    } catch (...) {  // GCOVR_EXCL_LINE: a message that cannot be made is left out
    }
    return pushed;
}

stack::item& stack::push(const std::system_error& e) noexcept {
    item& pushed = push(e.code());
    pushed.set_argument(std::string_view("what"), std::string_view(e.what()));
    return pushed;
}

}  // namespace result
}  // namespace vorn::core::v2
