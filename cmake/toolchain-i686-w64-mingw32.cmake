# Windows 32-bit (the primary build) with the i686-w64-mingw32 compilers of mingw-w64.
set(MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
