/// \file
/// vorn/core/result.hpp: status reporting that keeps working when memory runs out.
///
/// A fallible operation hands its caller a result::stack instead of throwing. The stack holds
/// status items, newest first; each item names a category (a process-wide singleton that turns
/// codes into messages), an int code and named text arguments. An empty stack means success.
/// Pushing an item never throws: when the heap is exhausted the item comes from a static pool
/// of 64 items, and an argument that cannot be stored is replaced by an "out-of-memory" marker.
///
///   namespace vc = vorn::core::v2;
///   vc::result::stack status;
///   status.push(vc::integral_conversion_error::overflow, "123456789012345678901");
///   if (status.has_failed()) {
///       std::printf("%s: %s\n", status.get_category().get_name(), status.get_message());
///       std::printf("%s\n", status.begin()->get_argument_value("string_value"));
///   }
///
/// Writing a category of one's own: derive from result::category, give it a static instance()
/// returning a function-local static object, a get_name(), a get_message(int) that ends in
/// show_invalid_value_message_and_exit(code) for unknown codes, and one
/// create(result::stack::item&, result::code<Category, N>, extra...) const per code that
/// attaches the code's details with item.set_argument(name, value).
#ifndef VORN_CORE_RESULT_HPP
#define VORN_CORE_RESULT_HPP

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>

#include "vorn/core/export.hpp"

namespace vorn::core::v2 {
namespace result {

namespace detail {
struct result_access;
}

/// The polymorphic base of every status category. Categories are singletons compared by
/// identity: two distinct category objects are never equal, whatever their names.
class VORN_CORE_API category {
  public:
    virtual ~category();

    /// The category's fixed name; static lifetime.
    virtual const char* get_name() const = 0;
    /// The fixed message of `code`; static lifetime. For a code the category does not define,
    /// implementations call show_invalid_value_message_and_exit(code), which ends the process.
    virtual const char* get_message(int code) const = 0;

    /// True exactly when `other` is this very object.
    bool operator==(const category& other) const noexcept;
    /// True exactly when `other` is another object.
    bool operator!=(const category& other) const noexcept;

    /// Writes "Invalid status code value: 0xXXXXXXXX (name)" and a newline to standard error,
    /// where XXXXXXXX is the code as 8 upper-case hex digits and name is get_name() cut to 28
    /// characters, then ends the process with exit status 1.
    [[noreturn]] void show_invalid_value_message_and_exit(int code) const;

    category(const category&) = delete;
    category& operator=(const category&) = delete;

  protected:
    constexpr category() noexcept = default;
};

/// A tag naming code N of Category, so that a category can offer one create() per code.
template <class Category, int N>
struct code {
    static constexpr int value = N;  ///< The code, N.
};

/// One stored argument: a name and a value, both NUL-terminated, held inline in a 256-byte
/// record. Together they keep at most 253 bytes: a name is cut to 253 bytes, a value to what
/// the name leaves. A record that could not be stored reads as the out-of-memory placeholder.
class VORN_CORE_API argument {
  public:
    /// The stored name, or "out-of-memory" for the placeholder.
    const char* get_name() const noexcept;
    /// The stored value, or the out-of-memory message for the placeholder.
    const char* get_value() const noexcept;

    /// Copies the whole record.
    argument(const argument&) noexcept = default;
    argument& operator=(const argument&) = delete;
    ~argument() = default;

  private:
    friend struct detail::result_access;
    argument() noexcept = default;
    constexpr explicit argument(unsigned char value_offset) noexcept
        : value_offset_(value_offset), text_{} {}

    unsigned char value_offset_;  ///< name length + 1, or 255 for the out-of-memory mark
    char text_[255];              ///< name, NUL, value, NUL
};

/// The named arguments of one status item, in insertion order; names need not be unique.
/// Adding never throws. When memory runs out the list closes: its last record then reads as
/// the out-of-memory placeholder and later additions are ignored.
class VORN_CORE_API argument_list {
  public:
    template <class Record>
    class basic_iterator;
    using iterator = basic_iterator<argument>;              ///< Iterator over the records.
    using const_iterator = basic_iterator<const argument>;  ///< Read-only iterator.

