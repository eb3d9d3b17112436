// Growing the encoders' text and the decoders' bytes in place: room is made without filling
// it first, the codec writes straight into it, and what it did not use is given back.
#ifndef VORN_CORE_SRC_BINARY_ENCODING_OUTPUT_HPP
#define VORN_CORE_SRC_BINARY_ENCODING_OUTPUT_HPP

#include <cstddef>
#include <string>

#include "vorn/core/byte_array.hpp"

namespace vorn::core::v2::detail {

// Appends at most `room` characters to `text`: `write` gets the address of the new room and
// `context`, writes there and returns how many characters it wrote. When the capacity must
// grow, it grows geometrically (a stream of appends costs amortised linear time) and keeps
// `spare` more characters free, for an end marking that may follow. Throws like
// std::string::append, with `text` unchanged.
void append_to_text(std::string& text, std::size_t room, std::size_t spare,
                    std::size_t (*write)(char* out, void* context) noexcept, void* context);

// Appends `room` bytes to `bytes` without initialising them and returns their address; the
// caller writes them and gives back what it did not use with byte_array_access::truncate.
// The capacity grows geometrically. Throws like byte_array::append, with `bytes` unchanged.
unsigned char* append_to_bytes(byte_array& bytes, std::size_t room);

}  // namespace vorn::core::v2::detail

#endif
