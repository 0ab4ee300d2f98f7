# Packages of the release build: a .deb and an .rpm, through the package presets "deb", "rpm"
# and "package" (both). Each holds the tool, qxelapsed, the compressed manual pages and
# the shell completions, plus what its own distribution expects of a package: for Debian a
# machine-readable copyright file and a native changelog; for RPM the licence and a %changelog.
# Both are reproducible: every time stamp is SOURCE_DATE_EPOCH, which the CPack run takes from
# the last commit (see packaging/cpack-project-config.cmake.in).
set(CPACK_PACKAGE_NAME qxconsoleticker)
set(CPACK_PACKAGE_VENDOR "The qxConsoleTicker developers")
set(CPACK_PACKAGE_CONTACT "The qxConsoleTicker developers <qxconsoleticker@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clock of its own for shell scripts, kept in exit codes")
set(CPACK_PACKAGE_DESCRIPTION
    "qxConsoleTicker counts the seconds since local midnight of 1 January 2023 and\n\
exits with that count, or with one byte of it, so that a shell script that can\n\
keep only exit codes can store a moment in four runs. Handed the four bytes\n\
back, it prints how long ago that moment was. The package includes the manual\n\
pages, shell completions and qxelapsed, which saves a moment and reports on it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# Packages carry the dynamic build only: a distribution's fixes to the C library must reach the
# tool, and Debian policy (10.1) does not allow glibc linked statically. The static build ships
# in the tarballs of scripts/release.sh, so it has no package configuration.
if(QX_STATIC)
  return()
endif()

set(QX_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/qxconsoleticker)
set(QX_PACKAGE_DIR ${PROJECT_BINARY_DIR}/packaging)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE)

# Debian: changelog.gz, as a native package has it.
add_custom_command(OUTPUT ${QX_PACKAGE_DIR}/changelog.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/CHANGELOG > ${QX_PACKAGE_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG VERBATIM)
add_custom_target(qx_changelog ALL DEPENDS ${QX_PACKAGE_DIR}/changelog.gz)

# RPM: the same entries turned into %changelog form, newest first:
#   * Mon Dec 07 2026 Name <mail> - 1.0.0-1
#   - First line of an item
#     its continuation
set(QX_RPM_CHANGELOG "")
set(QX_RPM_ENTRY "")
foreach(line IN LISTS QX_CHANGELOG)
  if(line MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\) ")
    set(version ${CMAKE_MATCH_1})
  elseif(line MATCHES "^  \\* (.*)")
    string(APPEND QX_RPM_ENTRY "- ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^    (.*)")
    string(APPEND QX_RPM_ENTRY "  ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^ -- (.*)  ([A-Z][a-z][a-z]), ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ")
    string(APPEND QX_RPM_CHANGELOG "* ${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${CMAKE_MATCH_3} "
                                   "${CMAKE_MATCH_5} ${CMAKE_MATCH_1} - ${version}-1\n"
                                   "${QX_RPM_ENTRY}\n")
    set(QX_RPM_ENTRY "")
  endif()
endforeach()
file(WRITE ${QX_PACKAGE_DIR}/rpm-changelog "${QX_RPM_CHANGELOG}")

# Debian: the copyright file in the machine-readable format, its licence text taken from
# LICENSE, indented by one blank with "." for an empty line, as the format asks.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE QX_LICENSE_LINES)
set(QX_LICENSE_BODY "")
foreach(line IN LISTS QX_LICENSE_LINES)
  if(line MATCHES "^Copyright \\(c\\) (.*)")
    set(QX_COPYRIGHT_YEARS_AND_HOLDER ${CMAKE_MATCH_1})
  elseif(NOT line MATCHES "^MIT License" AND NOT (line STREQUAL "" AND QX_LICENSE_BODY STREQUAL ""))
    if(line STREQUAL "")
      set(line ".")
    endif()
    string(APPEND QX_LICENSE_BODY " ${line}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" QX_LICENSE_BODY "${QX_LICENSE_BODY}")
configure_file(packaging/copyright.in ${QX_PACKAGE_DIR}/copyright @ONLY)

install(FILES ${QX_PACKAGE_DIR}/copyright ${QX_PACKAGE_DIR}/changelog.gz
  DESTINATION ${QX_DOC_DIR} COMPONENT deb EXCLUDE_FROM_ALL)
list(TRANSFORM QX_COMMANDS PREPEND completions/_ OUTPUT_VARIABLE qx_zsh_files)
install(FILES ${qx_zsh_files} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions
  COMPONENT zsh_deb EXCLUDE_FROM_ALL)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/licenses/${CPACK_PACKAGE_NAME}
  COMPONENT rpm EXCLUDE_FROM_ALL)

# One package per generator, from the components that the project config file picks for it.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
configure_file(packaging/cpack-project-config.cmake.in ${QX_PACKAGE_DIR}/cpack-project-config.cmake
  @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${QX_PACKAGE_DIR}/cpack-project-config.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/cpack-pre-build.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/cpack-post-build.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # qxconsoleticker_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# dpkg-shlibdeps works out Depends from the binary itself: the C library only.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(CPACK_RPM_FILE_NAME RPM-DEFAULT)  # qxconsoleticker-<version>-<release>.<arch>.rpm
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
# RPM summaries start with a capital letter, Debian's synopses do not; the words are the same.
set(CPACK_RPM_PACKAGE_SUMMARY "Clock of its own for shell scripts, kept in exit codes")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_RELOCATABLE OFF)  # CPack makes RPMs relocatable unless told otherwise.
set(CPACK_RPM_CHANGELOG_FILE ${QX_PACKAGE_DIR}/rpm-changelog)
# Requires come from rpm's own scan of the binary: the C library only.
set(CPACK_RPM_PACKAGE_AUTOREQ ON)
# Folders that the system or the shells own; the package must not claim them.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/share/man /usr/share/man/man1 /usr/share/licenses /usr/share/bash-completion
    /usr/share/bash-completion/completions /usr/share/zsh /usr/share/zsh/site-functions
    /usr/share/fish /usr/share/fish/vendor_completions.d)
set(CPACK_RPM_USER_FILELIST "%license /usr/share/licenses/${CPACK_PACKAGE_NAME}/LICENSE")
# The Packager tag names the maintainers, as Maintainer does in the .deb.
# Reproducible RPMs: the build time and the file times are SOURCE_DATE_EPOCH and the build host a
# fixed name. No /usr/lib/.build-id links either: there is no debuginfo package for them to serve.
string(JOIN "\n" CPACK_RPM_SPEC_MORE_DEFINE
  "%define packager ${CPACK_PACKAGE_CONTACT}"
  "%define use_source_date_epoch_as_buildtime 1"
  "%define clamp_mtime_to_source_date_epoch 1"
  "%define source_date_epoch_from_changelog 0"
  "%define _buildhost reproducible"
  "%define _build_id_links none")

include(CPack)
