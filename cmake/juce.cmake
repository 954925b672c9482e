# The toolkit: JUCE 7 sources from Debian (package juce-modules-source-data), compiled once into our own
# static, position-independent library of the five modules the window needs. Debian's JUCE uses the
# system's libjpeg, libpng and zlib instead of bundled copies. The toolkit is GPL-3 in this form.
include(${CMAKE_CURRENT_LIST_DIR}/juce-settings.cmake)

set(juce_sources)
foreach(module ${juce_modules})
  list(APPEND juce_sources ${JUCE_MODULES_DIR}/${module}/${module}.cpp)
endforeach()

add_library(juce STATIC ${juce_sources})
set_target_properties(juce PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(juce SYSTEM PUBLIC ${JUCE_MODULES_DIR})
target_include_directories(juce SYSTEM PRIVATE ${FREETYPE_INCLUDE_DIRS})

set(juce_definitions ${juce_common_definitions} JUCE_USE_XSHM=1 LINUX=1 ${juce_module_definitions})
# Everything that includes the toolkit's headers must see the same configuration.
target_compile_definitions(juce PUBLIC ${juce_definitions})
# Third-party code: no warnings of ours.
target_compile_options(juce PRIVATE -w)
target_link_libraries(juce PUBLIC Freetype::Freetype PNG::PNG JPEG::JPEG ZLIB::ZLIB ${CMAKE_DL_LIBS} Threads::Threads rt)
