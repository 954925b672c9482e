# Toolchain for the 64-bit (amd64) build: the LV2 plugin, and the engine, panel, platform and
# transform tests again. Native compiler; the same arithmetic rules as the i386 build.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)

# Plain IEEE double arithmetic (SSE2 is the amd64 default), no fused multiply-add contraction.
set(CMAKE_C_FLAGS_INIT "-ffp-contract=off")
set(CMAKE_CXX_FLAGS_INIT "-ffp-contract=off")

set(CMAKE_PREFIX_PATH /usr/lib/x86_64-linux-gnu/cmake)
set(PKG_CONFIG_EXECUTABLE pkg-config)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/x86_64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
