# Debian package: cpack -G DEB, through the "deb" package preset, from the release build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qxconsoleticker)
set(CPACK_PACKAGE_VENDOR "The qxConsoleTicker developers")
set(CPACK_PACKAGE_CONTACT "The qxConsoleTicker developers <qxconsoleticker@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clock of its own for shell scripts, kept in exit codes")
set(CPACK_PACKAGE_DESCRIPTION
    "qxConsoleTicker counts the seconds since local midnight of 1 January 2023 and\n\
exits with that count, or with one byte of it, so that a shell script that can\n\
keep only exit codes can store a moment in four runs. Handed the four bytes\n\
back, it prints how long ago that moment was. The package includes a manual\n\
page and an example script for the save and report workflow.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# The package holds the uncompressed tool and script and the compressed manual page only.
set(CPACK_COMPONENTS_ALL runtime man_gz)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # qxconsoleticker_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# dpkg-shlibdeps works out Depends from the binary itself: the C library only.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
