#include <cstdint>

#include "binary_encoding/output.hpp"
#include "byte_array/byte_array_access.hpp"

namespace vorn::core::v2::detail {

namespace {

// Room for `room` more bytes, without initialising them.
unsigned char* append_uninitialized(byte_array& bytes, std::size_t room) {
    const std::size_t size = bytes.size();
    const std::size_t capacity = bytes.capacity();
    if (room > capacity - size && room <= SIZE_MAX - size) {
        // The array's own policy grows by 1 KiB steps beyond 1 KiB; a long stream of appends
        // would move the bytes on almost every call. Doubling keeps the cost linear.
        const std::size_t wanted = size + room;
        const std::size_t doubled = capacity <= SIZE_MAX / 2 ? 2 * capacity : wanted;
        core::detail::byte_array_access::reserve(bytes, wanted > doubled ? wanted : doubled);
    }
    return core::detail::byte_array_access::append_uninitialized(bytes, room);
}

}  // namespace

std::string decode_into(byte_array& bytes, const data_chunk* chunks, std::uint32_t count,
                        std::size_t room, decode_step decode) {
    if (starts_refused(chunks, count)) {
        // Nothing to decode; no room is made for input that is refused anyway.
        byte_array().swap(bytes);
        return std::string(1, refused_marker);
    }
    const std::size_t old_size = bytes.size();
    unsigned char* out = append_uninitialized(bytes, room);
    const decode_outcome outcome = decode(chunks, count, out);
    if (outcome.refused) {
        byte_array().swap(bytes);
    } else {
        core::detail::byte_array_access::truncate(bytes, old_size + outcome.written);
    }
    return std::string(outcome.leftover, outcome.leftover_size);
}

}  // namespace vorn::core::v2::detail
