# What the schema accepts, the program loads: vant-conf-cli check succeeds on every
# shipped description and on the files of tests/data/schema-good, which use everything
# the schema allows.
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/descriptions.cmake)

shipped_descriptions("${SOURCE_DIR}" files)
set(failures "")
foreach(path IN LISTS files)
    execute_process(COMMAND ${CLI} check ${path}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        string(APPEND failures "${path}: vant-conf-cli check status ${status}\n${out}${err}")
    endif()
endforeach()
if(failures)
    message(FATAL_ERROR "${failures}")
endif()
list(LENGTH files count)
message(STATUS "${count} descriptions load")
