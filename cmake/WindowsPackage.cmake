# The Windows download: vekdc-cli.exe (statically linked, so it runs without
# any DLL beyond the system's), README and the example key and files, as one
# zip made with `cpack` in the build folder.
install(TARGETS vekdc-cli RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vekdc-cli)
set(CPACK_SYSTEM_NAME windows-x86_64)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES TRUE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY TRUE)
include(CPack)
