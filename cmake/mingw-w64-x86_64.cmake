# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix thread model).
#
# The static Windows libraries (libcrypto, libcurl, jsoncpp, GoogleTest) come from
# scripts/build-windows-deps. Their prefix is WARDKEEP_WINDOWS_DEPS from the
# environment, else the one that script recorded in its cache's `current` file.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_wk_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_wk_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_wk_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_wk_triple}-windres)
# The "-posix" suffix hides the tool prefix from CMake's own binutils lookup.
find_program(CMAKE_AR ${_wk_triple}-ar REQUIRED)
find_program(CMAKE_RANLIB ${_wk_triple}-ranlib REQUIRED)

# No runtime DLLs beside the .exe: libgcc, libstdc++ and winpthread go in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Resolved on every read (not cached) so a rebuilt dependency set is picked up on
# the next configure without wiping the build directory.
set(_wk_deps "$ENV{WARDKEEP_WINDOWS_DEPS}")
if(NOT _wk_deps)
  if(DEFINED ENV{WARDKEEP_DEPS_CACHE} AND NOT "$ENV{WARDKEEP_DEPS_CACHE}" STREQUAL "")
    set(_wk_current "$ENV{WARDKEEP_DEPS_CACHE}/current")
  else()
    set(_wk_current "$ENV{HOME}/.cache/wardkeep/windows-deps/current")
  endif()
  if(EXISTS "${_wk_current}")
    file(STRINGS "${_wk_current}" _wk_deps LIMIT_COUNT 1)
  endif()
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${_wk_triple})
if(_wk_deps AND IS_DIRECTORY "${_wk_deps}")
  list(PREPEND CMAKE_FIND_ROOT_PATH "${_wk_deps}")
  list(PREPEND CMAKE_PREFIX_PATH "${_wk_deps}")
  set(WARDKEEP_WINDOWS_DEPS_PREFIX "${_wk_deps}")
  # pkg-config must see the Windows .pc files only, never the host's.
  set(ENV{PKG_CONFIG_LIBDIR} "${_wk_deps}/lib/pkgconfig:${_wk_deps}/share/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
else()
  message(WARNING "No Windows dependency prefix found; run scripts/build-windows-deps "
                  "or set WARDKEEP_WINDOWS_DEPS.")
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only static libraries are built; this makes FindOpenSSL add ws2_32 and crypt32.
set(OPENSSL_USE_STATIC_LIBS TRUE)

set(_wk_wine_run "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
if(EXISTS "${_wk_wine_run}")
  get_filename_component(_wk_wine_run "${_wk_wine_run}" REALPATH)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_wk_wine_run}")
endif()
