# Cross build for 32-bit Windows with MinGW-w64. Built, not run: 32-bit Wine is
# not available on the build machines.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SONVERA_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
