# The Debian package, made by "cpack -G DEB" in the Release build (tools/package.sh). Library
# dependencies come from dpkg-shlibdeps; what is loaded at run time without being linked (Qt's
# platform plugins) is named here.
# The package installs below CMAKE_INSTALL_PREFIX, which the build also compiles in: configure
# with -DCMAKE_INSTALL_PREFIX=/usr for it, as tools/package.sh does.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vextkey)
set(CPACK_PACKAGE_VENDOR Zelvan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VextKey maintainers <vextkey@zelvan.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard emulation for game pads")
set(CPACK_PACKAGE_DESCRIPTION
    "VextKey makes game pads type on the keyboard. Map the buttons of up to
four pads to key functions that play keystrokes (Normal functions with
press and release strings, Step functions with Loop, Auto-Repeat and a
step-down companion) by dragging them onto a picture of the pad, and
download the key set to the driver.

This package contains the configurator vextkey, the driver vextd with its
systemd user unit and a udev rule that gives the user at the seat access
to /dev/uinput, the vext-reg tool, the manual and the man pages.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.zelvan.example/vextkey/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VEXT_BUILD_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
endif()
# Send attaches key sets through xdg-email; the manual opens through the desktop's browser. In a
# Wayland session the window runs natively through qt6-wayland (without it, under XWayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
