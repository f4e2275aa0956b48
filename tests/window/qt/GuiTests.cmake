# The helper library of the Qt window's tests and the way each is registered
# (headless, with its own settings and home folder, and a time limit so that
# nothing can wait forever on a dialog).
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_library(vekdc_gui_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/gui_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gui_test_support.h
)
target_include_directories(vekdc_gui_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(vekdc_gui_test_support PUBLIC vekdc_window_qt vekdc_platform_testing Qt6::Test)

# vekdc_add_gui_test(<name> <sources>...) builds gui_<name>, run as test gui.<name>.
function(vekdc_add_gui_test name)
    set(target gui_${name})
    add_executable(${target} ${ARGN})
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_link_libraries(${target} PRIVATE vekdc_gui_test_support)
    set(home ${CMAKE_CURRENT_BINARY_DIR}/${name}.home)
    set(runtime ${CMAKE_CURRENT_BINARY_DIR}/${name}.runtime)
    file(MAKE_DIRECTORY ${home} ${runtime})
    file(CHMOD ${runtime} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    add_test(NAME gui.${name} COMMAND ${target})
    set(environment
        QT_QPA_PLATFORM=offscreen
        HOME=${home}
        XDG_CONFIG_HOME=${home}/.config
        XDG_RUNTIME_DIR=${runtime}
    )
    set_tests_properties(gui.${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 180)
endfunction()
