# Cross-building the Windows core on Debian with MinGW-w64 (package
# g++-mingw-w64-x86-64-posix): 64-bit Windows, the POSIX thread model that std::thread and
# std::mutex need. Used by the "windows" preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PYX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PYX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PYX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PYX_MINGW_TRIPLE}-windres)

# Libraries and headers of the target only; programs (cmake, ninja) are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${PYX_MINGW_TRIPLE})
# Qt for MinGW-w64 (scripts/build-qt-windows.sh) lives outside the MinGW root: a root of its own.
set(PYX_QT_WINDOWS_PREFIX "$ENV{PYXTUNE_QT_WINDOWS}" CACHE PATH
    "Qt for MinGW-w64 to build the window with (scripts/build-qt-windows.sh prints it); empty: the core only")
if(PYX_QT_WINDOWS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${PYX_QT_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime, libgcc and winpthread go into every .exe and .dll, so that they run on a
# bare Windows (or Wine) without MinGW's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine on the build machine (scripts/test-windows.sh makes the prefix).
find_program(PYX_WINE NAMES wine wine64)
if(PYX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PYX_WINE})
endif()
