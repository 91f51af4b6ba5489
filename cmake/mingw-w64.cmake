# Cross-compiling for Windows with mingw-w64 (posix thread model), tested under Wine. Included by the
# toolchain file of each triple, which sets MINGW_ARCH (i686 or x86_64) first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_ARCH})
set(MINGW_TRIPLE ${MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# scripts/setup.sh builds libjpeg-turbo, libpng (over Debian's mingw zlib) and giflib into DEPS_ROOT/<arch> (default /opt/mingw-deps).
if(DEFINED ENV{DEPS_ROOT})
  set(MINGW_DEPS_ROOT_DEFAULT "$ENV{DEPS_ROOT}")
else()
  set(MINGW_DEPS_ROOT_DEFAULT "/opt/mingw-deps")
endif()
set(MINGW_DEPS_PREFIX "${MINGW_DEPS_ROOT_DEFAULT}/${MINGW_ARCH}" CACHE PATH
    "Where the setup script installs the mingw libraries of this triple")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${MINGW_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the Windows test executables through Wine with the loader and prefix for this triple, on
# the display that scripts/test.sh prepares.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ${MINGW_ARCH})
