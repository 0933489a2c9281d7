# cmake -DSVG=... -DICO=... -DRSVG=rsvg-convert -DMAGICK=convert -P windows_icon.cmake
# The Windows icon (.ico) of the editor and its files, drawn from the one SVG icon at the sizes
# Explorer, the taskbar and the Start menu ask for.
set(_pngs "")
foreach(size 16 20 24 32 40 48 64 256)
    set(_png "${ICO}.${size}.png")
    execute_process(COMMAND "${RSVG}" -w ${size} -h ${size} "${SVG}" -o "${_png}"
                    RESULT_VARIABLE _status)
    if(NOT _status EQUAL 0)
        message(FATAL_ERROR "${RSVG} could not draw ${SVG} at ${size} pixels")
    endif()
    list(APPEND _pngs "${_png}")
endforeach()
execute_process(COMMAND "${MAGICK}" ${_pngs} "${ICO}" RESULT_VARIABLE _status)
file(REMOVE ${_pngs})
if(NOT _status EQUAL 0)
    message(FATAL_ERROR "${MAGICK} could not make ${ICO}")
endif()
