# Where an install puts each file; packaging/files.txt lists them all, for every channel.
include(GNUInstallDirs)
# Folders that the install creates are 0755 whatever the umask, so packages do not vary with it.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The shells' completion folders. bash-completion and fish look under their own prefix, and zsh
# in share/zsh/site-functions under its prefix and /usr/local; only Debian's zsh also looks in
# share/zsh/vendor-completions, which is where a Debian package puts its files.
set(QX_BASH_COMPLETION_DIR ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
  CACHE STRING "Where bash-completion finds completions, under the prefix")
set(QX_ZSH_COMPLETION_DIR ${CMAKE_INSTALL_DATAROOTDIR}/zsh/site-functions
  CACHE STRING "Where zsh finds completions, under the prefix (Debian: share/zsh/vendor-completions)")
set(QX_FISH_COMPLETION_DIR ${CMAKE_INSTALL_DATAROOTDIR}/fish/vendor_completions.d
  CACHE STRING "Where fish finds completions, under the prefix")

# Before any file goes in, install_folders.txt, beside CMake's install_manifest.txt, gets the
# folders that this install will make, and keeps those of an earlier install that are still
# there (not those of a prefix since removed), so that an uninstall can remove them and no
# folder that was there before. QX_INSTALL_DIRS names every destination below.
set(QX_INSTALL_DIRS ${CMAKE_INSTALL_BINDIR} ${QX_BASH_COMPLETION_DIR} ${QX_ZSH_COMPLETION_DIR}
  ${QX_FISH_COMPLETION_DIR} ${CMAKE_INSTALL_MANDIR}/man1)
install(CODE "
  set(record \"${PROJECT_BINARY_DIR}/install_folders.txt\")
  set(made)
  if(EXISTS \"\${record}\")
    file(STRINGS \"\${record}\" earlier)
    foreach(dir IN LISTS earlier)
      if(IS_DIRECTORY \"\${dir}\")
        list(APPEND made \"\${dir}\")
      endif()
    endforeach()
  endif()
  foreach(dir IN ITEMS ${QX_INSTALL_DIRS})
    cmake_path(ABSOLUTE_PATH dir BASE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    while(NOT IS_DIRECTORY \"\${dir}\")
      list(APPEND made \"\${dir}\")
      cmake_path(GET dir PARENT_PATH dir)
    endwhile()
  endforeach()
  list(REMOVE_DUPLICATES made)
  list(TRANSFORM made APPEND \"\\n\")
  list(JOIN made \"\" made)
  file(WRITE \"\${record}\" \"\${made}\")")

install(TARGETS qxConsoleTicker RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS elapsed/qxelapsed DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (cmake --install --strip) also drops the compiler's version notes,
# as Debian's own packaging does; nothing reads them at run time.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/qxConsoleTicker\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")

foreach(command IN ITEMS qxConsoleTicker qxelapsed)
  install(FILES completions/${command}.bash RENAME ${command} DESTINATION ${QX_BASH_COMPLETION_DIR})
  install(FILES completions/_${command} DESTINATION ${QX_ZSH_COMPLETION_DIR})
  install(FILES completions/${command}.fish DESTINATION ${QX_FISH_COMPLETION_DIR})
  # The manual pages take their version and date from project() and CHANGELOG, not from the
  # build's date; the packages' tools compress them.
  configure_file(man/${command}.1.in ${PROJECT_BINARY_DIR}/generated/${command}.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/generated/${command}.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
