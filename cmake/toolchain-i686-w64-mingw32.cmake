# Cross build for 32-bit Windows with MinGW-w64: the tree that ships. Its tests
# run under 32-bit Wine (scripts/wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SONVERA_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
