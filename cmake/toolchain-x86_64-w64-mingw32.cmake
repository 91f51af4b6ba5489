# Windows 64-bit with the x86_64-w64-mingw32 compilers of mingw-w64.
set(MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
