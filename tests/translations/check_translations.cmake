# Fails when the English translation is not complete and current: lupdate is
# run over the sources into a copy of the .ts file, which must come out
# unchanged (no text added, changed or removed since the file was renewed),
# and no entry may be unfinished, vanished or obsolete.
#
#   cmake -DLUPDATE_COMMAND=<lupdate and its options> -DTS_FILE=<.ts>
#         -DWORK_DIR=<scratch folder> -P check_translations.cmake
foreach(variable LUPDATE_COMMAND TS_FILE WORK_DIR)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "${variable} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
get_filename_component(name ${TS_FILE} NAME)
set(copy ${WORK_DIR}/${name})
file(COPY_FILE ${TS_FILE} ${copy})
execute_process(COMMAND ${LUPDATE_COMMAND} -ts ${copy}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status}):\n${output}")
endif()

file(READ ${copy} renewed)
set(problems "")
foreach(kind unfinished vanished obsolete)
    string(REGEX MATCHALL "<source>[^<]*</source>[^<]*<translation type=\"${kind}\"" found
        "${renewed}")
    foreach(entry ${found})
        string(REGEX REPLACE "<source>([^<]*)</source>.*" "\\1" text "${entry}")
        string(APPEND problems "  ${kind}: ${text}\n")
    endforeach()
endforeach()
file(READ ${TS_FILE} committed)
if(NOT problems STREQUAL "" OR NOT renewed STREQUAL committed)
    message(FATAL_ERROR "${name} is not complete and current; renew it with the "
        "update_translations target and translate every entry.\n${problems}")
endif()
message(STATUS "${name}: every text translated")
