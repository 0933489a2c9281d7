# Installation of the three programs with the editor's desktop entry and icon and a manual page
# for each, and the Debian package CPack makes from them ("cpack -G DEB" in the build folder).
include(GNUInstallDirs)

set(ORV_PACKAGE_NAME "orv-pro-configuration")
set(ORV_PACKAGE_MAINTAINER "ORV Pro Configuration developers <orv-pro-configuration@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
set(_orv_packaging ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

# Programs and their manual pages, compressed as Debian installs them. A page names the version
# of the project (@ORV_VERSION@), as the programs' --version do, so it is filled in here.
set(ORV_VERSION ${PROJECT_VERSION})
set(_orv_man_pages)
foreach(_program orv-config orv-cli orv-unit-sim)
    if(NOT TARGET ${_program})
        continue()
    endif()
    install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(_page_in ${CMAKE_CURRENT_BINARY_DIR}/man/${_program}.1)
    configure_file(${_orv_packaging}/man/${_program}.1 ${_page_in} @ONLY)
    set(_page_out ${CMAKE_CURRENT_BINARY_DIR}/man/${_program}.1.gz)
    add_custom_command(OUTPUT ${_page_out}
        COMMAND ${CMAKE_COMMAND} -DIN=${_page_in} -DOUT=${_page_out} -P ${_orv_packaging}/gzip_man.cmake
        DEPENDS ${_page_in} ${_orv_packaging}/gzip_man.cmake
        COMMENT "Compressing the manual page of ${_program}"
        VERBATIM)
    list(APPEND _orv_man_pages ${_page_out})
    install(FILES ${_page_out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(orv_man_pages ALL DEPENDS ${_orv_man_pages})

# The editor in the desktop's menus, and its files known as their own type, which the editor
# opens (the package's triggers update the desktop's MIME and application databases).
if(TARGET orv-config)
    install(FILES ${_orv_packaging}/orv-config.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${_orv_packaging}/orv-config-mime.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME orv-config.xml)
    install(FILES ${_orv_packaging}/orv-config.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${_orv_packaging}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${ORV_PACKAGE_NAME})

# The Debian package.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME ${ORV_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORV Pro Configuration developers")
set(CPACK_PACKAGE_CONTACT ${ORV_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configuration editor for ORV Pro alarm-paging interface units")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The long description under the summary line; CPack indents it and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "orv-config edits the configuration of an ORV Pro unit (pager calls of every input
channel and trigger state, relay actions, serial ports, RS485 role, LAN addresses,
pulse limits, options), keeps it in .ORV files and reads and writes it over a
serial line.

orv-cli does the same from a shell and adds a readable report, a commissioning
sheet as a PDF, a diff of two configurations and a channel table for spreadsheets. orv-unit-sim is a simulated
unit on a pseudo-terminal for trying the tools without hardware.")
# Library dependencies come from dpkg-shlibdeps; the Qt platform plugins are loaded at run time,
# so the editor names them itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET orv-config)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme, shared-mime-info")
endif()
include(CPack)
