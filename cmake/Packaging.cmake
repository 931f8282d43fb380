# The Debian package: `cpack --preset package` after building the `package` preset
# writes build/package/morvex_<version>_<arch>.deb holding everything `cmake --install`
# puts under /usr. Its dependencies are computed by dpkg-shlibdeps from the libraries
# the two programs link, not listed by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvex)
set(CPACK_PACKAGE_VENDOR "Vantoro Software")
set(CPACK_PACKAGE_CONTACT "Vantoro Software" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Morvex inspects and edits the navigation and menus of Blu-ray movie folders
(BDMV): index, movie objects, playlists, clip information, button sounds, BD-J
objects and Interactive Graphics menus. The package holds the desktop
application morvex and the command-line tool morvex-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MORVEX_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Menu labels are set in the system's sans-serif face unless the author names another.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-dejavu-core)

include(CPack)
