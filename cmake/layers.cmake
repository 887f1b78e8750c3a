# The product's folders, from the bottom up, and the files of each. A file may
# include files of its own folder and of the folders before it, never of one
# after it. The lowest, platform/, is the operating system's operations: one
# header, and one implementation for each kind of system (posix/, win32/),
# chosen by the build; above them all main.cpp, the driver. The build, the
# unit tests, the include check (tests/layers.cmake) and the README's Layout
# section take the folders and files from here.
set(TOLVEX_LAYERS platform runtime config input outbound)

set(TOLVEX_PLATFORM_FILES platform/platform.hpp)
set(TOLVEX_PLATFORM_POSIX_FILES
  platform/posix/path_map.cpp platform/posix/path_map.hpp platform/posix/platform.cpp)
# Compiled by each kind of installation with its own folders.
set(TOLVEX_PLATFORM_INSTALLATION_FILE platform/posix/installation.cpp)
set(TOLVEX_PLATFORM_WIN32_FILES platform/win32/platform.cpp)
set(TOLVEX_RUNTIME_FILES
  runtime/activity_log.cpp runtime/activity_log.hpp runtime/bounded.cpp runtime/bounded.hpp
  runtime/command_line.cpp runtime/command_line.hpp runtime/console_texts.hpp runtime/errors.cpp
  runtime/errors.hpp runtime/file_system.cpp runtime/file_system.hpp runtime/numbers.cpp runtime/numbers.hpp
  runtime/standard_files.cpp runtime/standard_files.hpp runtime/text_helpers.cpp runtime/text_helpers.hpp
  runtime/text_reader.cpp runtime/text_reader.hpp runtime/text_writer.cpp runtime/text_writer.hpp)
set(TOLVEX_CONFIG_FILES config/configuration.cpp config/configuration.hpp)
set(TOLVEX_INPUT_FILES
  input/addresses.cpp input/addresses.hpp input/requests.cpp input/requests.hpp input/startup.cpp input/startup.hpp)
set(TOLVEX_OUTBOUND_FILES
  outbound/busy_flag.cpp outbound/busy_flag.hpp outbound/paths.cpp outbound/paths.hpp outbound/request_files.cpp
  outbound/request_files.hpp)

# The unit tests, beside the code they test.
set(TOLVEX_UNIT_TESTS
  platform/posix/path_map_test.cpp
  runtime/activity_log_test.cpp runtime/bounded_test.cpp runtime/command_line_test.cpp
  runtime/console_texts_test.cpp runtime/file_system_test.cpp runtime/numbers_test.cpp
  runtime/text_helpers_test.cpp runtime/text_reader_test.cpp runtime/text_writer_test.cpp
  config/configuration_test.cpp
  input/addresses_test.cpp input/requests_test.cpp
  outbound/paths_test.cpp outbound/request_files_test.cpp)
