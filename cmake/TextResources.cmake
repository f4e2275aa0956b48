# The window's texts (desktop/texts.def) as Windows string resources: one
# STRINGTABLE in Japanese (language 1041) and one in English, text number
# 20000 + the text's place in the list (desktop::resource_id). A window that
# would rather load its texts with LoadString than take them from
# desktop::text() adds them to its program:
#
#   include(TextResources)
#   vekdc_text_resources(<target>)
#
# The script part (cmake -DDEF=<texts.def> -DRC=<texts.rc> -P TextResources.cmake)
# writes the resource script; it runs at build time whenever texts.def changes.
if(CMAKE_SCRIPT_MODE_FILE)
    file(STRINGS "${DEF}" lines ENCODING UTF-8 REGEX "^VEKDC_TEXT")
    set(string "\"([^\"\\\\]|\\\\.)*\"")
    set(japanese "")
    set(english "")
    set(number 20000)
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "^VEKDC_TEXT\\(([a-z0-9_]+), *(${string}), *(${string})\\)$")
            message(FATAL_ERROR "${DEF}: not one text on one line: ${line}")
        endif()
        string(APPEND japanese "    ${number}, ${CMAKE_MATCH_2}\n")
        string(APPEND english "    ${number}, ${CMAKE_MATCH_4}\n")
        math(EXPR number "${number} + 1")
    endforeach()
    file(WRITE "${RC}.new" "// Made from texts.def by TextResources.cmake: do not edit.\n"
        "#pragma code_page(65001)\n"
        "LANGUAGE 0x11, 0x01\nSTRINGTABLE\nBEGIN\n${japanese}END\n\n"
        "LANGUAGE 0x09, 0x01\nSTRINGTABLE\nBEGIN\n${english}END\n")
    file(RENAME "${RC}.new" "${RC}")
    return()
endif()

function(vekdc_text_resources target)
    set(def ${PROJECT_SOURCE_DIR}/desktop/texts.def)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_texts.rc)
    add_custom_command(OUTPUT ${rc}
        COMMAND ${CMAKE_COMMAND} -DDEF=${def} -DRC=${rc} -P ${PROJECT_SOURCE_DIR}/cmake/TextResources.cmake
        DEPENDS ${def} ${PROJECT_SOURCE_DIR}/cmake/TextResources.cmake
        COMMENT "Making the window's texts into string resources"
        VERBATIM)
    target_sources(${target} PRIVATE ${rc})
endfunction()
