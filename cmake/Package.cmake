# SPDX-License-Identifier: GPL-3.0-or-later
# The .deb with its -dbgsym package and the .rpm, from the same build (`cpack -G DEB` or
# `cpack -G RPM` in the build folder; scripts/deb.sh and scripts/rpm.sh also bring Debian's
# hardening flags and run lintian or rpmlint). Both install under /usr; cmake/Install.cmake has the
# layout. What differs per generator is in cmake/CPackGenerators.cmake.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rovelin)
set(CPACK_PACKAGE_VENDOR "Rovelin")
set(CPACK_PACKAGE_CONTACT "${ROVELIN_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${ROVELIN_HOMEPAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackGenerators.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The debug symbols go into rovelin-dbgsym (a .ddeb, as Debian's archive names it); the program
# keeps a build id and a debug link to them.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# Installed-Size, md5sums and the -dbgsym documentation link as Debian's tools make them.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebFinish.cmake)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ROVELIN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the binary links come from dpkg-shlibdeps; what Qt loads at run time is named here:
# the platform plug-ins (no window without them) and the Russian texts of Qt's own dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${ROVELIN_PACKAGING}/postinst ${ROVELIN_PACKAGING}/postrm ${ROVELIN_PACKAGING}/conffiles)
install(FILES ${ROVELIN_PACKAGING}/lintian-overrides DESTINATION ${ROVELIN_DATAROOT}/lintian/overrides
        RENAME rovelin)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data logger with USB sensors for primary-school science lessons")
# CPack writes the summary line first and indents the long description below it as a control file
# wants it (an empty line becomes " .").
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Rovelin is a digital laboratory for science lessons in primary school, with
a Russian user interface. A pupil or teacher picks an experiment scenario
from a catalogue (temperature, light, electricity, the human body), the
program finds the USB sensor the scenario needs and draws the measured
value live against time.

Points can be labelled during a run and read out afterwards with one or two
markers; the pulse sensor also gets a heart-rate chart. Charts are saved as
BMP pictures, the description and the pupil's report as RTF documents, and
everything can be printed.

Sensors are reached as USB HID devices, as serial ports (CDC and USB serial
adapters) or through FTDI's D2XX library when that is installed. The package
includes udev rules that let the user at the seat open the sensors, and a
demonstration mode with simulated sensors.")

# The RPM for RPM-based school distributions. Its requirements are the libraries the program links,
# found by rpm's own dependency scan.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE "GPL-3.0-or-later")
set(CPACK_RPM_PACKAGE_GROUP "Amusements/Teaching/Other")
set(CPACK_RPM_PACKAGE_URL "${ROVELIN_HOMEPAGE}")
set(CPACK_RPM_PACKAGE_AUTOREQ ON)
set(CPACK_RPM_PACKAGE_AUTOPROV OFF)
set(CPACK_RPM_PACKAGE_SUMMARY "Data logger with USB sensors for primary-school science lessons")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${ROVELIN_MAINTAINER}")
set(CPACK_RPM_CHANGELOG_FILE ${ROVELIN_PACKAGING}/rpm-changelog)
set(CPACK_RPM_POST_INSTALL_SCRIPT_FILE ${ROVELIN_PACKAGING}/rpm-post)
set(CPACK_RPM_POST_UNINSTALL_SCRIPT_FILE ${ROVELIN_PACKAGING}/rpm-postun)
# An administrator's edited settings survive upgrades; Debian's lintian overrides are not RPM's.
set(CPACK_RPM_USER_FILELIST "%config(noreplace) /etc/rovelin/rovelin.cfg"
    "%exclude /usr/share/lintian/overrides/rovelin")
# Folders the system owns: the package lists only its own.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/lib/udev /usr/lib/udev/rules.d /usr/share/applications /usr/share/icons /usr/share/icons/hicolor
    /usr/share/metainfo /usr/share/mime /usr/share/mime/packages /usr/share/man /usr/share/man/man1
    /usr/share/doc /usr/share/lintian /usr/share/lintian/overrides)
foreach(size IN ITEMS scalable 16x16 32x32 48x48 64x64 128x128 256x256)
    list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
         /usr/share/icons/hicolor/${size} /usr/share/icons/hicolor/${size}/apps)
endforeach()
include(CPack)
