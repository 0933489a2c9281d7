# What the Windows builds need beyond the common build. With MinGW-w64 on Linux (preset windows):
# static programs, nlohmann-json and GoogleTest taken from the build machine's Debian packages
# (header-only, and sources), and the tests started under Wine with a private Wine prefix that one
# ctest fixture creates and keeps served for the whole run.

# The system headers without their rarely used parts and without min/max macros.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)

if(MINGW)
    # orv-cli.exe and the test programs run from a folder with no DLLs beside them.
    add_link_options(-static)
endif()

if(NOT CMAKE_CROSSCOMPILING)
    return()
endif()

# The editor links the static Qt that scripts/setup-windows-qt builds from Debian's sources into
# its cache folder (Debian ships no Qt for MinGW). Its installed files name the host tools and
# its own folder by absolute path, so the folder is used where it was built.
if(ORV_BUILD_GUI)
    if(NOT "$ENV{ORV_QT_MINGW_DIR}" STREQUAL "")
        set(_orv_qt_dir "$ENV{ORV_QT_MINGW_DIR}")
    elseif(NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
        set(_orv_qt_dir "$ENV{XDG_CACHE_HOME}/orv-config/qt-6.4.2-mingw64-static")
    else()
        set(_orv_qt_dir "$ENV{HOME}/.cache/orv-config/qt-6.4.2-mingw64-static")
    endif()
    set(ORV_QT_MINGW_DIR "${_orv_qt_dir}" CACHE PATH
        "Static Qt for MinGW-w64, as scripts/setup-windows-qt builds it")
    if(NOT EXISTS "${ORV_QT_MINGW_DIR}/orv-qt-stamp")
        message(FATAL_ERROR
            "There is no Qt for Windows in ${ORV_QT_MINGW_DIR}. Build it once with "
            "scripts/setup-windows-qt (about 12 minutes on 2 cores), or configure with "
            "-DORV_BUILD_GUI=OFF to build orv-cli.exe alone.")
    endif()
    list(PREPEND CMAKE_FIND_ROOT_PATH "${ORV_QT_MINGW_DIR}")
    list(PREPEND CMAKE_PREFIX_PATH "${ORV_QT_MINGW_DIR}")
    # moc, rcc and uic come from the build machine's Qt of the same version.
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
    enable_language(RC)
endif()

# nlohmann-json is header-only; expose only its own folder, never the build machine's /usr/include.
find_package(nlohmann_json 3 QUIET)
if(NOT TARGET nlohmann_json::nlohmann_json)
    find_path(ORV_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
              REQUIRED)
    set(_orv_json_include ${CMAKE_BINARY_DIR}/third-party/include)
    file(MAKE_DIRECTORY ${_orv_json_include})
    file(CREATE_LINK ${ORV_NLOHMANN_DIR}/nlohmann ${_orv_json_include}/nlohmann SYMBOLIC)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${_orv_json_include})
endif()

# GoogleTest from Debian's googletest sources, built for the target.
set(ORV_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
if(NOT EXISTS ${ORV_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources are missing in ${ORV_GOOGLETEST_SOURCE}: "
                        "install Debian's googletest package (scripts/setup does).")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ORV_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Wine: one private prefix in the build folder, created once by the fixture "wine_prefix" and
# served by a persistent wineserver until the fixture's clean-up ends it.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    message(FATAL_ERROR "Wine is missing: install Debian's wine64 package (scripts/setup does).")
endif()
set(ORV_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(ORV_WINE_ENVIRONMENT
    "WINEPREFIX=${ORV_WINE_PREFIX}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml="
    # Wine turns the arguments into Windows text by the locale; UTF-8 keeps every letter.
    "LC_ALL=C.UTF-8")
set(_orv_wine_script ${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh)

# orv_wine_test(test): test runs under Wine in the build's prefix.
function(orv_wine_test test)
    set_tests_properties(${test} PROPERTIES
        ENVIRONMENT "${ORV_WINE_ENVIRONMENT}" FIXTURES_REQUIRED wine_prefix)
endfunction()

function(orv_add_wine_fixture)
    add_test(NAME wine_prefix_start
             COMMAND ${_orv_wine_script} start ${CMAKE_CROSSCOMPILING_EMULATOR})
    add_test(NAME wine_prefix_stop
             COMMAND ${_orv_wine_script} stop ${CMAKE_CROSSCOMPILING_EMULATOR})
    set_tests_properties(wine_prefix_start PROPERTIES
        ENVIRONMENT "${ORV_WINE_ENVIRONMENT}" FIXTURES_SETUP wine_prefix TIMEOUT 180)
    set_tests_properties(wine_prefix_stop PROPERTIES
        ENVIRONMENT "${ORV_WINE_ENVIRONMENT}" FIXTURES_CLEANUP wine_prefix)
endfunction()
