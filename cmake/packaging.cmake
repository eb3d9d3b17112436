# SPDX-License-Identifier: MIT
# Debian packages, laid out the way Debian names and splits a shared library:
#   libvorn-core2     the shared library and its SONAME link             (component runtime)
#   libvorn-core-dev  headers, the development link, the CMake package
#                     and vorn-core.pc; depends on libvorn-core2 of the
#                     same version                                       (component development)
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that GNUInstallDirs picks the multiarch
# libdir (lib/x86_64-linux-gnu), build, then run `cpack` in the build directory (the
# `package` preset does all of it; see cmake/deb-check.sh).

set(vorn_core_deb_revision 1 CACHE STRING "Debian revision of the packages CPack builds")
set(vorn_core_deb_version ${PROJECT_VERSION}-${vorn_core_deb_revision})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME libvorn-core)
set(CPACK_PACKAGE_VENDOR "vorn")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "vorn developers <vorn-core@vorn.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${vorn_core_deb_revision})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends on libc6 and libstdc++6 are computed by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvorn-core${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# A shlibs file in the runtime package (the only one with a library), so that programs built
# against the library depend on it, and the ldconfig trigger that comes with it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"vorn core utility library (shared library)
Status reporting that keeps working when memory runs out, a growable byte
array, streaming Base64 and hex codecs, calendar types with ISO-8601 text
forms, a fixed-point decimal, a text formatter and a stopwatch.

This package contains the shared library libvorn-core.so.${PROJECT_VERSION_MAJOR}.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvorn-core-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "libvorn-core${PROJECT_VERSION_MAJOR} (= ${vorn_core_deb_version})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
"vorn core utility library (development files)
Status reporting that keeps working when memory runs out, a growable byte
array, streaming Base64 and hex codecs, calendar types with ISO-8601 text
forms, a fixed-point decimal, a text formatter and a stopwatch.

This package contains the headers, the development link libvorn-core.so,
the CMake package (find_package(vorn-core), target vorn::core) and the
pkg-config file vorn-core.pc.")

# The first line of each description above is that package's summary; without this, CPackDeb
# would put the project-wide summary in front of both.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack-project.cmake)

include(CPack)
