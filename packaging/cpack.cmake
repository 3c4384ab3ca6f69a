# `make package`: a .deb of the installed tree (configure with -DCMAKE_INSTALL_PREFIX=/usr).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morva-tr510)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${MORVA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configuration utility for MORVA TR510 gaming peripherals")
# Lines as they appear in the control file (at most 79 characters).
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop program for the MORVA TR510 family of USB gaming peripherals: a
mouse and a keyboard (by cable or wireless receiver), a lit mouse pad and a
USB headset. It sets their lighting, button and key functions, macros, DPI
stages and report rate, recoil patterns, and the headset's equaliser and
microphone, and keeps per-device profiles.
.
The package includes morvactl, a command line for the same changes, and a
udev rule that gives the user at the local seat access to the devices.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MORVA_HOMEPAGE}")
# dpkg-shlibdeps (dpkg-dev) finds the libraries' packages. The SVG pictures are read through
# Qt's image format plugin, which no binary links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# Music lighting records from a pulse server; Chinese texts want the CJK fonts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/packaging/debian/postinst;${PROJECT_SOURCE_DIR}/packaging/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
