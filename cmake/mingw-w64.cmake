# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with mingw-w64; the tests run under wine.
# The triplet picks the C runtime: x86_64-w64-mingw32 links msvcrt.dll, and
# x86_64-w64-mingw32ucrt the Universal C Runtime, as Visual Studio does.
set(KORVANE_MINGW x86_64-w64-mingw32 CACHE STRING "mingw-w64 target triplet")
# CMake's test projects read this file again, with a cache of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KORVANE_MINGW)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# Where Debian ships a compiler with each thread model, -posix is the one
# with POSIX threads; its UCRT compiler has only that one, unsuffixed.
find_program(CMAKE_CXX_COMPILER NAMES ${KORVANE_MINGW}-g++-posix ${KORVANE_MINGW}-g++
    REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(KORVANE_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(KORVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_WINE})
endif()
