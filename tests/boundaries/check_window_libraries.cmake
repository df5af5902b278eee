# The window starts without the libraries of the device links and the description download
# (app/modules.h): none of them may be among what the program needs to start, directly or
# through another library. Run as
#   cmake -DPROGRAM=<path of vant-conf> -P check_window_libraries.cmake
set(loaded_on_use Qt6Network Qt6SerialPort hidapi udev gssapi krb5 proxy)
file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES ${PROGRAM}
    RESOLVED_DEPENDENCIES_VAR resolved
    UNRESOLVED_DEPENDENCIES_VAR unresolved)
if(unresolved)
    message(FATAL_ERROR "${PROGRAM}: libraries not found: ${unresolved}")
endif()
set(failures 0)
foreach(library IN LISTS resolved)
    get_filename_component(name ${library} NAME)
    foreach(pattern IN LISTS loaded_on_use)
        if(name MATCHES "^lib${pattern}")
            message(SEND_ERROR "${PROGRAM} needs ${name} at start; it belongs in a module loaded on first use")
            math(EXPR failures "${failures} + 1")
        endif()
    endforeach()
endforeach()
if(failures EQUAL 0)
    list(LENGTH resolved count)
    message(STATUS "${count} libraries at start, none of the device links or the download")
endif()
