# A Debian package of what the install rules install (app/CMakeLists.txt):
#   cpack -G DEB            (in a build tree; writes tessaly-zipper_*.deb)
# Its dependencies are the distribution's packages of the libraries the
# programs link (zlib, FLTK, X11, the C and C++ run-time), found by
# dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tessaly-zipper)
set(CPACK_PACKAGE_VENDOR Tessaly)
set(CPACK_PACKAGE_CONTACT "Tessaly Data Zipper developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "packs the Tessaly data files into a split ZIP archive")
set(CPACK_PACKAGE_DESCRIPTION
    "tessaly-zipper finds the Tessaly data folder, packs its data files into
Orvane.zip beside it, split into volumes of 2 MiB, and lists the files to
send by e-mail. tzip puts the same archive engine on the command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
