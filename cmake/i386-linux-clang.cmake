# The i386 toolchain with clang 14 instead of gcc: same flags, same multiarch libraries. Used by the
# libFuzzer build (QANAGUI_FUZZ, scripts/fuzz), since libFuzzer comes with clang only.
include(${CMAKE_CURRENT_LIST_DIR}/i386-linux.cmake)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
