# Fails when a file of a core folder includes a header of a folder it may not use (a layer above
# it, a sibling, shell/, ui/, link/qt/ or link/win32/) or any Qt header. The allowed layers come
# from core_layers.cmake.
#   cmake -DSOURCE_DIR=<the src folder> -P check_layer_includes.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/core_layers.cmake)
if(NOT SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<src folder> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

set(problems "")
set(checked 0)
foreach(layer IN LISTS ORV_CORE_LAYERS)
    orv_layers_below(${layer} allowed)
    file(GLOB files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
    foreach(file IN LISTS files)
        math(EXPR checked "${checked} + 1")
        file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
        foreach(line IN LISTS includes)
            if(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*)>")
                string(APPEND problems "  ${file} includes Qt (<${CMAKE_MATCH_1}>)\n")
            elseif(line MATCHES "#[ \t]*include[ \t]*\"(([^\"/]+)/[^\"]*)\"")
                set(header ${CMAKE_MATCH_1})
                set(folder ${CMAKE_MATCH_2})
                if(header MATCHES "^link/(qt|win32)/")
                    set(folder "link/${CMAKE_MATCH_1}")
                endif()
                if(NOT folder IN_LIST allowed)
                    list(JOIN allowed ", " may)
                    string(APPEND problems
                        "  ${file} includes ${header}: ${layer} may use only ${may}\n")
                endif()
            endif()
        endforeach()
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "Includes across the layers (the table is in cmake/core_layers.cmake):\n"
        "${problems}")
endif()
message(STATUS "${checked} core files include only the layers below them.")
