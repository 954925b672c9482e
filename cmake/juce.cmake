# The toolkit: JUCE 7 sources from Debian (package juce-modules-source-data), compiled once into our own
# static, position-independent library of the five modules the window needs. Debian's JUCE uses the
# system's libjpeg, libpng and zlib instead of bundled copies. The toolkit is GPL-3 in this form.
#
# The library is built from a copy of those modules in the build folder, patched with
# cmake/juce-linux/patches/*.patch (each says why at its top); the copy is made again only when a
# patch changes (cmake/juce-patched-copy.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/juce-settings.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/juce-patched-copy.cmake)

file(GLOB juce_patches CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/juce-linux/patches/*.patch)
list(SORT juce_patches)
set(juce_copy ${CMAKE_BINARY_DIR}/juce-modules)
juce_patched_copy(${juce_copy} PATCHES ${juce_patches})

set(juce_sources)
foreach(module ${juce_modules})
  list(APPEND juce_sources ${juce_copy}/${module}/${module}.cpp)
endforeach()

add_library(juce STATIC ${juce_sources})
set_target_properties(juce PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(juce SYSTEM PUBLIC ${juce_copy})
target_include_directories(juce SYSTEM PRIVATE ${FREETYPE_INCLUDE_DIRS})

set(juce_definitions ${juce_common_definitions} JUCE_USE_XSHM=1 LINUX=1 ${juce_module_definitions})
# Everything that includes the toolkit's headers must see the same configuration.
target_compile_definitions(juce PUBLIC ${juce_definitions})
# ccache: the copy lies in each build folder, so paths are taken relative to the build folder and the
# toolkit's objects are shared between build folders. juce_core expands __DATE__ and __TIME__ (for
# Time::getCompilationDate, which nothing here uses); without time_macros sloppiness ccache would
# compile it again every time.
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set_target_properties(juce PROPERTIES CXX_COMPILER_LAUNCHER
    "${CMAKE_COMMAND};-E;env;CCACHE_BASEDIR=${CMAKE_BINARY_DIR};CCACHE_SLOPPINESS=time_macros;${CMAKE_CXX_COMPILER_LAUNCHER}")
endif()
# Third-party code: no warnings of ours.
target_compile_options(juce PRIVATE -w)
target_link_libraries(juce PUBLIC Freetype::Freetype PNG::PNG JPEG::JPEG ZLIB::ZLIB ${CMAKE_DL_LIBS} Threads::Threads rt)
