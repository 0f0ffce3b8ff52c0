# SPDX-License-Identifier: GPL-2.0-or-later
# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which std::thread
# needs) and runs the programs built, the tests among them, through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ARDUNEX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ARDUNEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ARDUNEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ARDUNEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ARDUNEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime libraries are linked in, so an .exe runs alone, without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(ARDUNEX_WINE NAMES wine wine64)
if(ARDUNEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ARDUNEX_WINE})
endif()
