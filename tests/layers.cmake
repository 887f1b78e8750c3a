# The product's folders depend on each other one way only, from the driver
# down: main.cpp, outbound/, front/, config/, runtime/, and at the bottom the
# platform layer (runtime/platform.hpp, runtime/posix/, runtime/win32/). A
# product file may include files of its own layer and of the layers below it,
# never of one above. Run as: cmake -DSOURCE_DIR=<checkout> -P layers.cmake
set(names "the platform layer" "runtime/" "config/" "front/" "outbound/" "main.cpp")

function(layer_of path result)
  if(path MATCHES "^runtime/(platform\\.hpp|posix/|win32/)" OR path MATCHES "^generated/")
    set(${result} 0 PARENT_SCOPE)
  elseif(path MATCHES "^runtime/")
    set(${result} 1 PARENT_SCOPE)
  elseif(path MATCHES "^config/")
    set(${result} 2 PARENT_SCOPE)
  elseif(path MATCHES "^front/")
    set(${result} 3 PARENT_SCOPE)
  elseif(path MATCHES "^outbound/")
    set(${result} 4 PARENT_SCOPE)
  elseif(path STREQUAL "main.cpp")
    set(${result} 5 PARENT_SCOPE)
  else()
    set(${result} -1 PARENT_SCOPE)
  endif()
endfunction()

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/runtime/*.cpp ${SOURCE_DIR}/runtime/*.hpp ${SOURCE_DIR}/config/*.cpp ${SOURCE_DIR}/config/*.hpp
  ${SOURCE_DIR}/front/*.cpp ${SOURCE_DIR}/front/*.hpp ${SOURCE_DIR}/outbound/*.cpp ${SOURCE_DIR}/outbound/*.hpp)
list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
list(APPEND sources main.cpp)

set(wrong "")
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

list(LENGTH sources count)
if(wrong)
  message(FATAL_ERROR "Includes against the direction of the layers:\n${wrong}")
endif()
message(STATUS "${count} product files, every include points down or sideways")
