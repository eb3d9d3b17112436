# SPDX-License-Identifier: MIT
# Compiler settings shared by every target of the project.

# Warnings for the project's own code. Third-party headers come in as system includes and
# are not affected.
function(vorn_core_project_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
        $<$<BOOL:${VORN_CORE_WERROR}>:-Werror>)
endfunction()

# Sanitizer builds apply to everything compiled in the tree, library and tests alike, so
# that the interposed allocator of the tests and the library agree on one heap.
if(VORN_CORE_SANITIZER STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(VORN_CORE_SANITIZER STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(VORN_CORE_SANITIZER STREQUAL "fuzzer")
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "The fuzzer build needs clang (libFuzzer)")
    endif()
    # The library is instrumented for coverage; the fuzz targets link the fuzzer driver.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                        -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(NOT VORN_CORE_SANITIZER STREQUAL "")
    message(FATAL_ERROR "Unknown VORN_CORE_SANITIZER '${VORN_CORE_SANITIZER}'")
endif()
