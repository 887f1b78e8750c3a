# Installing tolvex, and its two packages: a Debian package made by CPack and
# a ZIP for Windows holding the 32-bit program. The version and the release
# date come from the top-level CMakeLists.txt.
#
#   cmake --install build [--prefix DIR]         program, manual, Linux sample
#   cmake --build build --target packages       build/packages/tolvex_*.deb
#                                               and tolvex-*-win32.zip
include(GNUInstallDirs)

set(TOLVEX_MAINTAINER "tolvex developers <tolvex@example.org>" CACHE STRING
  "The maintainer named in the Debian package and its changelog")

# The manual page, its plain-text form and the package's documents.
add_subdirectory(docs)

install(TARGETS tolvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The Linux sample configuration; the Windows one goes into the ZIP.
install(FILES examples/linux/tolvex.cfg DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the tolvex developers")
set(CPACK_PACKAGE_CONTACT "${TOLVEX_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS binkd)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "FidoNet file requests for a Binkley-style outbound
tolvex is a small console tool for a FidoNet point or node. It turns file
names (with wildcards, passwords and list files) and FidoNet addresses,
abbreviated ones completed from its configuration, into file requests in a
Binkley-style outbound: a line per file in each address's .req file, and
optionally an empty .clo flow file so that the mailer calls. It keeps a log
and never talks to the network; a mailer such as binkd fetches the files.")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
find_program(TOLVEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TOLVEX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/build-[^/]*/")
include(CPack)

set(packages_made ${CMAKE_BINARY_DIR}/packages/tolvex.deb.stamp)
add_custom_command(OUTPUT ${packages_made}
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${packages_made}
  DEPENDS tolvex tolvex_manual examples/linux/tolvex.cfg README.md
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Making the Debian package"
  VERBATIM)
set(package_outputs ${packages_made})

# The Windows ZIP: the static program, the Windows sample configuration, the
# manual as text and the README, the text files with CR LF line ends.
if(TARGET tolvex_win32)
  set(TOLVEX_WIN32_ZIP ${CMAKE_BINARY_DIR}/packages/tolvex-${PROJECT_VERSION}-win32.zip)
  add_custom_command(OUTPUT ${TOLVEX_WIN32_ZIP}
    COMMAND ${CMAKE_COMMAND}
      -DPROGRAM=${TOLVEX_WIN32_PROGRAM}
      -DCONFIGURATION=${CMAKE_SOURCE_DIR}/examples/windows/tolvex.cfg
      -DMANUAL_TEXT=${TOLVEX_MANUAL_TEXT}
      -DREADME=${CMAKE_SOURCE_DIR}/README.md
      -DSTAGE=${CMAKE_BINARY_DIR}/packages/win32
      -DZIP=${TOLVEX_WIN32_ZIP}
      -P ${CMAKE_SOURCE_DIR}/cmake/win32-zip.cmake
    DEPENDS tolvex_win32 ${TOLVEX_WIN32_PROGRAM} tolvex_manual examples/windows/tolvex.cfg README.md cmake/win32-zip.cmake
    COMMENT "Making tolvex-${PROJECT_VERSION}-win32.zip"
    VERBATIM)
  list(APPEND package_outputs ${TOLVEX_WIN32_ZIP})
endif()
add_custom_target(packages DEPENDS ${package_outputs})

if(TOLVEX_TESTS)
  add_subdirectory(tests/packaging)
endif()