    argument_list() noexcept : count_(0), records_(nullptr) {}
    /// Takes the source's records; the source is left empty.
    argument_list(argument_list&& other) noexcept;
    /// Releases this list's records and takes the source's; the source is left empty.
    argument_list& operator=(argument_list&& other) noexcept;
    argument_list(const argument_list&) = delete;
    argument_list& operator=(const argument_list&) = delete;
    ~argument_list();

    /// Exchanges the records of the two lists; constant time.
    void swap(argument_list& other) noexcept;

    /// Appends (name, value), cut to the record's limits. Performs exactly one malloc or
    /// realloc; on failure the list closes as described above. Never throws.
    void set_argument(const std::string& name, const std::string& value) noexcept;

    /// Iteration in insertion order.
    ///@{
    iterator begin() noexcept;
    iterator end() noexcept;
    const_iterator begin() const noexcept;
    const_iterator end() const noexcept;
    const_iterator cbegin() const noexcept;
    const_iterator cend() const noexcept;
    ///@}

  private:
    friend struct detail::result_access;
    std::uint64_t count_;
    argument* records_;
};

/// Forward iterator over the records of a list. A default-constructed iterator is null; for an
/// empty list begin() and end() are both null.
template <class Record>
class argument_list::basic_iterator {
  public:
    /// The standard iterator types.
    ///@{
    using iterator_category = std::forward_iterator_tag;
    using value_type = argument;
    using difference_type = std::ptrdiff_t;
    using pointer = Record*;
    using reference = Record&;
    ///@}

    basic_iterator() noexcept = default;
    /// An iterator referring to `record`.
    explicit basic_iterator(Record* record) noexcept : record_(record) {}
    /// A const_iterator can be made from an iterator.
    template <class Other, class = std::enable_if_t<std::is_convertible_v<Other*, Record*>>>
    basic_iterator(const basic_iterator<Other>& other) noexcept : record_(&*other) {}

    /// The record referred to.
    ///@{
    reference operator*() const noexcept { return *record_; }
    pointer operator->() const noexcept { return record_; }
    ///@}
    /// Steps to the next record.
    ///@{
    basic_iterator& operator++() noexcept {
        ++record_;
        return *this;
    }
    basic_iterator operator++(int) noexcept {
        basic_iterator old = *this;
        ++record_;
        return old;
    }
    ///@}
    /// Exchanges the positions of the two iterators.
    void swap(basic_iterator& other) noexcept { std::swap(record_, other.record_); }

    friend bool operator==(const basic_iterator& a, const basic_iterator& b) noexcept {
        return a.record_ == b.record_;
    }
    friend bool operator!=(const basic_iterator& a, const basic_iterator& b) noexcept {
        return a.record_ != b.record_;
    }

  private:
    Record* record_ = nullptr;
};

/// An ordered collection of status items, newest first; the queries answer from the newest
/// item, and an empty stack reports success ("Success", code 0, not failed). Moves and swap are
/// constant time and never throw; a moved-from stack is empty.
class VORN_CORE_API stack {
    /// The two links shared by items and by the stack itself, which is the sentinel of its
    /// circular list: `next` is the stack's first (newest) item, `previous` its last (oldest).
    struct links {
        links* next;
        links* previous;
    };

  public:
    class item;
    template <class Item>
    class basic_iterator;
    using iterator = basic_iterator<item>;              ///< Iterator over the items.
    using const_iterator = basic_iterator<const item>;  ///< Read-only iterator.

    stack() noexcept : head_{&head_, &head_} {}
    /// Copies every item and argument in order. Throws std::bad_alloc only if a temporary copy
    /// of an argument text cannot be made; then nothing is left allocated.
    stack(const stack& other);
    /// Takes the source's items; the source is left empty.
    stack(stack&& other) noexcept;
    /// Replaces this stack's items with copies of the source's, as the copy constructor does.
    stack& operator=(const stack& other);
    /// Releases this stack's items and takes the source's; the source is left empty.
    stack& operator=(stack&& other) noexcept;
    ~stack();

    /// Exchanges the items of the two stacks; constant time.
    void swap(stack& other) noexcept;

