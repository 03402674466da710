# One folder holds the program, its rovelin.cfg and the data/ catalogue (the program finds them
# beside its executable); the desktop entry, the icon and the udev rules go where the desktop
# and udev look for them. `cmake --install build` (or the .deb from cpack) lays this out.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX /opt/rovelin CACHE PATH "Folder that receives the program" FORCE)
endif()
set(ROVELIN_INSTALL_DIR ${CMAKE_INSTALL_PREFIX})
set(ROVELIN_DESKTOP_DIR /usr/share/applications CACHE PATH "Where the .desktop file goes")
set(ROVELIN_ICON_DIR /usr/share/icons/hicolor/scalable/apps CACHE PATH "Where the program icon goes")
set(ROVELIN_UDEV_DIR /usr/lib/udev/rules.d CACHE PATH "Where the udev rules go")
set(ROVELIN_MIME_DIR /usr/share/mime/packages CACHE PATH "Where the lesson file type goes")

if(TARGET rovelin)
    install(TARGETS rovelin RUNTIME DESTINATION .)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/app/rovelin.cfg DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION data
        PATTERN "README.md" EXCLUDE)

configure_file(${CMAKE_SOURCE_DIR}/packaging/rovelin.desktop.in ${CMAKE_BINARY_DIR}/rovelin.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/rovelin.desktop DESTINATION ${ROVELIN_DESKTOP_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/rovelin.svg DESTINATION ${ROVELIN_ICON_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-rovelin.rules DESTINATION ${ROVELIN_UDEV_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/rovelin-lesson.xml DESTINATION ${ROVELIN_MIME_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rovelin)
set(CPACK_PACKAGE_VENDOR "Rovelin")
set(CPACK_PACKAGE_CONTACT "Rovelin developers <rovelin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Data logger with USB sensors for primary-school science lessons")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6, libqt6printsupport6, libqt6network6, libqcustomplot2.1, libjpeg62-turbo, libudev1, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
include(CPack)
