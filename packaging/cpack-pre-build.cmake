# Run by cpack after it has installed the files into its staging folder and before it builds a
# package from them (CPACK_PRE_BUILD_SCRIPTS).
#
# rpmbuild only clamps file times that are later than SOURCE_DATE_EPOCH, so a file whose time is
# earlier (a source checked out, or a binary built, before the last commit) would keep it, and a
# package built from a working tree would differ from one built from a fresh clone. Touching
# every staged file and folder now puts them all past the epoch, where they are clamped to it.
file(GLOB_RECURSE qx_staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(path IN LISTS qx_staged)
  file(TOUCH_NOCREATE "${path}")
endforeach()
