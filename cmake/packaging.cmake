# Man pages for the command-line programs (made from their --help and
# --version by help2man), the licence, and the Debian package:
#   cpack -G DEB     (in the build directory) -> platovix_<version>_<arch>.deb

find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(HELP2MAN AND GZIP)
  set(PLATOVIX_MAN_PAGES)
  foreach(program platovix-cli platovix-sim platovix-sila)
    if(NOT TARGET ${program})
      continue()
    endif()
    if(program STREQUAL "platovix-cli")
      set(summary "run a microplate photometer from scripts")
    elseif(program STREQUAL "platovix-sila")
      set(summary "serve a microplate photometer as a SiLA 2 server")
    else()
      set(summary "simulated microplate photometer on a pseudo-terminal")
    endif()
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
    # Debian keeps man pages compressed; -n leaves the time out of the file.
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --name=${summary} --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program}
      COMMENT "Writing the man page of ${program}"
      VERBATIM)
    list(APPEND PLATOVIX_MAN_PAGES ${page}.gz)
  endforeach()
  if(TARGET platovix)
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/platovix.1)
    configure_file(${CMAKE_CURRENT_SOURCE_DIR}/resources/platovix.1.in ${page} @ONLY)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${GZIP} -9nkf ${page}
      DEPENDS ${page}
      COMMENT "Writing the man page of platovix"
      VERBATIM)
    list(APPEND PLATOVIX_MAN_PAGES ${page}.gz)
  endif()
  add_custom_target(platovix_man_pages ALL DEPENDS ${PLATOVIX_MAN_PAGES})
  install(FILES ${PLATOVIX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man or gzip not found: no man pages")
endif()

# Debian's place for the licence of a package.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/platovix
        RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME platovix)
set(CPACK_PACKAGE_VENDOR "The Platovix developers")
set(CPACK_PACKAGE_CONTACT "The Platovix developers <platovix@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "run a 96-well microplate photometer over a serial line")
set(CPACK_PACKAGE_DESCRIPTION
    "Platovix measures 96-well microplates on a DigiScan, Jupiter or Expert photometer
connected to a serial port or a USB serial adapter: a desktop program (platovix),
a command line for scripts and LIMS jobs (platovix-cli), a SiLA 2 server for lab
automation (platovix-sila) and a simulated reader for trying it without an
instrument (platovix-sim). Licence: MIT.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # platovix_<version>_<arch>.deb
# Depends from the shared libraries the programs link (dpkg-shlibdeps, from
# dpkg-dev: without it CPack silently writes no Depends at all).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
