cmake_minimum_required(VERSION 3.22)
# Each module the window loads leaves what the program holds undefined (app/CMakeLists.txt):
# everything it leaves undefined must be defined by the program or by a library the module
# names, or loading it fails in front of the user. Run as
#   cmake -DPROGRAM=<vant-conf> -DMODULES=<module;...> -DNM=<nm> -P check_module_symbols.cmake

# The names a file defines for others, one a line, each line framed by line breaks.
function(defined_symbols file out)
    execute_process(COMMAND ${NM} -D --defined-only ${file} OUTPUT_VARIABLE text RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${NM} failed on ${file}")
    endif()
    string(REGEX REPLACE "[^\n]* ([^ @\n]+)[^\n]*\n" "\\1\n" text "${text}")
    set(${out} "\n${text}" PARENT_SCOPE)
endfunction()

defined_symbols(${PROGRAM} program)
set(failures 0)
foreach(module IN LISTS MODULES)
    file(GET_RUNTIME_DEPENDENCIES LIBRARIES ${module} RESOLVED_DEPENDENCIES_VAR libraries)
    set(available "${program}")
    foreach(library IN LISTS libraries)
        defined_symbols(${library} symbols)
        string(APPEND available "${symbols}")
    endforeach()
    execute_process(COMMAND ${NM} -D --undefined-only ${module} OUTPUT_VARIABLE text)
    string(REGEX MATCHALL "U [^\n]+" undefined "${text}")
    foreach(entry IN LISTS undefined)
        string(REGEX REPLACE "^U |@.*" "" name "${entry}")
        # The dynamic loader's own, and the weak hooks every library names.
        if(name MATCHES "^(__tls_get_addr|_ITM_.*|__gmon_start__|__cxa_finalize|_Jv_RegisterClasses)$")
            continue()
        endif()
        string(FIND "${available}" "\n${name}\n" at)
        if(at EQUAL -1)
            message(SEND_ERROR "${module}: ${name} is defined neither by the program nor by a library of the module")
            math(EXPR failures "${failures} + 1")
        endif()
    endforeach()
endforeach()
if(failures EQUAL 0)
    message(STATUS "every symbol the modules leave undefined is there when the program loads them")
endif()
