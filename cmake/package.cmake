# The Debian package `vekdc`, built by CPack from the install rules:
#   ./setup.sh package        (or: cpack --config <build>/CPackConfig.cmake)
# Its version is the project version; dpkg-shlibdeps computes the libraries
# the programs need, and the desktop application adds what it needs at run
# time but does not link: a Japanese font, Qt's own translations and Qt's
# display plugins.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vekdc)
set(CPACK_PACKAGE_VENDOR ${VEKDC_MAKER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvinta <vekdc@orvinta.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "decoder of the Vek hierarchical encryption method")
set(CPACK_PACKAGE_DESCRIPTION
    "VekDC turns .vek files back into the files they were made from, with the
matching key file. Keys form a hierarchy: a master key opens every file that
any of its daughter keys opens.

The package holds vekdc, a desktop window with a tree of drives and folders,
and vekdc-cli, which decodes, encodes and makes keys on the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 2)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://orvinta.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VEKDC_BUILD_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n, qt6-qpa-plugins")
endif()
# Opens decoded files and the maker's page with the desktop's programs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)

include(CPack)
