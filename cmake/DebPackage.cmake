# The Debian package of both programs: `cpack --config build/CPackConfig.cmake`
# makes orvexcard_<version>_<arch>.deb from what `cmake --install` puts on a
# desktop (cmake/DesktopIntegration.cmake), plus the manual pages, the
# copyright and the changelog that a Debian package carries.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR NOT TARGET orvexcard OR NOT TARGET orvexcard-wizard)
  return()
endif()
include(GNUInstallDirs)

set(ORVEX_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/resources/package)
set(ORVEX_PACKAGE_BUILD ${CMAKE_BINARY_DIR}/generated/package)

# The changelog's newest entry names the version being packaged.
file(STRINGS ${ORVEX_PACKAGE_DIR}/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^orvexcard \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "resources/package/changelog: the newest entry is not ${PROJECT_VERSION}")
endif()

# Manual pages and the changelog, compressed the way Debian wants them: the
# most, and without a time stamp, so the same sources give the same bytes.
find_program(ORVEX_GZIP gzip REQUIRED)
set(sources)
set(compressed)
foreach(page orvexcard orvexcard-wizard)
  configure_file(${ORVEX_PACKAGE_DIR}/${page}.1.in ${ORVEX_PACKAGE_BUILD}/${page}.1 @ONLY)
  list(APPEND sources ${ORVEX_PACKAGE_BUILD}/${page}.1)
endforeach()
list(APPEND sources ${ORVEX_PACKAGE_DIR}/changelog)
foreach(source ${sources})
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${ORVEX_PACKAGE_BUILD}/${name}.gz
    COMMAND ${ORVEX_GZIP} -9nc ${source} > ${ORVEX_PACKAGE_BUILD}/${name}.gz
    DEPENDS ${source} VERBATIM)
  list(APPEND compressed ${ORVEX_PACKAGE_BUILD}/${name}.gz)
endforeach()
add_custom_target(orvex_package_docs ALL DEPENDS ${compressed})

install(FILES ${ORVEX_PACKAGE_BUILD}/orvexcard.1.gz ${ORVEX_PACKAGE_BUILD}/orvexcard-wizard.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ORVEX_PACKAGE_DIR}/copyright ${ORVEX_PACKAGE_BUILD}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvexcard)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvexcard)
set(CPACK_PACKAGE_VENDOR Tessovanwerk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tessovanwerk <orvexcard@tessovanwerk.example>")
# cpack installs under DESTDIR, so the install step leaves the desktop's
# caches to the package manager's triggers instead of packing them.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# cpack packs what the build made and never starts a build of its own (it
# runs the "preinstall" target, which would otherwise build everything).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_STRIP_FILES ON)  # the debug information stays in the build
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tessovanwerk.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the libraries the binaries link, by dpkg-shlibdeps
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS pcscd)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "wizard that prepares Orvex memory cards in a card reader
OrvexCard prepares the 16384-byte memory chip cards read by the maker's
drink and station playback devices: it detects the card in a PC/SC card
reader, identifies and verifies it, formats it and loads a .7kx sample
file onto it, in German or English.

orvexcard-wizard is the operator's window; orvexcard does the same from
the command line. Both also work with a simulated reader.")
include(CPack)
