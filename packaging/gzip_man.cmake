# Compresses one manual page as Debian installs them (gzip -9, no name or time stamp, so that
# builds are reproducible): cmake -DIN=page.1 -DOUT=page.1.gz -P gzip_man.cmake
execute_process(COMMAND gzip -9 -n -c "${IN}" OUTPUT_FILE "${OUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE "${OUT}")
    message(FATAL_ERROR "gzip could not compress ${IN}")
endif()
