# SPDX-License-Identifier: GPL-3.0-or-later
# Installation layout. Every destination is relative to the install prefix, so
# `cmake --install build --prefix ~/rovelin` works as a normal user and DESTDIR stages anywhere.
#
#   <prefix>/lib/rovelin/rovelin          the program; it reads rovelin.cfg and data/ beside itself
#   <prefix>/lib/rovelin/rovelin.cfg   -> <sysconfdir>/rovelin/rovelin.cfg (the administrator's copy)
#   <prefix>/lib/rovelin/data          -> ../../share/rovelin/data (the sample catalogue)
#   <prefix>/lib/rovelin/data-en       -> ../../share/rovelin/data-en (its English twin)
#   <prefix>/bin/rovelin               -> ../lib/rovelin/rovelin (the command)
#   <prefix>/share/applications, icons/hicolor, metainfo, man/man1, doc/rovelin
#   <prefix>/lib/udev/rules.d/70-rovelin.rules
#
# <sysconfdir> is /etc for the prefix /usr (the .deb), /etc/opt/... for /opt/..., and <prefix>/etc
# otherwise. It, the links and the desktop entry's Exec= are worked out when installing
# (cmake/InstallLayout.cmake), because `--prefix` and CPack choose the prefix only then.
include(GNUInstallDirs)

set(ROVELIN_INSTALL_PROGRAMDIR lib/rovelin CACHE STRING "Program folder, relative to the prefix")
set(ROVELIN_INSTALL_UDEVDIR lib/udev/rules.d CACHE STRING "udev rules folder, relative to the prefix")
# The project's public home is its source repository: the AppStream homepage, bug tracker and
# source browser all lead there, and the screenshot is the repository's own docs/screenshot.png
# as that host serves the raw file. A distributor building from another copy sets both.
set(ROVELIN_HOMEPAGE https://github.com/rovelin/rovelin CACHE STRING "The project's repository page (AppStream homepage)")
if(ROVELIN_HOMEPAGE MATCHES "^https://github\\.com/([^/]+/[^/]+)$")
    set(screenshot_default "https://raw.githubusercontent.com/${CMAKE_MATCH_1}/main/docs/screenshot.png")
else()
    set(screenshot_default "${ROVELIN_HOMEPAGE}/raw/branch/main/docs/screenshot.png")
endif()
set(ROVELIN_SCREENSHOT_URL ${screenshot_default} CACHE STRING "Where docs/screenshot.png of the repository is served (AppStream)")
set(ROVELIN_MAINTAINER "Rovelin developers <rovelin@example.org>" CACHE STRING "Package maintainer")
set(ROVELIN_DATAROOT ${CMAKE_INSTALL_DATADIR})
set(ROVELIN_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/rovelin)
set(ROVELIN_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(ROVELIN_GENERATED ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${ROVELIN_GENERATED})

if(TARGET rovelin)
    install(TARGETS rovelin RUNTIME DESTINATION ${ROVELIN_INSTALL_PROGRAMDIR})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${ROVELIN_DATAROOT}/rovelin/data
        PATTERN "README.md" EXCLUDE)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data-en/ DESTINATION ${ROVELIN_DATAROOT}/rovelin/data-en
        PATTERN "README.md" EXCLUDE)
install(FILES ${ROVELIN_PACKAGING}/70-rovelin.rules DESTINATION ${ROVELIN_INSTALL_UDEVDIR})

# Desktop integration: the entry is finished at install time (Exec= follows the prefix).
configure_file(${ROVELIN_PACKAGING}/rovelin.metainfo.xml.in ${ROVELIN_GENERATED}/${ROVELIN_APP_ID}.metainfo.xml @ONLY)
install(FILES ${ROVELIN_GENERATED}/${ROVELIN_APP_ID}.metainfo.xml DESTINATION ${ROVELIN_DATAROOT}/metainfo)
install(FILES ${ROVELIN_PACKAGING}/rovelin.svg
        DESTINATION ${ROVELIN_DATAROOT}/icons/hicolor/scalable/apps RENAME ${ROVELIN_APP_ID}.svg)
