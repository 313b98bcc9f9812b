# Cross build for 32-bit Windows (the product users run) with Debian's
# MinGW-w64 compilers.
set(PIX_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
