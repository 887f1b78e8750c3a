# Installing tolvex, and its two packages: a Debian package made by CPack and
# a ZIP for Windows holding the 32-bit program. The version and the release
# date come from the top-level CMakeLists.txt.
#
#   cmake --install build [--prefix DIR]         program, manual, Linux sample
#   cmake --build build --target packages       build/packages/tolvex_*.deb
#                                               and tolvex-*-win32.zip
#
# Installed in the bin folder of the prefix it was built for, the program
# looks for its configuration, after its own folder, in that prefix's
# configuration folder, then in /etc; a copy anywhere else looks only in its
# own folder. The Debian package is for the prefix /usr (/usr/bin and /etc):
# it holds a program of its own, built so, the sample as /etc/tolvex.cfg, the
# sample's log folder (made by its postinst) and that log's rotation.
include(GNUInstallDirs)

set(TOLVEX_MAINTAINER "tolvex developers <tolvex@example.org>" CACHE STRING
  "The maintainer named in the Debian package and its changelog")

# The manual page, its plain-text form and the package's documents.
add_subdirectory(docs)

# The Linux sample configuration; the Windows one goes into the ZIP.
install(FILES examples/linux/tolvex.cfg DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cmake --install: the program, and the sample in the configuration folder
# the program looks in (another prefix's with --prefix), unless a
# configuration is there already.
install(TARGETS tolvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(CODE "set(tolvex_sample \"${CMAKE_CURRENT_SOURCE_DIR}/examples/linux/tolvex.cfg\")
  set(tolvex_config_folder \"${CMAKE_INSTALL_FULL_SYSCONFDIR}\")
  if(NOT CMAKE_INSTALL_PREFIX STREQUAL \"${CMAKE_INSTALL_PREFIX}\")
    set(tolvex_config_folder \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_SYSCONFDIR}\")
  endif()" COMPONENT program)
install(CODE [[
  if(EXISTS "$ENV{DESTDIR}${tolvex_config_folder}/tolvex.cfg")
    message(STATUS "Kept: $ENV{DESTDIR}${tolvex_config_folder}/tolvex.cfg")
  else()
    file(INSTALL "${tolvex_sample}" DESTINATION "${tolvex_config_folder}")
  endif()]] COMPONENT program)

# The Debian package: its own program, the sample as a configuration file of
# the package, kept on upgrade and removed on purge, and the rotation of the
# sample's log; its maintainer scripts make the log's folder and take the logs
# on purge.
# The package's installation folders stand in for the build's.
add_library(tolvex_installation_packaged OBJECT ${TOLVEX_PLATFORM_INSTALLATION_FILE})
target_include_directories(tolvex_installation_packaged PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(tolvex_installation_packaged PRIVATE TOLVEX_PROGRAM_FOLDER="/usr/bin" TOLVEX_CONFIG_FOLDER="/etc")
target_link_libraries(tolvex_installation_packaged PRIVATE tolvex_warnings)
add_executable(tolvex_packaged main.cpp $<TARGET_OBJECTS:tolvex_installation_packaged>)
target_link_libraries(tolvex_packaged PRIVATE tolvex_core tolvex_warnings)
set_target_properties(tolvex_packaged PROPERTIES OUTPUT_NAME tolvex RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/packaged)
install(TARGETS tolvex_packaged RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT package EXCLUDE_FROM_ALL)
install(FILES examples/linux/tolvex.cfg DESTINATION /etc COMPONENT package EXCLUDE_FROM_ALL)
install(FILES cmake/debian/logrotate DESTINATION /etc/logrotate.d RENAME tolvex COMPONENT package EXCLUDE_FROM_ALL)
file(WRITE ${CMAKE_BINARY_DIR}/packaged/conffiles "/etc/logrotate.d/tolvex\n/etc/tolvex.cfg\n")

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
# What every installation has, and the package's own program and configuration.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${CMAKE_BINARY_DIR};tolvex;Unspecified;/" "${CMAKE_BINARY_DIR};tolvex;package;/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaged/conffiles
  ${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
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
# adduser: the postinst makes the mailer's account when it is missing.
if(TOLVEX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libc6, libgcc-s1, libstdc++6")
endif()
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/build-[^/]*/")
include(CPack)

set(packages_made ${CMAKE_BINARY_DIR}/packages/tolvex.deb.stamp)
add_custom_command(OUTPUT ${packages_made}
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${packages_made}
  DEPENDS tolvex_packaged tolvex_manual examples/linux/tolvex.cfg README.md
    cmake/debian/postinst cmake/debian/postrm cmake/debian/logrotate
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
