# SPDX-License-Identifier: GPL-3.0-or-later
# Read by CPack once per generator (CPACK_PROJECT_CONFIG_FILE). The .deb gets its binaries
# unstripped, because the -dbgsym step moves the symbols into rovelin-dbgsym and strips them itself;
# the .rpm is stripped here.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_STRIP_FILES OFF)
elseif(CPACK_GENERATOR STREQUAL "RPM")
    set(CPACK_STRIP_FILES ON)
endif()
