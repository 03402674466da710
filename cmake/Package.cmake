# SPDX-License-Identifier: GPL-3.0-or-later
# The .deb (`cpack` in the build folder, or scripts/deb.sh, which also brings Debian's hardening
# flags and runs lintian). The package installs under /usr; cmake/Install.cmake has the layout.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rovelin)
set(CPACK_PACKAGE_VENDOR "Rovelin")
set(CPACK_PACKAGE_CONTACT "${ROVELIN_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
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
include(CPack)
