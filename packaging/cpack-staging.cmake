# cpack-staging.cmake: run by cpack on the installed files just before it
# packs them (CPACK_PRE_BUILD_SCRIPTS). The folders above the installed
# files are made with the builder's umask (077 gives drwx------ in the
# package): set to 755 here, so the package is the same whoever builds it.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY "${entry}" AND NOT IS_SYMLINK "${entry}")
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
         WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
