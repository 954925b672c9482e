# Toolchain for the 32-bit (i386) build on a 64-bit Debian host with multiarch packages.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)

# Plain IEEE double arithmetic: SSE2 instead of x87, no fused multiply-add contraction.
set(I386_FLAGS "-m32 -msse2 -mfpmath=sse -ffp-contract=off")
set(CMAKE_C_FLAGS_INIT "${I386_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${I386_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")

# The _INIT flags only seed flags that the user did not give. When a build is configured with its own
# CMAKE_<LANG>_FLAGS (say -DCMAKE_CXX_FLAGS=-g), put the 32-bit and arithmetic flags in front of them,
# once: without them the compiler would build 64-bit objects while the linkers link 32-bit.
foreach(kind C_FLAGS CXX_FLAGS)
  if(DEFINED CACHE{CMAKE_${kind}} AND NOT " $CACHE{CMAKE_${kind}} " MATCHES " -m32 ")
    set(CMAKE_${kind} "${I386_FLAGS} $CACHE{CMAKE_${kind}}" CACHE STRING "Flags for all build types" FORCE)
  endif()
endforeach()
foreach(kind EXE_LINKER_FLAGS SHARED_LINKER_FLAGS MODULE_LINKER_FLAGS)
  if(DEFINED CACHE{CMAKE_${kind}} AND NOT " $CACHE{CMAKE_${kind}} " MATCHES " -m32 ")
    set(CMAKE_${kind} "-m32 $CACHE{CMAKE_${kind}}" CACHE STRING "Flags for all build types" FORCE)
  endif()
endforeach()

# Find the :i386 multiarch libraries and their CMake package files first.
set(CMAKE_PREFIX_PATH /usr/lib/i386-linux-gnu/cmake)
set(CMAKE_SYSTEM_LIBRARY_PATH /usr/lib/i386-linux-gnu /lib/i386-linux-gnu)
set(PKG_CONFIG_EXECUTABLE pkg-config)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")