    /// Adds a new newest item with the given category and code, marked as failed, and returns
    /// it. Never throws: the item comes from the heap, or from a 64-item static pool when the
    /// heap is exhausted. If the pool is exhausted too, the process ends with a message.
    item& push_item(const category& c, int value) noexcept;

    /// Pushes an item for code N of Category and passes it, with `extra`, to the category's
    /// create() for that code: push(integral_conversion_error::overflow, text).
    template <class Category, int N, class... Extra>
    item& push(code<Category, N> tag, Extra&&... extra);

    /// Removes and releases every item, newest first.
    void reset() noexcept;

    /// The number of items; 0 when empty. Walks the items: linear in their number.
    std::size_t size() const noexcept;

    /// Iteration from the newest item to the oldest.
    ///@{
    iterator begin() noexcept;
    iterator end() noexcept;
    const_iterator begin() const noexcept;
    const_iterator end() const noexcept;
    const_iterator cbegin() const noexcept;
    const_iterator cend() const noexcept;
    ///@}

    /// Queries on the newest item, or on the shared success item when the stack is empty.
    ///@{
    int get_value() const noexcept;
    bool has_failed() const noexcept;
    const char* get_message() const;
    const category& get_category() const noexcept;
    ///@}
    /// On an empty stack the non-const form returns an empty list private to the calling
    /// thread: anything written to it is dropped by the next call and reaches no stack.
    ///@{
    argument_list& get_argument_range() noexcept;
    const argument_list& get_argument_range() const noexcept;
    ///@}

    /// Compares the newest items only (same code, same category object); two empty stacks are
    /// equal, an empty and a non-empty stack are not.
    ///@{
    bool operator==(const stack& other) const noexcept;
    bool operator!=(const stack& other) const noexcept;
    ///@}

  private:
    friend struct detail::result_access;
    links head_;
};

/// One status entry. Items are made only by push_item() and by copying a stack, and are owned
/// by their stack.
class VORN_CORE_API stack::item : private stack::links {
  public:
    /// The item's code.
    int get_value() const noexcept { return value_; }
    /// True for an item marked as failed; push_item() marks every item so.
    bool has_failed() const noexcept { return failed_; }
    /// The item's category object.
    const category& get_category() const noexcept { return *category_; }
    /// The category's message for this item's code; ends the process for an undefined code.
    const char* get_message() const;

    /// Appends one argument (see argument_list::set_argument). Never throws.
    void set_argument(const std::string& name, const std::string& value) noexcept;
    /// The value of the first argument, in insertion order, named exactly `name`; "" if none.
    const char* get_argument_value(const std::string& name) const noexcept;

    /// The item's arguments, in insertion order.
    ///@{
    argument_list& get_argument_range() noexcept { return arguments_; }
    const argument_list& get_argument_range() const noexcept { return arguments_; }
    ///@}

    /// Equal when the codes are equal and the categories are the same object.
    ///@{
    bool operator==(const item& other) const noexcept;
    bool operator!=(const item& other) const noexcept;
    ///@}

    item(const item&) = delete;
    item& operator=(const item&) = delete;

  private:
    friend class stack;
    template <class>
    friend class stack::basic_iterator;
    friend struct detail::result_access;
    item() noexcept = default;
    ~item() = default;

    std::int32_t value_;
    bool failed_;
    const category* category_;
    argument_list arguments_;
};

/// Iterator over the items of a stack, newest to oldest. A default-constructed iterator is
/// null; begin() and end() of an empty stack are both null, and end() of a non-empty stack
/// refers to the stack itself.
template <class Item>
class stack::basic_iterator {
    using link_type = std::conditional_t<std::is_const_v<Item>, const links, links>;

  public:
    /// The standard iterator types.
    ///@{
    using iterator_category = std::forward_iterator_tag;
    using value_type = item;
    using difference_type = std::ptrdiff_t;
    using pointer = Item*;
    using reference = Item&;
    ///@}

