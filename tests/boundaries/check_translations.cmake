# Every text of the program has its Russian translation: no entry is left unfinished, and
# none has been dropped from the program while still in the file.
file(READ "${TS_FILE}" ts)
string(REGEX MATCHALL "type=\"(unfinished|vanished|obsolete)\"" open "${ts}")
list(LENGTH open count)
if(count GREATER 0)
    message(FATAL_ERROR "${TS_FILE}: ${count} entries unfinished or no longer used; run the update_translations target and translate them")
endif()
