# The headless core: one static library per folder of src/, orv_<folder>, each linking only the
# layers below it, so that a call into a layer above fails to link. The table below is the one
# statement of which layer may use which: the libraries link by it, and the layer_includes test
# checks every #include of the core against it. Included by the program's build and the fuzz build.

# Lowest first. Each layer names the layers it uses directly; what those use comes along.
set(ORV_CORE_LAYERS base model image validate files link report)
set(ORV_LAYER_USES_base "")
set(ORV_LAYER_USES_model base)
set(ORV_LAYER_USES_image model)
set(ORV_LAYER_USES_validate model)
set(ORV_LAYER_USES_files image)
set(ORV_LAYER_USES_link image)
set(ORV_LAYER_USES_report image)

get_filename_component(ORV_CORE_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)

# orv_core_library(layer source...): orv_<layer> from sources of src/<layer>; called by the
# folder's own CMakeLists.txt.
function(orv_core_library layer)
    add_library(orv_${layer} STATIC ${ARGN})
    target_include_directories(orv_${layer} PUBLIC ${ORV_CORE_SOURCE_DIR})
    foreach(used IN LISTS ORV_LAYER_USES_${layer})
        target_link_libraries(orv_${layer} PUBLIC orv_${used})
    endforeach()
endfunction()

# Every core library, with the compile options in effect where this is called, and orv_core, an
# interface target naming them all for the programs that use the whole core.
function(orv_add_core_layers)
    add_library(orv_core INTERFACE)
    foreach(layer IN LISTS ORV_CORE_LAYERS)
        add_subdirectory(${ORV_CORE_SOURCE_DIR}/${layer} ${CMAKE_BINARY_DIR}/src/${layer})
        target_link_libraries(orv_core INTERFACE orv_${layer})
    endforeach()
endfunction()

# The layers layer may include: itself and everything below what it uses.
function(orv_layers_below layer out)
    set(reach ${layer})
    set(todo ${ORV_LAYER_USES_${layer}})
    while(todo)
        list(POP_FRONT todo next)
        if(NOT next IN_LIST reach)
            list(APPEND reach ${next})
            list(APPEND todo ${ORV_LAYER_USES_${next}})
        endif()
    endwhile()
    set(${out} ${reach} PARENT_SCOPE)
endfunction()
