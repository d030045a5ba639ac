# `cpack -G DEB` in a build folder makes tarvel_<version>_amd64.deb. Its
# dependencies are worked out from the installed binaries (dpkg-shlibdeps),
# so the package asks for exactly the Qt and C++ libraries it links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvel)
set(CPACK_PACKAGE_VENDOR "Hollark Software")
set(CPACK_PACKAGE_CONTACT "Hollark Software <tarvel-support@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert daily price data into a MetaStock price database")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tarvel.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window-system plugins at run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The extended description; CPack puts the summary before it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarvel turns daily price data kept in delimited text files (comma, tab or
space separated; a date in one of twelve formats and up to six numbers a
row) into one new security of a MetaStock / CompuTrac price database, the
portfolio directory that charting and analysis programs read.

The package holds the desktop program tarvel and the command tarvel-cli,
which converts in scripts and batches, and lists and exports portfolios.")
# Directories the package creates are 0755 whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
