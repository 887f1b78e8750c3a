# The product's folders, from the bottom up. A file may include files of its
# own folder and of the folders before it, never of one after it. Below them
# all lies the platform layer (runtime/platform.hpp, runtime/posix/,
# runtime/win32/), which includes nothing of the program's; above them all
# main.cpp, the driver. The build, the unit tests, the include check
# (tests/layers.cmake) and the README's Layout section take the folders from
# here.
set(TOLVEX_LAYERS runtime config input outbound)
