# Cross-compiling for 32-bit Windows with mingw-w64 (posix thread model), tested under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

if(DEFINED ENV{DEPS_PREFIX})
  set(MINGW_DEPS_PREFIX_DEFAULT "$ENV{DEPS_PREFIX}")
else()
  set(MINGW_DEPS_PREFIX_DEFAULT "/opt/mingw-deps/i686")
endif()
set(MINGW_DEPS_PREFIX "${MINGW_DEPS_PREFIX_DEFAULT}" CACHE PATH "Where the setup script installs mingw libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${MINGW_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the Windows test executables through Wine, in the prefix and on the display that
# scripts/test.sh prepares (WINEPREFIX, DISPLAY).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
