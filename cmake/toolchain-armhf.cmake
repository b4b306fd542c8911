# Cross build for 32-bit ARM Linux, Debian armhf ABI: ARMv7-A, VFPv3-D16,
# hard-float calling convention (Thumb-2 is the compiler's default).
#
# The programs are linked against the C library of the oldest Debian release
# they support (bullseye, glibc 2.31), unpacked by tools/sysroot into the
# shared cache (tools/cache), so that one build runs on every release from
# there on. The
# compiler and its C++ headers stay Debian 12's cross gcc.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)

set(TERVANE_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${TERVANE_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TERVANE_TRIPLET}-g++)
set(arch_flags "-march=armv7-a -mfpu=vfpv3-d16 -mfloat-abi=hard")

get_filename_component(source_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(TERVANE_SYSROOT_SUITE bullseye CACHE STRING
  "Debian suite whose C library the armhf programs are linked against")
# try_compile projects read this file again; they must see the same sysroot
# and never fetch.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TERVANE_SYSROOT TERVANE_SYSROOT_SUITE)
get_property(in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT in_try_compile)
  # The sysroot holds that suite's libc6-dev and linux-libc-dev, in the
  # shared cache (tools/sysroot); quick when it is there already. Asked
  # anew at every configure, so that TERVANE_CACHE is honoured.
  execute_process(
    COMMAND ${source_root}/tools/sysroot --suite ${TERVANE_SYSROOT_SUITE}
    OUTPUT_VARIABLE TERVANE_SYSROOT OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE sysroot_rc)
  if(NOT sysroot_rc EQUAL 0)
    message(FATAL_ERROR "No ${TERVANE_SYSROOT_SUITE} armhf sysroot (tools/sysroot failed, see above)")
  endif()
endif()
set(CMAKE_SYSROOT ${TERVANE_SYSROOT})

# --sysroot alone is not enough. Debian's cross gcc searches its own target
# folder, /usr/arm-linux-gnueabihf (bookworm's glibc 2.36), for headers
# ahead of the sysroot's /usr/include, and for Scrt1.o, crti.o and the libc
# link script ahead of the sysroot's libraries; a plain --sysroot build
# still compiles against 2.36 and still needs GLIBC_2.34.
#  - Headers: -nostdinc drops every built-in folder, and the compiler's own
#    list is given back in its order (C++ headers, then gcc's, so that
#    <cstdlib>'s #include_next still reaches the C library's) with its
#    target folder replaced by the sysroot's.
#  - Start files and libraries: a -B prefix is searched before all of the
#    driver's folders for crt files and is passed to the linker as the first
#    -L, so Scrt1.o, crti.o, crtn.o, libc.so, libc_nonshared.a and libm come
#    from the sysroot; crtbegin, libgcc and libstdc++ stay the compiler's.
set(sysroot_multiarch ${CMAKE_SYSROOT}/usr/lib/${TERVANE_TRIPLET})
foreach(lang C CXX)
  if(lang STREQUAL C)
    set(probe_lang c)
  else()
    set(probe_lang c++)
  endif()
  execute_process(COMMAND ${CMAKE_${lang}_COMPILER} -x ${probe_lang} -E -v /dev/null
    OUTPUT_QUIET ERROR_VARIABLE probe RESULT_VARIABLE probe_rc)
  if(NOT probe_rc EQUAL 0 OR NOT probe MATCHES "search starts here:\n.*\nEnd of search list")
    message(FATAL_ERROR "${CMAKE_${lang}_COMPILER} -E -v does not list its include folders: ${probe}")
  endif()
  string(REGEX REPLACE ".*#include <...> search starts here:\n(.*)\nEnd of search list.*" "\\1"
    probe "${probe}")
  string(REPLACE "\n" ";" probe "${probe}")
  set(include_flags "-nostdinc")
  foreach(dir IN LISTS probe)
    string(STRIP "${dir}" dir)
    get_filename_component(dir "${dir}" ABSOLUTE)
    # The C library's folders: the cross target's, the host's /usr/include.
    if(dir STREQUAL "/usr/${TERVANE_TRIPLET}/include" OR dir MATCHES "^/usr(/local)?/include")
      continue()
    endif()
    string(APPEND include_flags " -isystem ${dir}")
  endforeach()
  string(APPEND include_flags
    " -isystem ${CMAKE_SYSROOT}/usr/include/${TERVANE_TRIPLET} -isystem ${CMAKE_SYSROOT}/usr/include")
  set(CMAKE_${lang}_FLAGS_INIT "${arch_flags} ${include_flags}")
endforeach()

foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-B${sysroot_multiarch}/")
endforeach()

# A configured tree keeps the flags of its first configure, and the
# sysroot's path carries its cache key: an older sysroot's path in them is
# brought up to date, or the tree would go on linking against a root that
# may be gone.
if(NOT in_try_compile)
  foreach(var CMAKE_C_FLAGS CMAKE_CXX_FLAGS CMAKE_EXE_LINKER_FLAGS CMAKE_SHARED_LINKER_FLAGS
      CMAKE_MODULE_LINKER_FLAGS)
    if(DEFINED CACHE{${var}})
      string(REGEX REPLACE "/[^ ]*/libc/${TERVANE_SYSROOT_SUITE}-dev[^ /]*" "${CMAKE_SYSROOT}"
        flags "$CACHE{${var}}")
      set_property(CACHE ${var} PROPERTY VALUE "${flags}")
    endif()
  endforeach()
endif()

# The C++ library is the one thing that cannot come from bullseye: gcc 12's
# libstdc++ (shared or static) uses glibc 2.32+ symbols (__libc_single_threaded,
# arc4random). The programs use none of it, but the GoogleTest programs do:
# they are compiled against the sysroot like the code they test, linked to
# libstdc++.so.6 without the linker checking its own needs against the old
# libc, and run against the cross toolchain's libc (2.36, glibc keeps old
# symbol versions), where libstdc++.so.6 lives. BIND_NOW makes any symbol
# missing there fail at start-up. tests/ applies both to its test programs.
set(TERVANE_CXX_RUNTIME_LINK_OPTIONS -Wl,--allow-shlib-undefined)
set(TERVANE_CXX_RUNTIME_EMULATOR qemu-arm -L /usr/${TERVANE_TRIPLET})

set(CMAKE_FIND_ROOT_PATH ${CMAKE_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs every cross-built test program through user-mode emulation,
# against the same C library the programs were linked with.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L ${CMAKE_SYSROOT})
