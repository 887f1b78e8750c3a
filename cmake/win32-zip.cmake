# Makes the Windows ZIP (cmake -P): tolvex.exe, the sample tolvex.cfg, the
# manual as tolvex.txt and README.md, side by side at the top of the archive,
# so that the program finds its configuration where it is unpacked. Text
# files get CR LF line ends; the UTF-8 ones a byte-order mark, which tells
# Notepad their encoding (never the configuration: its first line would
# change).
#
# Variables: PROGRAM, CONFIGURATION, MANUAL_TEXT (may be empty: no groff),
# README, STAGE (a scratch folder), ZIP (the archive to write).

function(copy_as_windows_text source target byte_order_mark)
  file(READ ${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  if(byte_order_mark)
    string(ASCII 239 187 191 mark)
    string(PREPEND text "${mark}")
  endif()
  file(WRITE ${target} "${text}")
endfunction()

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY_FILE ${PROGRAM} ${STAGE}/tolvex.exe)
copy_as_windows_text(${CONFIGURATION} ${STAGE}/tolvex.cfg OFF)
copy_as_windows_text(${README} ${STAGE}/README.md ON)
set(entries tolvex.exe tolvex.cfg README.md)
if(MANUAL_TEXT AND EXISTS ${MANUAL_TEXT})
  copy_as_windows_text(${MANUAL_TEXT} ${STAGE}/tolvex.txt ON)
  list(APPEND entries tolvex.txt)
else()
  message(WARNING "groff is missing: the ZIP is made without tolvex.txt")
endif()

file(REMOVE ${ZIP})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${entries}
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not write ${ZIP}")
endif()
