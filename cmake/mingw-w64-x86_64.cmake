# Cross build for 64-bit Windows with MinGW-w64 and POSIX threads (std::thread
# and std::mutex need them; the win32 thread model lacks both in this GCC).
#
# Qt for MinGW is taken from $LOGGERCFG_QT_MINGW, or else from ../shared/qt6-mingw
# beside the project. Qt's host tools (moc, uic, rcc) are the Linux ones in /usr,
# which must be the same Qt version.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

if(DEFINED ENV{LOGGERCFG_QT_MINGW} AND NOT "$ENV{LOGGERCFG_QT_MINGW}" STREQUAL "")
  set(LOGGERCFG_QT_MINGW "$ENV{LOGGERCFG_QT_MINGW}")
else()
  get_filename_component(LOGGERCFG_QT_MINGW "${CMAKE_CURRENT_LIST_DIR}/../../shared/qt6-mingw" ABSOLUTE)
endif()
if(NOT EXISTS "${LOGGERCFG_QT_MINGW}/lib/cmake/Qt6/Qt6Config.cmake")
  message(FATAL_ERROR "No Qt for MinGW at ${LOGGERCFG_QT_MINGW}: set LOGGERCFG_QT_MINGW to its folder")
endif()
# The toolchain file is read again for every try_compile, which sees only what
# is forwarded.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LOGGERCFG_QT_MINGW)

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${LOGGERCFG_QT_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

list(APPEND CMAKE_PREFIX_PATH ${LOGGERCFG_QT_MINGW})
set(QT_HOST_PATH /usr CACHE PATH "Qt host tools")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Qt host tools' CMake packages")
