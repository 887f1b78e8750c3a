# The product's folders depend on each other one way only, from the driver
# down (cmake/layers.cmake names them and their files): a product file may
# include files of its own folder and of the folders below it, never of one
# above; every file in those folders is one the build lists; and the README's
# Layout section names the same folders, in the same order.
# Run as: cmake -DSOURCE_DIR=<checkout> -P layers.cmake
cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/cmake/layers.cmake)
set(names ${TOLVEX_LAYERS} main.cpp)
list(LENGTH TOLVEX_LAYERS top)

# The layer a path belongs to, by its place in `names`; -1 for none.
function(layer_of path result)
  set(${result} -1 PARENT_SCOPE)
  if(path STREQUAL "main.cpp")
    set(${result} ${top} PARENT_SCOPE)
    return()
  endif()
  foreach(layer IN LISTS TOLVEX_LAYERS)
    if(path MATCHES "^${layer}/")
      list(FIND TOLVEX_LAYERS ${layer} index)
      set(${result} ${index} PARENT_SCOPE)
    endif()
  endforeach()
endfunction()

set(sources main.cpp ${TOLVEX_PLATFORM_FILES} ${TOLVEX_PLATFORM_POSIX_FILES} ${TOLVEX_PLATFORM_INSTALLATION_FILE}
  ${TOLVEX_PLATFORM_WIN32_FILES} ${TOLVEX_RUNTIME_FILES} ${TOLVEX_CONFIG_FILES} ${TOLVEX_INPUT_FILES}
  ${TOLVEX_OUTBOUND_FILES})

set(wrong "")
foreach(layer IN LISTS TOLVEX_LAYERS)
  file(GLOB_RECURSE found RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.hpp)
  list(FILTER found EXCLUDE REGEX "_test\\.cpp$")
  foreach(file IN LISTS found)
    if(NOT file IN_LIST sources)
      string(APPEND wrong "  ${file} is in no list of cmake/layers.cmake, so it is built by nobody\n")
    endif()
  endforeach()
endforeach()

foreach(source IN LISTS sources)
  layer_of(${source} own)
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
    layer_of(${included} theirs)
    if(theirs EQUAL -1)
      string(APPEND wrong "  ${source} includes ${included}, which belongs to no layer\n")
    elseif(theirs GREATER own)
      list(GET names ${own} from)
      list(GET names ${theirs} to)
      string(APPEND wrong "  ${source} (${from}) includes ${included} (${to}, above it)\n")
    endif()
  endforeach()
endforeach()

# The README's Layout block names each folder at the start of a line, from
# the driver down.
file(READ ${SOURCE_DIR}/README.md readme)
string(REGEX MATCH "## Layout\n.*" layout "${readme}")
string(REGEX MATCHALL "\n([a-z]+)/ " named "${layout}")
set(listed "")
foreach(entry IN LISTS named)
  string(STRIP "${entry}" entry)
  string(REGEX REPLACE "/$" "" entry "${entry}")
  list(PREPEND listed ${entry})
endforeach()
list(FILTER listed EXCLUDE REGEX "^tests$")
if(NOT listed STREQUAL TOLVEX_LAYERS)
  string(APPEND wrong "  the README's Layout names the folders ${listed}, cmake/layers.cmake ${TOLVEX_LAYERS}\n")
endif()

list(LENGTH sources count)
if(wrong)
  message(FATAL_ERROR "The layers do not hold:\n${wrong}")
endif()
message(STATUS "${count} product files, every include points down or sideways")
