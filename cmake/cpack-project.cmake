# SPDX-License-Identifier: MIT
# Read by cpack for every generator (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
    # Each component's description carries its own summary line.
    unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
endif()
