# The download for Windows users: "cpack -G ZIP" in the build folder makes
# orv-cli-<version>-win64.zip with orv-cli.exe (static: it needs no DLLs) and a short README.txt.
if(NOT TARGET orv-cli)
    return()
endif()
install(TARGETS orv-cli RUNTIME DESTINATION .)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)

set(CPACK_GENERATOR "ZIP")
set(CPACK_PACKAGE_NAME "orv-cli")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORV Pro Configuration developers")
set(CPACK_PACKAGE_FILE_NAME "orv-cli-${PROJECT_VERSION}-win64")
set(CPACK_STRIP_FILES ON)
include(CPack)
