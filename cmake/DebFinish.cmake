# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack after it made the packages (CPACK_POST_BUILD_SCRIPTS): finishes the .deb and the
# -dbgsym package the way Debian's own tools would have made them, and rebuilds each.
#  - Installed-Size: CPack counts what a link points to once more (the command /usr/bin/rovelin is a
#    link to the program), so the .deb would claim about twice its space. It is counted again the
#    way dpkg-gencontrol counts: every file and link in KiB rounded up, every folder 1 KiB.
#  - md5sums: CPack writes the -dbgsym package's with the build folder's absolute path; both are
#    written anew with paths inside the package, configuration files left out (as dh_md5sums does).
#  - The -dbgsym package's documentation folder is a link to the program's, as dh_strip makes it, so
#    it carries the same copyright and changelog.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.d?deb$")
        continue()
    endif()
    set(tree "${CPACK_TOPLEVEL_DIRECTORY}/deb-finish")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    file(READ "${tree}/DEBIAN/control" control)
    if(control MATCHES "\nPackage: ([^\n]+)-dbgsym\n")
        file(MAKE_DIRECTORY "${tree}/usr/share/doc")
        file(CREATE_LINK "${CMAKE_MATCH_1}" "${tree}/usr/share/doc/${CMAKE_MATCH_1}-dbgsym" SYMBOLIC)
    endif()
    set(conffiles "")
    if(EXISTS "${tree}/DEBIAN/conffiles")
        file(STRINGS "${tree}/DEBIAN/conffiles" conffiles)
    endif()
    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${tree}" "${tree}/*")
    list(SORT entries)
    set(kib 0)
    set(md5sums "")
    foreach(entry IN LISTS entries)
        if(entry MATCHES "^DEBIAN(/|$)")
            continue()
        endif()
        set(path "${tree}/${entry}")
        if(IS_SYMLINK "${path}")
            file(READ_SYMLINK "${path}" target)
            string(LENGTH "${target}" bytes)
        elseif(IS_DIRECTORY "${path}")
            set(bytes 1)
        else()
            if(entry MATCHES "\\.debug$")
                # Symbols are read, never run (CPack copies the program's mode).
                file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
            endif()
            file(SIZE "${path}" bytes)
            if(NOT "/${entry}" IN_LIST conffiles)
                file(MD5 "${path}" sum)
                string(APPEND md5sums "${sum}  ${entry}\n")
            endif()
        endif()
        math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
    endforeach()
    string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${kib}" control "${control}")
    file(WRITE "${tree}/DEBIAN/control" "${control}")
    file(WRITE "${tree}/DEBIAN/md5sums" "${md5sums}")
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${package}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
