# Shared part of the two MinGW-w64 toolchain files; SONVERA_TRIPLET is set by the caller.
set(CMAKE_C_COMPILER ${SONVERA_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SONVERA_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SONVERA_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SONVERA_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every binary carries its own C and C++ runtime, so nothing but the system
# DLLs and our own three libraries has to sit beside a host program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

if(SONVERA_TRIPLET MATCHES "^x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
