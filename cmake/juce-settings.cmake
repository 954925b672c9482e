# What both builds of the toolkit share: where Debian's JUCE sources are, the five modules the window
# needs, and the configuration every file that includes the toolkit's headers must see. Each build adds
# its own platform defines between the two lists (cmake/juce.cmake for Linux, cmake/windows.cmake for
# Windows).
set(JUCE_MODULES_DIR /usr/share/juce/modules CACHE PATH "Folder holding the JUCE modules")
set(juce_modules juce_core juce_events juce_data_structures juce_graphics juce_gui_basics)

if(NOT EXISTS ${JUCE_MODULES_DIR}/juce_gui_basics/juce_gui_basics.cpp)
  message(FATAL_ERROR "JUCE modules not found in ${JUCE_MODULES_DIR}: install juce-modules-source-data")
endif()

set(juce_common_definitions
  JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
  JUCE_STANDALONE_APPLICATION=0
  JUCE_USE_CURL=0
  JUCE_WEB_BROWSER=0
  JUCE_MODAL_LOOPS_PERMITTED=0
  JUCE_DISPLAY_SPLASH_SCREEN=0)
set(juce_module_definitions)
foreach(module ${juce_modules})
  list(APPEND juce_module_definitions JUCE_MODULE_AVAILABLE_${module}=1)
endforeach()
