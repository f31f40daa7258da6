# Cross-builds the Windows program on Debian with MinGW-w64 (x86_64) and the
# posix thread model, against a Qt for Windows prefix.
#
#   cmake -S . -B build-win -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-posix.cmake \
#         -DQUILLET_QT_WIN_PREFIX=/tmp/quillet-qt5-win/qt5-win
#
# The prefix may also come from the environment variable QUILLET_QT_WIN_PREFIX.
# Qt's package files take moc, uic and rcc from the prefix's own bin/ (Linux
# host tools); AUTOMOC hands moc this compiler's predefined macros.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
# The -posix compilers: Qt for Windows was built with them, and the default
# win32-thread variant lacks std::mutex and friends.
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

if(NOT QUILLET_QT_WIN_PREFIX AND DEFINED ENV{QUILLET_QT_WIN_PREFIX})
  set(QUILLET_QT_WIN_PREFIX "$ENV{QUILLET_QT_WIN_PREFIX}")
endif()
# try_compile projects re-read this file; hand the prefix on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLET_QT_WIN_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
if(QUILLET_QT_WIN_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${QUILLET_QT_WIN_PREFIX}")
  list(APPEND CMAKE_PREFIX_PATH "${QUILLET_QT_WIN_PREFIX}")
endif()
# Programs run on the build machine; libraries, headers and packages come
# from the target's roots only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