    basic_iterator() noexcept = default;
    /// An iterator referring to the item `it`.
    explicit basic_iterator(Item* it) noexcept : node_(it) {}
    /// A const_iterator can be made from an iterator.
    template <class Other, class = std::enable_if_t<std::is_convertible_v<Other*, Item*>>>
    basic_iterator(const basic_iterator<Other>& other) noexcept : node_(other.node_) {}

    /// The item referred to.
    ///@{
    reference operator*() const noexcept { return static_cast<Item&>(*node_); }
    pointer operator->() const noexcept { return static_cast<Item*>(node_); }
    ///@}
    /// Steps to the next older item.
    ///@{
    basic_iterator& operator++() noexcept {
        node_ = node_->next;
        return *this;
    }
    basic_iterator operator++(int) noexcept {
        basic_iterator old = *this;
        node_ = node_->next;
        return old;
    }
    ///@}
    /// Exchanges the positions of the two iterators.
    void swap(basic_iterator& other) noexcept { std::swap(node_, other.node_); }

    friend bool operator==(const basic_iterator& a, const basic_iterator& b) noexcept {
        return a.node_ == b.node_;
    }
    friend bool operator!=(const basic_iterator& a, const basic_iterator& b) noexcept {
        return a.node_ != b.node_;
    }

  private:
    friend class stack;
    template <class>
    friend class basic_iterator;
    explicit basic_iterator(link_type* node) noexcept : node_(node) {}

    link_type* node_ = nullptr;
};

inline argument_list::const_iterator argument_list::cbegin() const noexcept {
    return begin();
}
inline argument_list::const_iterator argument_list::cend() const noexcept {
    return end();
}
inline stack::const_iterator stack::cbegin() const noexcept {
    return begin();
}
inline stack::const_iterator stack::cend() const noexcept {
    return end();
}

template <class Category, int N, class... Extra>
stack::item& stack::push(code<Category, N> tag, Extra&&... extra) {
    const Category& c = Category::instance();
    item& pushed = push_item(c, N);
    c.create(pushed, tag, std::forward<Extra>(extra)...);
    return pushed;
}

/// Same as a.swap(b).
inline void swap(stack& a, stack& b) noexcept {
    a.swap(b);
}
/// Same as a.swap(b).
inline void swap(argument_list& a, argument_list& b) noexcept {
    a.swap(b);
}

}  // namespace result

/// Failures of converting text to an integer. Codes: 1 `overflow` ("The string value is too big
/// for the target type"), 2 `invalid_value` ("The string value is not a number"); create()
/// attaches the text as argument "string_value".
class VORN_CORE_API integral_conversion_error : public result::category {
  public:
    static const result::code<integral_conversion_error, 1> overflow;       ///< Code 1.
    static const result::code<integral_conversion_error, 2> invalid_value;  ///< Code 2.

    /// The one object of this category.
    static integral_conversion_error& instance();

    ~integral_conversion_error() override;
    /// "vorn-core-integralconversionerror"
    const char* get_name() const override;
    const char* get_message(int code) const override;

    /// Attaches `text` to `item` as argument "string_value"; called by stack::push().
    ///@{
    void create(result::stack::item& item, result::code<integral_conversion_error, 1>,
                const std::string& text) const;
    void create(result::stack::item& item, result::code<integral_conversion_error, 2>,
                const std::string& text) const;
    ///@}

  private:
    constexpr integral_conversion_error() noexcept = default;
};

/// Bad input handed to a converter. Codes: 1 "Parâmetro do converter com valor inválido",
/// 2 "Argumento de conversão inválidos"; create() attaches nothing.
class VORN_CORE_API converter_result_category : public result::category {
  public:
    /// The one object of this category.
    static converter_result_category& instance();

    ~converter_result_category() override;
    /// "vornbase-core-converter_result_category"
    const char* get_name() const override;
    const char* get_message(int code) const override;

    /// Attaches nothing; called by stack::push().
    ///@{
    void create(result::stack::item& item, result::code<converter_result_category, 1>) const;
    void create(result::stack::item& item, result::code<converter_result_category, 2>) const;
    ///@}

  private:
    constexpr converter_result_category() noexcept = default;
};

}  // namespace vorn::core::v2

#endif  // VORN_CORE_RESULT_HPP
