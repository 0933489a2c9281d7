# The downloads for Windows users, made by cpack in the build folder:
#   cpack -G NSIS   orv-config-<version>-win64-setup.exe: installs orv-config.exe and orv-cli.exe
#                   with a Start-menu entry, the .ORV file type (a double-click opens the editor
#                   with the file) and an uninstaller; "/S" installs (and uninstalls) silently
#   cpack -G ZIP    orv-config-<version>-win64.zip: the same programs and a README.txt, for PCs
#                   where nothing may be installed
# Both programs are static: they need no DLLs but Windows' own.
if(NOT TARGET orv-cli)
    return()
endif()
install(TARGETS orv-cli RUNTIME DESTINATION .)
if(TARGET orv-config)
    install(TARGETS orv-config RUNTIME DESTINATION .)
endif()
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)

set(CPACK_GENERATOR "ZIP")
set(CPACK_PACKAGE_NAME "ORV Pro Configuration")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORV Pro Configuration developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Editor and command-line companion for the configuration of ORV Pro alarm-paging units")
set(CPACK_STRIP_FILES ON)
# The file name per generator (the zip and the installer share everything else).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackWindowsFileNames.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "
if(CPACK_GENERATOR STREQUAL \"NSIS\")
    set(CPACK_PACKAGE_FILE_NAME \"orv-config-${PROJECT_VERSION}-win64-setup\")
else()
    set(CPACK_PACKAGE_FILE_NAME \"orv-config-${PROJECT_VERSION}-win64\")
endif()
")

if(TARGET orv-config)
    # A 64-bit installer (Debian's makensis has the amd64 stubs) for 64-bit programs: it installs
    # under the 64-bit Program Files and writes the 64-bit registry.
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_PACKAGE_INSTALL_DIRECTORY "ORV Pro Configuration")
    set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "ORV Pro Configuration")
    set(CPACK_NSIS_DISPLAY_NAME "ORV Pro Configuration ${PROJECT_VERSION}")
    set(CPACK_NSIS_PACKAGE_NAME "ORV Pro Configuration ${PROJECT_VERSION}")
    set(CPACK_PACKAGE_EXECUTABLES "orv-config" "ORV Pro Configuration")
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
    set(CPACK_NSIS_INSTALLED_ICON_NAME "orv-config.exe")
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
    if(ORV_WINDOWS_ICON)
        set(CPACK_NSIS_MUI_ICON ${ORV_WINDOWS_ICON})
        set(CPACK_NSIS_MUI_UNIICON ${ORV_WINDOWS_ICON})
    endif()
    # The .ORV file type: its own class, so that uninstalling takes back only what this added
    # (another program may have taken .ORV over since, and keeps it).
    set(_orv_install [=[
  WriteRegStr HKCR "ORVPro.Configuration" "" "ORV Pro Configuration File"
  WriteRegStr HKCR "ORVPro.Configuration\DefaultIcon" "" "$INSTDIR\orv-config.exe,0"
  WriteRegStr HKCR "ORVPro.Configuration\shell\open\command" "" '"$INSTDIR\orv-config.exe" "%1"'
  WriteRegStr HKCR ".ORV" "" "ORVPro.Configuration"
  WriteRegStr HKCR ".ORV\OpenWithProgids" "ORVPro.Configuration" ""
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
]=])
    set(_orv_uninstall [=[
  ReadRegStr $0 HKCR ".ORV" ""
  StrCmp $0 "ORVPro.Configuration" 0 +2
    DeleteRegValue HKCR ".ORV" ""
  DeleteRegValue HKCR ".ORV\OpenWithProgids" "ORVPro.Configuration"
  DeleteRegKey /ifempty HKCR ".ORV\OpenWithProgids"
  DeleteRegKey /ifempty HKCR ".ORV"
  DeleteRegKey HKCR "ORVPro.Configuration"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
]=])
    # CPack copies these into its configuration file as they are, inside double quotes.
    foreach(_part install uninstall)
        string(REPLACE "\\" "\\\\" _orv_${_part} "${_orv_${_part}}")
        string(REPLACE "\"" "\\\"" _orv_${_part} "${_orv_${_part}}")
    endforeach()
    set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "${_orv_install}")
    set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${_orv_uninstall}")
endif()
include(CPack)
