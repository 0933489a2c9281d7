# The downloads for Windows users, made by cpack in the build folder:
#   cpack -G NSIS   orv-config-<version>-win64-setup.exe: shows the project's terms, installs
#                   orv-config.exe and orv-cli.exe with a Start-menu entry, the .ORV file type (a
#                   double-click opens the editor with the file) and an uninstaller, and offers
#                   to run the editor; installing over the same or an older version replaces it
#                   without a question; "/S" installs (and uninstalls) silently
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
    # The installer's title and the Start-menu folder: the program's name, without a version.
    set(CPACK_NSIS_PACKAGE_NAME "ORV Pro Configuration")
    set(CPACK_PACKAGE_EXECUTABLES "orv-config" "ORV Pro Configuration")
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
    set(CPACK_NSIS_INSTALLED_ICON_NAME "orv-config.exe")
    set(CPACK_NSIS_MUI_FINISHPAGE_RUN "orv-config.exe")
    # The terms page shows the project's own text: that of the Debian package's copyright file.
    file(READ ${CMAKE_CURRENT_SOURCE_DIR}/packaging/copyright _copyright)
    if(NOT _copyright MATCHES "\nCopyright: ([^\n]*)\nLicense: [^\n]*\n(( +[^\n]*\n)+)")
        message(FATAL_ERROR "packaging/copyright has no Copyright and License paragraph")
    endif()
    set(_holder "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "\n +" " " _terms "${CMAKE_MATCH_2}")
    string(STRIP "${_terms}" _terms)
    set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_BINARY_DIR}/packaging/LICENSE.txt)
    file(WRITE ${CPACK_RESOURCE_FILE_LICENSE}
         "ORV Pro Configuration ${PROJECT_VERSION}\r\nCopyright: ${_holder}\r\n\r\n${_terms}\r\n")
    # CMake's own installer script, with what Windows users expect changed: no Uninstall
    # shortcut beside the program's (Settings, Apps uninstalls it); installing over the same or
    # an older version asks nothing, over a newer one it asks at the start; and no empty key of
    # the vendor's left in the registry. Each change must find its place, so that a newer
    # CMake's script is never taken half changed.
    file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in _nsis)
    set(_uninstall_key
        [=["Software\Microsoft\Windows\CurrentVersion\Uninstall\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@"]=])
    set(_vendor_key [=["Software\@CPACK_PACKAGE_VENDOR@\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@"]=])
    set(_from0 "  !include Sections.nsh\n")
    set(_to0 "  !include Sections.nsh\n  !include WordFunc.nsh\n")
    set(_from1 [=[  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Uninstall.lnk" "$INSTDIR\@CPACK_NSIS_UNINSTALL_NAME@.exe"
]=])
    set(_to1 "")
    set(_from2 "Function .onInit\n")
    set(_to2 "Function .onInit
  ReadRegStr $1 HKLM ${_uninstall_key} \"DisplayVersion\"
  StrCmp $1 \"\" orv_not_newer
  \${VersionCompare} \"$1\" \"@CPACK_PACKAGE_VERSION@\" $2
  StrCmp $2 \"1\" 0 orv_not_newer
  MessageBox MB_YESNO|MB_ICONQUESTION \\
  \"@CPACK_NSIS_PACKAGE_NAME@ $1, a newer version, is installed.$\\n$\\nReplace it with version @CPACK_PACKAGE_VERSION@?\" \\
  /SD IDYES IDYES orv_not_newer
  Abort
orv_not_newer:
")
    set(_from3 "  DeleteRegKey /ifempty SHCTX ${_vendor_key}\n")
    set(_to3 "${_from3}  DeleteRegKey /ifempty SHCTX \"Software\\@CPACK_PACKAGE_VENDOR@\"\n")
    foreach(_k 0 1 2 3)
        string(FIND "${_nsis}" "${_from${_k}}" _at)
        if(_at EQUAL -1)
            message(FATAL_ERROR "CMake's NSIS template has changed; not found:\n${_from${_k}}")
        endif()
        string(REPLACE "${_from${_k}}" "${_to${_k}}" _nsis "${_nsis}")
    endforeach()
    set(_nsis_dir ${CMAKE_BINARY_DIR}/packaging/nsis)
    file(WRITE ${_nsis_dir}/NSIS.template.in "${_nsis}")
    set(CPACK_MODULE_PATH ${CMAKE_MODULE_PATH} ${_nsis_dir})
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
    # An earlier installation goes first, by its own uninstaller (which takes back its shortcuts,
    # file type and registry entries), once the user has chosen to install: cancelling the
    # installer leaves it as it was.
    set(_orv_preinstall [=[
  ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORV Pro Configuration" "UninstallString"
  StrCmp $0 "" orv_no_earlier
  StrCpy $1 $0 1 0
  StrCmp $1 '"' 0 +2
    StrCpy $0 $0 "" 1
  StrCpy $1 $0 1 -1
  StrCmp $1 '"' 0 +2
    StrCpy $0 $0 -1
  StrLen $1 "\Uninstall.exe"
  StrCpy $2 $0 -$1
  ExecWait '"$0" /S _?=$2'
orv_no_earlier:
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
    foreach(_part preinstall install uninstall)
        string(REPLACE "\\" "\\\\" _orv_${_part} "${_orv_${_part}}")
        string(REPLACE "\"" "\\\"" _orv_${_part} "${_orv_${_part}}")
    endforeach()
    set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "${_orv_preinstall}")
    set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "${_orv_install}")
    set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${_orv_uninstall}")
endif()
include(CPack)
