# Shared part of the two MinGW-w64 toolchain files; SONVERA_TRIPLET is set by the caller.
set(CMAKE_C_COMPILER ${SONVERA_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SONVERA_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SONVERA_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SONVERA_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

if(SONVERA_TRIPLET MATCHES "^x86_64")
  # 64-bit Windows unwinds exceptions through the system's tables, so every
  # binary can carry its own C++ runtime and still catch what another DLL
  # throws: nothing but our own three libraries has to sit beside a host.
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
  set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
else()
  # 32-bit MinGW unwinds with DWARF tables that each copy of libgcc registers
  # for its own module only: a CFileException thrown in Sonvera.dll would never
  # reach a host's catch. All modules therefore share the runtime DLLs, which
  # the build copies beside them (SONVERA_RUNTIME_DLLS).
  set(SONVERA_RUNTIME_DLLS libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)
endif()
# One Wine prefix runs both: 64-bit programs directly, 32-bit ones through WoW64.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
