# version.cmake: the one place the version everyone sees is made: --version,
# the manual page, the Debian package's version, the Windows README and the
# page's credits all read what this writes. Run on every build (the commit
# may have changed since configuring), it rewrites its files only when the
# text changes, so an unchanged version rebuilds nothing.
#   cmake -DSOURCE=DIR -DOUT=DIR -DVERSION=1.0.0 [-DCOMMIT=abc1234] -P version.cmake
# writes OUT/oargala_version.h, OUT/version.txt ("1.0.0 (abc1234)", with
# "+dirty" after the commit when tracked files differ from it) and
# OUT/version-vars.cmake (the same text, and the Debian package's version
# 1.0.0+git.abc1234). A source tree that is not its own git checkout (an
# unpacked tarball) names no commit unless COMMIT is given. Needs git only
# when there is a checkout.
if(NOT COMMIT)
  find_program(GIT git)
  if(GIT)
    execute_process(COMMAND ${GIT} -C ${SOURCE} rev-parse --show-toplevel
                    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  endif()
  # Only the tree's own repository names its commit, not one it was
  # unpacked into.
  if(GIT AND NOT failed)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE}" source_real)
  endif()
  if(GIT AND NOT failed AND top STREQUAL source_real)
    execute_process(COMMAND ${GIT} -C ${SOURCE} rev-parse --short=7 HEAD
                    OUTPUT_VARIABLE COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT} -C ${SOURCE} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(COMMIT AND changes)
      string(APPEND COMMIT "+dirty")
    endif()
  endif()
endif()

if(COMMIT)
  set(text "${VERSION} (${COMMIT})")
  string(REPLACE "+" "." debian_commit "${COMMIT}")
  set(debian "${VERSION}+git.${debian_commit}")
else()
  set(text "${VERSION}")
  set(debian "${VERSION}")
endif()

function(write_if_changed file content)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE ${file} "${content}")
endfunction()
write_if_changed(${OUT}/oargala_version.h "#define OARGALA_VERSION \"${text}\"\n")
write_if_changed(${OUT}/version.txt "${text}\n")
write_if_changed(${OUT}/version-vars.cmake
  "set(OARGALA_VERSION_TEXT \"${text}\")\nset(OARGALA_DEBIAN_VERSION \"${debian}\")\n")
