# "cpack -G DEB" in the build folder makes a Debian package of what "cmake --install" installs.
set(CPACK_PACKAGE_NAME velbrook)
set(CPACK_PACKAGE_VERSION ${VELBROOK_VERSION})
set(CPACK_PACKAGE_VENDOR "Velbrook maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manage an Android phone from the PC through adb")
set(CPACK_PACKAGE_DESCRIPTION "Velbrook manages one Android phone from the PC by running adb and aapt: \
a two-pane file manager for the phone and the PC, with APK files shown by their label, version and icon.")
set(CPACK_PACKAGE_CONTACT "Velbrook maintainers <maintainers@users.noreply.c-seed-65483f79.example>")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The tools run as child processes; the shared libraries are found by dpkg-shlibdeps and added to these.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adb, aapt")
find_program(VELBROOK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELBROOK_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    # Without it, name by hand the one library outside Qt that the program links.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, libzip4")
    message(STATUS "dpkg-shlibdeps not found (package dpkg-dev): the .deb will name only adb, aapt and libzip4")
endif()

include(CPack)
