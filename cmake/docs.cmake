# SPDX-License-Identifier: MIT
# The `docs` target: the API reference of the public headers, built with Doxygen.
# On by default when Doxygen is installed and this is the top-level project; never part of the
# default build (`all`).
find_package(Doxygen QUIET)
set(vorn_core_docs_default OFF)
if(vorn_core_top_level AND DOXYGEN_FOUND)
    set(vorn_core_docs_default ON)
endif()
option(VORN_CORE_BUILD_DOCS "Add the docs target (API reference, Doxygen)" ${vorn_core_docs_default})

if(VORN_CORE_BUILD_DOCS)
    if(NOT DOXYGEN_FOUND)
        message(FATAL_ERROR "VORN_CORE_BUILD_DOCS is ON but Doxygen was not found")
    endif()
    set(vorn_core_docs_dir ${PROJECT_BINARY_DIR}/docs)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
    file(GLOB_RECURSE vorn_core_docs_inputs CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/include/vorn/*.hpp)
    # Doxygen exits non-zero on the first run that warned (WARN_AS_ERROR = FAIL_ON_WARNINGS)
    # and leaves the output it wrote; the stamp is only touched on success.
    add_custom_command(
        OUTPUT ${vorn_core_docs_dir}/docs.stamp
        COMMAND ${CMAKE_COMMAND} -E make_directory ${vorn_core_docs_dir}
        COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
        COMMAND ${CMAKE_COMMAND} -E touch ${vorn_core_docs_dir}/docs.stamp
        DEPENDS ${PROJECT_BINARY_DIR}/Doxyfile ${vorn_core_docs_inputs}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "API reference (Doxygen) in ${vorn_core_docs_dir}/html"
        VERBATIM)
    add_custom_target(docs DEPENDS ${vorn_core_docs_dir}/docs.stamp)
endif()
