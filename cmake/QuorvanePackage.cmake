# Installation and the Debian package.
#
#   cmake --install build --prefix P   lays out the packaged layout that the program recognises:
#       P/bin/quorvane-player, P/share/quorvane-player/assets/ (with version.info) and
#       P/share/quorvane-player/web-ui/dist/.
#   bash tools/package.sh              makes build/quorvane-player_<version>_<arch>.deb (CPack), which
#       installs to /usr and also ships the systemd unit and /etc/default/quorvane-player. Those two
#       belong to the component "service", installed into the package only: a plain install into a
#       prefix must never write to the machine's /etc.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/QuorvaneVersion.cmake)

# Packaging needs the installed targets only (tools/package.sh builds them), not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
set(QUORVANE_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/quorvane-player)
set(QUORVANE_PACKAGE_MAINTAINER "Quorvane Player maintainers <player@quorvane.com>" CACHE STRING
    "Maintainer field of the Debian package")

# Written by every build, so that a new commit shows in the version without configuring again.
add_custom_target(version_info ALL
  COMMAND ${CMAKE_COMMAND} -DBASE=${PROJECT_VERSION} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DOUTPUT=${PROJECT_BINARY_DIR}/version.info -P ${PROJECT_SOURCE_DIR}/cmake/QuorvaneVersion.cmake
  BYPRODUCTS ${PROJECT_BINARY_DIR}/version.info
  COMMENT "Writing version.info"
  VERBATIM)

install(TARGETS quorvane-player RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/assets/ DESTINATION ${QUORVANE_SHARE_DIR}/assets PATTERN version.info EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/version.info DESTINATION ${QUORVANE_SHARE_DIR}/assets)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/web-ui/dist/ DESTINATION ${QUORVANE_SHARE_DIR}/web-ui/dist)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/QuorvaneWindowsInstaller.cmake)
  return()
endif()
if(NOT UNIX OR APPLE)
  return()
endif()

# Documentation that Debian asks of every package: the copyright, a changelog and a manual page, the
# last two compressed reproducibly.
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
foreach(doc changelog quorvane-player.1)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND sh -c "gzip -9n < '${packaging}/${doc}' > '${PROJECT_BINARY_DIR}/packaging/${doc}.gz'"
    DEPENDS ${packaging}/${doc}
    VERBATIM)
endforeach()
add_custom_target(packaging_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz
                                             ${PROJECT_BINARY_DIR}/packaging/quorvane-player.1.gz)
install(FILES ${packaging}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvane-player)
install(FILES ${PROJECT_BINARY_DIR}/packaging/quorvane-player.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

find_package(PkgConfig REQUIRED)
pkg_get_variable(QUORVANE_SYSTEMD_UNIT_DIR systemd systemdsystemunitdir)
if(NOT QUORVANE_SYSTEMD_UNIT_DIR)
  set(QUORVANE_SYSTEMD_UNIT_DIR /lib/systemd/system)
endif()
install(FILES ${packaging}/quorvane-player.service DESTINATION ${QUORVANE_SYSTEMD_UNIT_DIR}
        COMPONENT service EXCLUDE_FROM_ALL)
install(FILES ${packaging}/quorvane-player.default DESTINATION /etc/default RENAME quorvane-player
        COMPONENT service EXCLUDE_FROM_ALL)

# Debian's name of the architecture built for (amd64, arm64), not the build machine's, which cpack would
# take; the package's tests look for the file it names.
execute_process(COMMAND dpkg-architecture -t${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                OUTPUT_VARIABLE QUORVANE_DEB_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT QUORVANE_DEB_ARCHITECTURE)
  message(FATAL_ERROR "dpkg-architecture does not know ${CMAKE_LIBRARY_ARCHITECTURE} (package dpkg-dev)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${QUORVANE_DEB_ARCHITECTURE})
set(CPACK_PACKAGE_NAME quorvane-player)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "school bell and signal player")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Rings a school's bells from timetables, keeps a regional calendar of holidays\n"
    "and school breaks up to date, plays signals, announcements and an alarm on\n"
    "request, and is configured from a browser through its own web server. It runs\n"
    "as the systemd service quorvane-player.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
# The libraries come from dpkg-shlibdeps; the players, the certificate store and the user tools are run.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, mpg123, alsa-utils, ca-certificates, ssl-cert")
# Only the emergency routines' spoken sentences need it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "espeak-ng")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging}/debian/postinst ${packaging}/debian/prerm
                                       ${packaging}/debian/postrm ${packaging}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# One package holding the program and the service component.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified service)
# The package's version is the one the build wrote into version.info, read when cpack runs.
set(CPACK_QUORVANE_VERSION_FILE ${PROJECT_BINARY_DIR}/version.info)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/QuorvaneCPackVersion.cmake)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR})
include(CPack)
