# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, for std::thread), against the libraries that scripts/setup-windows
# builds into its cache. The programs link statically, so crvn.exe and the
# test programs run under wine64 without any DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
# Each dependency build names the folders of those built before it.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
# Test compilations see only the variables named here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CRVN_MINGW_DEPENDENCY_BUILD CMAKE_PREFIX_PATH)
if(NOT CRVN_MINGW_DEPENDENCY_BUILD)
  if(DEFINED ENV{CRVN_MINGW_CACHE})
    set(CRVN_MINGW_CACHE "$ENV{CRVN_MINGW_CACHE}")
  else()
    set(CRVN_MINGW_CACHE "$ENV{HOME}/.cache/crvn-mingw")
  endif()
  if(NOT EXISTS "${CRVN_MINGW_CACHE}/prefixes.cmake")
    message(FATAL_ERROR "No Windows dependencies in ${CRVN_MINGW_CACHE}: run scripts/setup-windows")
  endif()
  include("${CRVN_MINGW_CACHE}/prefixes.cmake")
  list(APPEND CMAKE_FIND_ROOT_PATH ${CRVN_MINGW_PREFIXES})
  set(pkg_config_dirs "")
  foreach(prefix IN LISTS CRVN_MINGW_PREFIXES)
    list(APPEND pkg_config_dirs "${prefix}/lib/pkgconfig")
  endforeach()
  string(REPLACE ";" ":" pkg_config_dirs "${pkg_config_dirs}")
  set(ENV{PKG_CONFIG_LIBDIR} "${pkg_config_dirs}")
  set(ENV{PKG_CONFIG_PATH} "")
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows 10 and later: the API level every dependency builds against.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00")
