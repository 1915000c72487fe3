# Installed layout and the Debian package.
#   bin/zvkisp, bin/zvkisp-cli, bin/zvkisp-sim            (install rules next to the targets)
#   share/applications/zvkisp.desktop                     desktop menu entry
#   share/icons/hicolor/scalable/apps/zvkisp.svg          its icon
#   share/zvkisp/README.md                                the Soft ICE monitor files go here
#   share/doc/zvkisp/user-guide.md, board-record.schema.json
#   lib/udev/rules.d/60-zvkisp-usb-serial.rules           FTDI adapters: 1 ms latency timer, group dialout
#   share/man/man1/zvkisp-cli.1.gz                        the command line's manual page
#   share/bash-completion/completions/zvkisp-cli          its bash completion
include(GNUInstallDirs)
find_program(ZVKISP_GZIP gzip)
if(ZVKISP_GZIP)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/zvkisp-cli.1.gz
                     COMMAND ${ZVKISP_GZIP} -9n -c ${CMAKE_CURRENT_LIST_DIR}/zvkisp-cli.1 > ${PROJECT_BINARY_DIR}/zvkisp-cli.1.gz
                     DEPENDS ${CMAKE_CURRENT_LIST_DIR}/zvkisp-cli.1 VERBATIM)
  add_custom_target(zvkisp-cli-man ALL DEPENDS ${PROJECT_BINARY_DIR}/zvkisp-cli.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/zvkisp-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/zvkisp-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zvkisp-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zvkisp-cli)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zvkisp.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zvkisp.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/data-README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/zvkisp RENAME README.md)
# udev reads lib/udev/rules.d under /usr (the package); a /usr/local install copies it to /etc/udev/rules.d.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-zvkisp-usb-serial.rules DESTINATION lib/udev/rules.d)
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/user-guide.md)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/docs/board-record.schema.json DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME zvkisp)
set(CPACK_PACKAGE_VENDOR "zvkisp developers")
set(CPACK_PACKAGE_CONTACT "zvkisp developers <zvkisp@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "In-system programming tool for 8051-compatible flash MCUs")
set(CPACK_PACKAGE_DESCRIPTION "zvkisp downloads Intel HEX or binary programs into 8051-compatible flash\nmicrocontrollers through their serial boot loader: a window (zvkisp), a\ncommand-line front end (zvkisp-cli) and a simulated board (zvkisp-sim).")
set(CPACK_PACKAGE_INSTALL_DIRECTORY zvkisp)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries by name (Debian 12); dpkg-shlibdeps adds the versions and the C/C++ runtime.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6sql6-sqlite (>= 6.4), qt6-qpa-plugins")
# The production store on a shared PostgreSQL server needs Qt's PostgreSQL driver.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql (>= 6.4)")
find_program(ZVKISP_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZVKISP_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
