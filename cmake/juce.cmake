# The toolkit: JUCE 7 sources from Debian (package juce-modules-source-data), compiled once into our own
# static, position-independent library of the five modules the window needs. Debian's JUCE uses the
# system's libjpeg, libpng and zlib instead of bundled copies. The toolkit is GPL-3 in this form.
set(JUCE_MODULES_DIR /usr/share/juce/modules CACHE PATH "Folder holding the JUCE modules")
set(juce_modules juce_core juce_events juce_data_structures juce_graphics juce_gui_basics)

if(NOT EXISTS ${JUCE_MODULES_DIR}/juce_gui_basics/juce_gui_basics.cpp)
  message(FATAL_ERROR "JUCE modules not found in ${JUCE_MODULES_DIR}: install juce-modules-source-data")
endif()


set(juce_sources)
foreach(module ${juce_modules})
  list(APPEND juce_sources ${JUCE_MODULES_DIR}/${module}/${module}.cpp)
endforeach()

add_library(juce STATIC ${juce_sources})
set_target_properties(juce PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(juce SYSTEM PUBLIC ${JUCE_MODULES_DIR})
target_include_directories(juce SYSTEM PRIVATE ${FREETYPE_INCLUDE_DIRS})

set(juce_definitions
  JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
  JUCE_STANDALONE_APPLICATION=0
  JUCE_USE_CURL=0
  JUCE_WEB_BROWSER=0
  JUCE_MODAL_LOOPS_PERMITTED=0
  JUCE_DISPLAY_SPLASH_SCREEN=0
  JUCE_USE_XSHM=1
  LINUX=1)
foreach(module ${juce_modules})
  list(APPEND juce_definitions JUCE_MODULE_AVAILABLE_${module}=1)
endforeach()
# Everything that includes the toolkit's headers must see the same configuration.
target_compile_definitions(juce PUBLIC ${juce_definitions})
# Third-party code: no warnings of ours.
target_compile_options(juce PRIVATE -w)
target_link_libraries(juce PUBLIC Freetype::Freetype PNG::PNG JPEG::JPEG ZLIB::ZLIB ${CMAKE_DL_LIBS} Threads::Threads rt)
