# The Debian package, made from the build tree with `cpack -G DEB`. The libraries the program
# links are found by dpkg-shlibdeps; what it loads at run time (GStreamer's plugins, Qt's
# platform and SVG plugins) is declared here.

set(KELPA_MAINTAINER "Kelpa maintainers <maintainers@users.noreply.c-seed-81bd44b5.example>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kelpa")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${KELPA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live video processing for a camera on a telescope")
# CPack puts the summary in front as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kelpa shows the live picture of a webcam or video camera at the telescope
beside a processed one. It stacks frames to pull faint planets, the Moon
and deep-sky objects out of the noise, stretches them with gain, black level
and gamma, removes the banding of cheap camera electronics, measures a chosen
area, finds and follows a guide star, and writes the frames asked for to disk
as BMP files. It also plays back recorded videos and has a headless mode for
scripts.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, libcfitsio10, libqt6widgets6, libqt6svg6, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

find_program(KELPA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KELPA_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    message(STATUS "dpkg-shlibdeps not found: the package declares only the run-time plugins")
endif()

include(CPack)
