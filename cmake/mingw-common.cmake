# Shared by the two MinGW-w64 toolchain files, which set PIX_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${PIX_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${PIX_TRIPLET}-g++)
set(CMAKE_RC_COMPILER  ${PIX_TRIPLET}-windres)
set(PIX_DLLTOOL        ${PIX_TRIPLET}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${PIX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every function and object in a section of its own, in every target
# (the platform-free libraries are made before cmake/windows.cmake runs), so
# that the linker drops whatever the program does not use.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
# The release build optimised for size: the program waits on the user and on
# the vendor library, never on its own code (scripts/bench measures a press).
# (Set in the cache: the compiler's own -O3 would otherwise be appended.)
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "Flags of release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "Flags of release builds")
