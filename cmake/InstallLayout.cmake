# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside `cmake --install` (and CPack's staging install): the parts of the layout that depend
# on the prefix in force now, not on the one CMake was configured with. Cmake/Install.cmake sets the
# ROVELIN_* inputs just before this script.
set(prefix "${CMAKE_INSTALL_PREFIX}")
set(program_dir "${prefix}/${ROVELIN_INSTALL_PROGRAMDIR}")

# The settings file lives where an administrator edits configuration (the GNU rules for sysconfdir),
# and a link beside the program keeps the program's own rule: rovelin.cfg beside the executable.
if(prefix STREQUAL "/usr")
    set(etc_dir "/etc/rovelin")
elseif(prefix MATCHES "^/opt/")
    set(etc_dir "/etc${prefix}/rovelin")
else()
    set(etc_dir "${prefix}/etc/rovelin")
endif()
file(INSTALL DESTINATION "${etc_dir}" TYPE FILE FILES "${ROVELIN_CFG_SOURCE}")

# Links within the prefix are relative, so the installed tree can be moved as a whole; a link out of
# it (to /etc) is absolute.
function(rovelin_link target link)
    cmake_path(GET link PARENT_PATH link_dir)
    cmake_path(IS_PREFIX prefix "${target}" NORMALIZE inside)
    if(inside)
        file(RELATIVE_PATH target "${link_dir}" "${target}")
    endif()
    set(staged "$ENV{DESTDIR}${link}")
    message(STATUS "Installing: ${staged} -> ${target}")
    cmake_path(GET staged PARENT_PATH staged_dir)
    file(MAKE_DIRECTORY "${staged_dir}")
    file(REMOVE "${staged}")
    file(CREATE_LINK "${target}" "${staged}" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${staged}")
    set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

rovelin_link("${etc_dir}/rovelin.cfg" "${program_dir}/rovelin.cfg")
rovelin_link("${prefix}/${ROVELIN_INSTALL_DATAROOT}/rovelin/data" "${program_dir}/data")
rovelin_link("${prefix}/${ROVELIN_INSTALL_DATAROOT}/rovelin/data-en" "${program_dir}/data-en")
rovelin_link("${program_dir}/rovelin" "${prefix}/${ROVELIN_INSTALL_BINDIR}/rovelin")

# The menu entry starts the command of this prefix: on the system's PATH for /usr, by its full path
# for any other prefix (a user-local install is usually not on PATH).
if(prefix STREQUAL "/usr")
    set(ROVELIN_COMMAND "rovelin")
else()
    set(ROVELIN_COMMAND "${prefix}/${ROVELIN_INSTALL_BINDIR}/rovelin")
    if(ROVELIN_COMMAND MATCHES "[ \t\"`$\\]")
        # Desktop entry quoting: the path in double quotes, these four characters escaped with a
        # backslash that is itself written twice (the file's own string escaping).
        string(REGEX REPLACE "([\"`$\\])" "\\\\\\\\\\1" ROVELIN_COMMAND "${ROVELIN_COMMAND}")
        set(ROVELIN_COMMAND "\"${ROVELIN_COMMAND}\"")
    endif()
endif()
# Written straight to its place: an install as another user may not write into the build folder.
file(READ "${ROVELIN_DESKTOP_SOURCE}" entry)
string(CONFIGURE "${entry}" entry @ONLY)
set(desktop "$ENV{DESTDIR}${prefix}/${ROVELIN_INSTALL_DATAROOT}/applications/${ROVELIN_APP_ID}.desktop")
message(STATUS "Installing: ${desktop}")
file(WRITE "${desktop}" "${entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${desktop}")
