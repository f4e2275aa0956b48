# vekdc_program(<target> [WINDOW] [DESCRIPTION <text>])
#
# Gives a program what every VekDC program needs on its system. On Windows
# that is a resource script made for it from platform/win32/program.rc.in:
# the application manifest (UTF-8 code page, long paths) and the version
# information (project version, maker, copyright, DESCRIPTION as the file
# description). A WINDOW program's manifest also asks for per-monitor DPI
# awareness and the version 6 common controls, and it carries the texts
# Explorer shows for its verb and file type (platform/win32/shell_texts.rc).
# Elsewhere it does nothing.

# The version in the four numbers of Windows resources: 1.20 is 1.20.0.0.
set(VEKDC_VERSION_PARTS)
foreach(part MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
        list(APPEND VEKDC_VERSION_PARTS 0)
    else()
        list(APPEND VEKDC_VERSION_PARTS ${PROJECT_VERSION_${part}})
    endif()
endforeach()
list(JOIN VEKDC_VERSION_PARTS "." VEKDC_VERSION_QUAD)
list(JOIN VEKDC_VERSION_PARTS "," VEKDC_VERSION_COMMAS)

set(VEKDC_WIN32_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/platform/win32)

# The two manifests: one for console programs, one for window programs.
function(vekdc_make_manifest kind settings dependency)
    set(VEKDC_MANIFEST_WINDOW_SETTINGS "${settings}")
    set(VEKDC_MANIFEST_WINDOW_DEPENDENCY "${dependency}")
    configure_file(${VEKDC_WIN32_RESOURCE_DIR}/program.manifest.in
                   ${PROJECT_BINARY_DIR}/generated/${kind}.manifest @ONLY)
endfunction()
if(WIN32)
    vekdc_make_manifest(console "" "")
    vekdc_make_manifest(window "
      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>
      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>" "
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"
                        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>
    </dependentAssembly>
  </dependency>")
endif()

function(vekdc_program target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "WINDOW" "DESCRIPTION" "")
    if(NOT WIN32)
        return()
    endif()
    set(VEKDC_RESOURCE_NAME ${target})
    set(VEKDC_RESOURCE_DESCRIPTION "${arg_DESCRIPTION}")
    if(NOT arg_DESCRIPTION)
        set(VEKDC_RESOURCE_DESCRIPTION "${PROJECT_NAME} ${target}")
    endif()
    if(arg_WINDOW)
        set(VEKDC_RESOURCE_MANIFEST ${PROJECT_BINARY_DIR}/generated/window.manifest)
        target_sources(${target} PRIVATE ${VEKDC_WIN32_RESOURCE_DIR}/shell_texts.rc)
    else()
        set(VEKDC_RESOURCE_MANIFEST ${PROJECT_BINARY_DIR}/generated/console.manifest)
    endif()
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${VEKDC_WIN32_RESOURCE_DIR}/program.rc.in ${script} @ONLY)
    target_sources(${target} PRIVATE ${script})
    # windres does not see that the script includes the manifest.
    set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS ${VEKDC_RESOURCE_MANIFEST})
endfunction()
