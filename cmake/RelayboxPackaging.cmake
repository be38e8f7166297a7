# The Debian package: the manager, the simulator, the port lister, the icon and the desktop
# entry, installed under /usr. scripts/package configures, builds and runs cpack.

include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME relaybox)
set(CPACK_PACKAGE_VENDOR KESTRANE)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KESTRANE Relaybox developers <relaybox@kestrane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop manager for the KESTRANE Relaybox rack power switch")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Shows every bank of a KESTRANE Relaybox switch chain (1 to 16 banks of"
    "eight ports on a 9600-baud serial line) as a front panel with its port"
    "lamps, load current and timer countdowns. Operators switch ports, banks"
    "and all banks, edit, save, load and send power-on and power-off timer"
    "schedules, keep the switch's clock in step with the PC, read the banks'"
    "firmware versions and upload new firmware."
    "."
    "Includes relaybox-cli, which switches ports from scripts (pdudaemon,"
    "labgrid) and succeeds only when the switch's status shows the change;"
    "relaybox-sim, a simulated switch on a pseudo-terminal; and"
    "relaybox-ports, which lists the serial ports the manager sees."
    "."
    "relayboxd owns each switch's serial line and serves many clients over"
    "HTTP, pdudaemon's and labgrid's protocols, with metrics and an audit"
    "trail (systemd unit relayboxd.service, user relaybox).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME relaybox)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the Qt and C++ runtime packages the programs link. The platform plugins
# that open the window are only recommended by libqt6gui6, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, adduser")
# relayboxd's system user, and systemd told of its unit.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/daemon/debian/postinst
    ${PROJECT_SOURCE_DIR}/daemon/debian/prerm ${PROJECT_SOURCE_DIR}/daemon/debian/postrm)

include(CPack)

# Debian wants every package to say whose work it holds and what changed, in its documentation
# folder; the change log compressed as Debian compresses it (no name or time stamp in the gzip
# header, so the package is the same on every build).
install(FILES ${PROJECT_SOURCE_DIR}/docs/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/relaybox)
if(UNIX)
    configure_file(${PROJECT_SOURCE_DIR}/docs/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
    execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/changelog)
    install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/relaybox)
endif()

# What the package holds, for a build that skips "all" before installing
# (-DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON, so cpack does not build every test first).
add_custom_target(package_contents)
add_dependencies(package_contents relaybox relaybox-cli relaybox-ports relaybox-sim relayboxd
    relayboxd_man_page)
if(TARGET relaybox_icon_png)
    add_dependencies(package_contents relaybox_icon_png)
endif()
