# Where `cmake --install` puts things, by the GNU and freedesktop.org
# conventions, and the install components:
#
#   cli       vekdc-cli, its man page and bash completion
#   desktop   vekdc, its man page, desktop entry, MIME package, icons,
#             AppStream metadata and translations
#   doc       the README files
#
# The Debian package (cmake/package.cmake) holds all of them; one component
# alone installs with `cmake --install build --component cli`.

# Debian keeps a package's documents under the package's name, which is lower case.
set(CMAKE_INSTALL_DOCDIR share/doc/vekdc CACHE PATH "Documentation (DATAROOTDIR/doc/vekdc)")
include(GNUInstallDirs)

set(VEKDC_INSTALL_APPLICATIONSDIR ${CMAKE_INSTALL_DATADIR}/applications)
set(VEKDC_INSTALL_METAINFODIR ${CMAKE_INSTALL_DATADIR}/metainfo)
set(VEKDC_INSTALL_MIMEDIR ${CMAKE_INSTALL_DATADIR}/mime/packages)
set(VEKDC_INSTALL_ICONDIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
set(VEKDC_INSTALL_BASHCOMPLETIONDIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# vekdc_install_man_page(<roff page> COMPONENT <component>)
# Installs a man page compressed, as Debian keeps them: foo.1 becomes
# MANDIR/man1/foo.1.gz. gzip -n leaves out the name and time, so the
# package's bytes do not depend on when it was built.
function(vekdc_install_man_page page)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "COMPONENT" "")
    get_filename_component(name ${page} NAME)
    get_filename_component(section ${page} LAST_EXT)
    string(SUBSTRING ${section} 1 -1 section)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND gzip -9nc ${page} > ${compressed}
        DEPENDS ${page}
        COMMENT "Compressing man page ${name}"
        VERBATIM)
    add_custom_target(man_${name} ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
        COMPONENT ${arg_COMPONENT})
endfunction()
