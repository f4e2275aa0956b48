# The Windows downloads, both made by the build in the build folder:
#
#   vekdc-VERSION-windows-x86_64.msi  the installer (cmake/make-msi.cmake,
#                                     packaging/windows/vekdc.wxs), made with
#                                     wixl when msitools is installed
#   vekdc-VERSION-windows-x86_64.zip  the same files without an installer,
#                                     with a short quick start, made by `cpack`
#
# They hold vekdc-cli.exe and, when the window program is built, vekdc.exe
# (both statically linked, so they need no DLL beyond the system's), the
# README files and the example key and files. The programs install
# themselves (CMAKE_INSTALL_BINDIR is the top on Windows).
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/README.ja.md DESTINATION .
        COMPONENT doc)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples COMPONENT examples)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/QUICKSTART.txt
              ${PROJECT_SOURCE_DIR}/packaging/windows/QUICKSTART.ja.txt
        DESTINATION . COMPONENT quickstart)
set(VEKDC_MSI_COMPONENTS cli doc examples)
set(VEKDC_MSI_WINDOW no)
if(TARGET vekdc)
    install(TARGETS vekdc RUNTIME DESTINATION . COMPONENT window)
    list(APPEND VEKDC_MSI_COMPONENTS window)
    set(VEKDC_MSI_WINDOW yes)
endif()

set(VEKDC_PACKAGE_BASENAME vekdc-${PROJECT_VERSION}-windows-x86_64)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vekdc)
set(CPACK_PACKAGE_FILE_NAME ${VEKDC_PACKAGE_BASENAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES TRUE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY TRUE)
include(CPack)

# The MSI. Windows Installer takes three numbers of the version (1.20.0).
find_program(VEKDC_WIXL wixl)
find_program(VEKDC_WIXL_HEAT wixl-heat)
find_program(VEKDC_MSIBUILD msibuild)
if(NOT VEKDC_WIXL OR NOT VEKDC_WIXL_HEAT OR NOT VEKDC_MSIBUILD)
    message(WARNING "wixl or msibuild not found: no MSI is made (./setup.sh windows installs "
                    "the Debian packages wixl and msitools)")
    return()
endif()
list(SUBLIST VEKDC_VERSION_PARTS 0 3 msi_version_parts)
list(JOIN msi_version_parts "." VEKDC_MSI_VERSION)
file(STRINGS ${PROJECT_SOURCE_DIR}/platform/win32/shell_texts.h verb_line
     REGEX "define VEKDC_IDS_DECODE_VERB ")
file(STRINGS ${PROJECT_SOURCE_DIR}/platform/win32/shell_texts.h type_line
     REGEX "define VEKDC_IDS_ENCRYPTED_FILE_TYPE ")
string(REGEX REPLACE ".* ([0-9]+)$" "\\1" VEKDC_VERB_TEXT_ID "${verb_line}")
string(REGEX REPLACE ".* ([0-9]+)$" "\\1" VEKDC_TYPE_TEXT_ID "${type_line}")

string(REPLACE ";" "," msi_components "${VEKDC_MSI_COMPONENTS}")
# Never changes: it makes every VekDC MSI replace the VekDC installed before.
set(VEKDC_MSI_UPGRADE_CODE 2C18F04F-865F-4C31-979E-25F522337691)

# Everything the MSI is made with, so that the one in the build folder is
# always that of this build. Also used by the installation test, which makes
# a newer one to upgrade to.
set(VEKDC_MSI ${PROJECT_BINARY_DIR}/${VEKDC_PACKAGE_BASENAME}.msi)
set(VEKDC_MAKE_MSI
    ${CMAKE_COMMAND} -D BUILD_DIR=${PROJECT_BINARY_DIR}
    -D WXS=${PROJECT_SOURCE_DIR}/packaging/windows/vekdc.wxs
    -D UPGRADE_CODE=${VEKDC_MSI_UPGRADE_CODE}
    -D MAKER=${VEKDC_MAKER} "-D COMMENT=${VEKDC_PRODUCT_COMMENT}"
    -D COMPONENTS=${msi_components} -D WINDOW=${VEKDC_MSI_WINDOW}
    -D VERB_TEXT_ID=${VEKDC_VERB_TEXT_ID} -D TYPE_TEXT_ID=${VEKDC_TYPE_TEXT_ID}
    -D WIXL=${VEKDC_WIXL} -D WIXL_HEAT=${VEKDC_WIXL_HEAT} -D MSIBUILD=${VEKDC_MSIBUILD})
file(GLOB_RECURSE example_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*)
set(msi_programs vekdc-cli)
if(TARGET vekdc)
    list(APPEND msi_programs vekdc)
endif()
set(msi_inputs ${msi_programs} ${PROJECT_SOURCE_DIR}/cmake/make-msi.cmake
    ${PROJECT_SOURCE_DIR}/packaging/windows/vekdc.wxs
    ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/README.ja.md ${example_files})
add_custom_command(OUTPUT ${VEKDC_MSI}
    COMMAND ${VEKDC_MAKE_MSI} -D VERSION=${VEKDC_MSI_VERSION}
            -D STAGE_DIR=${PROJECT_BINARY_DIR}/msi-stage -D OUTPUT=${VEKDC_MSI}
            -P ${PROJECT_SOURCE_DIR}/cmake/make-msi.cmake
    DEPENDS ${msi_inputs}
    COMMENT "Making the MSI ${VEKDC_PACKAGE_BASENAME}.msi"
    VERBATIM)
add_custom_target(msi ALL DEPENDS ${VEKDC_MSI})

# The installation test (tests/windows/msi_test.sh): the MSI installed,
# upgraded to a newer one made from the same files, and removed under wine.
if(VEKDC_BUILD_TESTS AND NOT VEKDC_FUZZ)
    list(GET msi_version_parts 2 patch)
    math(EXPR patch "${patch} + 1")
    list(GET msi_version_parts 0 1 newer_version_parts)
    list(APPEND newer_version_parts ${patch})
    list(JOIN newer_version_parts "." newer_version)
    set(newer_msi ${PROJECT_BINARY_DIR}/tests/vekdc-${newer_version}-upgrade-test.msi)
    add_custom_command(OUTPUT ${newer_msi}
        COMMAND ${VEKDC_MAKE_MSI} -D VERSION=${newer_version}
                -D STAGE_DIR=${PROJECT_BINARY_DIR}/tests/msi-stage-upgrade -D OUTPUT=${newer_msi}
                -P ${PROJECT_SOURCE_DIR}/cmake/make-msi.cmake
        DEPENDS ${msi_inputs}
        COMMENT "Making a newer MSI for the upgrade test"
        VERBATIM)
    # After the MSI, never beside it: both run the build's install step,
    # which writes its manifest into the build folder.
    add_custom_target(msi_upgrade_test ALL DEPENDS ${newer_msi})
    add_dependencies(msi_upgrade_test msi)
    add_test(NAME msi_install
             COMMAND sh ${PROJECT_SOURCE_DIR}/tests/windows/msi_test.sh ${VEKDC_MSI} ${newer_msi}
                     ${VEKDC_MSI_VERSION} ${newer_version} ${VEKDC_MSI_WINDOW}
                     ${PROJECT_SOURCE_DIR}/examples ${CMAKE_CROSSCOMPILING_EMULATOR})
    set_tests_properties(msi_install PROPERTIES TIMEOUT 600)
endif()
