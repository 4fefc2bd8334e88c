# cpack-config.cmake: read by cpack when it makes the Debian package, after
# the build, so the package's version is the one packaging/version.cmake
# wrote for this very build (the commit may have changed since configuring).
include(${CPACK_OARGALA_VERSION_DIR}/version-vars.cmake)
set(CPACK_DEBIAN_PACKAGE_VERSION ${OARGALA_DEBIAN_VERSION})
