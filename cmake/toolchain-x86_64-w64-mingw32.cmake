# Cross build for 64-bit Windows with MinGW-w64 (POSIX thread model, so that
# std::thread and std::mutex exist); tests run under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SONVERA_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
