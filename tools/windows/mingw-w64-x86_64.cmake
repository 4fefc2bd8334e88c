# CMake toolchain file: cross-builds for 64-bit Windows with Debian's mingw-w64
# (posix thread model, so std::thread works). Libraries are searched only in
# the mingw sysroot and in OARGALA_WINDOWS_DEPS (the cross-built libraries),
# never among the build machine's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(tool_prefix x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${tool_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tool_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${tool_prefix}-windres)

# Checks in try_compile projects see the same library folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OARGALA_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${tool_prefix} ${OARGALA_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(OARGALA_WINDOWS_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${OARGALA_WINDOWS_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
