# The description files that must validate against schema/vant-description.xsd: every
# description under confxml/ and docs/, and the test descriptions in tests/data (the
# deliberately broken ones in tests/data/schema-bad excepted). Value files, whose root is
# Configuration, are not descriptions.
function(shipped_descriptions source_dir out)
    file(GLOB_RECURSE candidates LIST_DIRECTORIES false
         "${source_dir}/confxml/*.xml" "${source_dir}/docs/*.xml" "${source_dir}/tests/data/*.xml")
    list(SORT candidates)
    set(files "")
    foreach(path IN LISTS candidates)
        if(path MATCHES "/tests/data/schema-bad/")
            continue()
        endif()
        file(READ "${path}" text)
        if(text MATCHES "<Configuration[ \t\r\n/>]")
            continue()
        endif()
        list(APPEND files "${path}")
    endforeach()
    set(${out} "${files}" PARENT_SCOPE)
endfunction()
