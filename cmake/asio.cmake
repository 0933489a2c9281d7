# Standalone Asio (Debian's libasio-dev), header-only: sockets and timers of the device server
# link (src/link/net) on Linux and, cross-built, on Windows.
find_path(ORV_ASIO_INCLUDE_DIR asio.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT ORV_ASIO_INCLUDE_DIR)
    message(FATAL_ERROR "Asio is missing: install Debian's libasio-dev (scripts/setup does).")
endif()
add_library(orv_asio INTERFACE)
target_compile_definitions(orv_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
if(CMAKE_CROSSCOMPILING)
    # Only Asio's own headers, never the build machine's /usr/include.
    set(_orv_asio_include ${CMAKE_BINARY_DIR}/third-party/asio-include)
    file(MAKE_DIRECTORY ${_orv_asio_include})
    file(CREATE_LINK ${ORV_ASIO_INCLUDE_DIR}/asio ${_orv_asio_include}/asio SYMBOLIC)
    file(CREATE_LINK ${ORV_ASIO_INCLUDE_DIR}/asio.hpp ${_orv_asio_include}/asio.hpp SYMBOLIC)
    target_include_directories(orv_asio SYSTEM INTERFACE ${_orv_asio_include})
elseif(NOT ORV_ASIO_INCLUDE_DIR STREQUAL "/usr/include")
    target_include_directories(orv_asio SYSTEM INTERFACE ${ORV_ASIO_INCLUDE_DIR})
endif()
if(WIN32)
    # Windows 7 and later; Winsock and its extensions.
    target_compile_definitions(orv_asio INTERFACE _WIN32_WINNT=0x0601)
    target_link_libraries(orv_asio INTERFACE ws2_32 mswsock)
endif()
if(ORV_SANITIZE_THREAD)
    # Asio orders its handler hand-over with plain fences, which the thread sanitizer cannot
    # follow (GCC refuses them there). Each port runs its own I/O context on one thread, so the
    # sanitizer build leaves the fences out and checks every real hand-over between threads.
    target_compile_definitions(orv_asio INTERFACE ASIO_DISABLE_FENCED_BLOCK)
endif()
