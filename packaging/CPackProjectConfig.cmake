# Runs when cpack starts. The autostart entry's place is fixed when the tree is configured, so a
# package from a tree configured for /usr/local would put it where no session looks.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_COLLOQUA_INSTALL_PREFIX STREQUAL "/usr")
    message(FATAL_ERROR "The Debian package needs a tree configured with -DCMAKE_INSTALL_PREFIX=/usr "
        "(it is ${CPACK_COLLOQUA_INSTALL_PREFIX}); scripts/package.sh does that.")
endif()
