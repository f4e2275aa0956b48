# The Windows download: vekdc-cli.exe (statically linked, so it runs without
# any DLL beyond the system's), README and the example key and files, as one
# zip made with `cpack` in the build folder. vekdc-cli.exe installs itself
# (CMAKE_INSTALL_BINDIR is the zip's top on Windows).
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/README.ja.md DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vekdc-cli)
set(CPACK_SYSTEM_NAME windows-x86_64)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES TRUE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY TRUE)
include(CPack)