if(EXISTS ${ROVELIN_PACKAGING}/rovelin-lesson.xml)
    install(FILES ${ROVELIN_PACKAGING}/rovelin-lesson.xml DESTINATION ${ROVELIN_DATAROOT}/mime/packages
            RENAME rovelin.xml)
endif()

# The PNG icons are rendered from the one SVG at build time, so window, menu and package show
# the same picture at every size.
set(ROVELIN_ICON_SIZES 16 32 48 64 128 256)
add_executable(rovelin_rendericon ${ROVELIN_PACKAGING}/Rendericon.cpp)
target_include_directories(rovelin_rendericon PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(rovelin_rendericon PRIVATE Qt6::Svg Qt6::Gui)
set_target_properties(rovelin_rendericon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ROVELIN_GENERATED})
set(icon_outputs)
foreach(size IN LISTS ROVELIN_ICON_SIZES)
    set(png ${ROVELIN_GENERATED}/icons/${size}x${size}/${ROVELIN_APP_ID}.png)
    list(APPEND icon_outputs ${png})
    install(FILES ${png} DESTINATION ${ROVELIN_DATAROOT}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_command(OUTPUT ${icon_outputs}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:rovelin_rendericon>
            ${ROVELIN_PACKAGING}/rovelin.svg ${ROVELIN_GENERATED}/icons ${ROVELIN_APP_ID} ${ROVELIN_ICON_SIZES}
    DEPENDS rovelin_rendericon ${ROVELIN_PACKAGING}/rovelin.svg
    COMMENT "Rendering the program icon to PNG" VERBATIM)
add_custom_target(rovelin_icons ALL DEPENDS ${icon_outputs})

# Documentation: man page, licence and changelog as Debian wants them (gzip -9n: no name, no time).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(doc_outputs)
foreach(pair "rovelin.1|rovelin.1.gz" "changelog|changelog.gz")
    string(REPLACE "|" ";" pair ${pair})
    list(GET pair 0 source)
    list(GET pair 1 target)
    add_custom_command(OUTPUT ${ROVELIN_GENERATED}/${target}
        COMMAND ${GZIP_PROGRAM} -9n -c ${ROVELIN_PACKAGING}/${source} > ${ROVELIN_GENERATED}/${target}
        DEPENDS ${ROVELIN_PACKAGING}/${source} VERBATIM)
    list(APPEND doc_outputs ${ROVELIN_GENERATED}/${target})
endforeach()
add_custom_target(rovelin_docs ALL DEPENDS ${doc_outputs})
install(FILES ${ROVELIN_GENERATED}/rovelin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ROVELIN_GENERATED}/changelog.gz ${ROVELIN_PACKAGING}/copyright DESTINATION ${ROVELIN_DOCDIR})
# The school-wide settings, commented out: an administrator copies it to /etc/xdg/rovelin/.
install(FILES ${ROVELIN_PACKAGING}/school.conf DESTINATION ${ROVELIN_DOCDIR}/examples)
# The user guide as HTML pages with their pictures (the program carries the same pages inside).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/guide/ DESTINATION ${ROVELIN_DOCDIR}/guide)

# The changelog's newest entry names the version the package is built as.
file(STRINGS ${ROVELIN_PACKAGING}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^rovelin \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog: the newest entry must be version ${PROJECT_VERSION}")
endif()

# Settings file, links and desktop entry: decided by the prefix in force when installing.
install(CODE "
set(ROVELIN_APP_ID \"${ROVELIN_APP_ID}\")
set(ROVELIN_INSTALL_PROGRAMDIR \"${ROVELIN_INSTALL_PROGRAMDIR}\")
set(ROVELIN_INSTALL_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
set(ROVELIN_INSTALL_DATAROOT \"${ROVELIN_DATAROOT}\")
set(ROVELIN_CFG_SOURCE \"${CMAKE_SOURCE_DIR}/app/rovelin.cfg\")
set(ROVELIN_DESKTOP_SOURCE \"${ROVELIN_PACKAGING}/rovelin.desktop.in\")
")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallLayout.cmake)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
