#include "binary_encoding/algorithm.hpp"

#include <stdexcept>

namespace vorn::core::v2::detail {
namespace {

// One instance per algorithm, constant-initialised: they exist before any code runs, and
// their (empty) destructors are registered when the library is loaded.
constinit const binary_encoding_algorithms::hex hex_instance;
constinit const binary_encoding_algorithms::base64 base64_instance;

}  // namespace

binary_encoding_algorithm_base::~binary_encoding_algorithm_base() = default;
binary_encoding_algorithms::hex::~hex() = default;
binary_encoding_algorithms::base64::~base64() = default;

const binary_encoding_algorithm_base* get_algorithm(binary_encoding encoding) {
    switch (encoding) {
        case binary_encoding::hex:
            return &hex_instance;
        case binary_encoding::base64:
            return &base64_instance;
    }
    throw std::logic_error("Codificação binária inválida! Não foi possível obter o algoritimo.");
}

}  // namespace vorn::core::v2::detail
