# Installing tolvex. The version and the release date come from the
# top-level CMakeLists.txt.
#
#   cmake --install build [--prefix DIR]         program, manual, sample
include(GNUInstallDirs)

set(TOLVEX_MAINTAINER "tolvex developers <tolvex@example.org>" CACHE STRING
  "The maintainer named in the Debian package and its changelog")

# The manual page, its plain-text form and the package's documents.
add_subdirectory(docs)

install(TARGETS tolvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES examples/tolvex.cfg DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
