# The Windows build: qanagui.dll (32-bit, one undecorated export), analyzer-host.exe and the Windows
# tests, cross-built with MinGW-w64 (cmake/i686-w64-mingw32.cmake) and run under Wine.
#
# module/, engine/ and ui/ are compiled from the same sources as on Linux. What differs:
# - platform/win32.h maps to <windows.h>: the engine uses the real GDI, FindWindowA and Win32 threads;
#   the Linux platform library is not built. platform/windows/ holds the thread-start adapter and
#   the window read-back and PNG writing the host's --screenshot and the tests use.
# - The toolkit runs on JUCE's Windows back end, driven by the host's Win32 message loop
#   (ui/win32/ToolkitOnHostLoop.cpp replaces the Linux loop bridge and X queue files, ui/win32/RelayWake.cpp
#   the relay's eventfd and timerfd).
# - JUCE is a patched copy of Debian's sources (cmake/juce-windows/), with JPEG and PNG through WIC.
# - The host has a Windows main (host/win32/) and loads the DLL with LoadLibraryA; no sound files
#   and no JACK (libsndfile and JACK have no MinGW build in Debian).
# - Everything is linked statically against the C++ runtime, winpthreads and zlib, so the DLL and
#   the programs import system DLLs only.

set(QANAGUI_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# Debug information for everything built here (it does not change the code generated). The DLL ships
# without it: qanagui.dll.debug beside it holds it, and the DLL's debug link names that file, so that
# `i686-w64-mingw32-addr2line -f -e qanagui.dll.debug ADDRESS` names the function of an address from a
# user's backtrace (the DLL's image base plus the offset).
add_compile_options(-g)

# --- JUCE: a patched copy of the modules the window needs (the list shared with the Linux build) -----
include(${CMAKE_CURRENT_LIST_DIR}/juce-settings.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/juce-patched-copy.cmake)
set(juce_windows_dir ${PROJECT_SOURCE_DIR}/cmake/juce-windows)
file(GLOB juce_patches CONFIGURE_DEPENDS ${juce_windows_dir}/patches/*.patch)
list(SORT juce_patches)
set(juce_copy ${CMAKE_BINARY_DIR}/juce-modules)
juce_patched_copy(${juce_copy} PATCHES ${juce_patches}
                  ADD_FILE ${juce_windows_dir}/juce_win32_WicImageFormats.cpp INTO juce_graphics/image_formats)

set(juce_sources)
foreach(module ${juce_modules})
  list(APPEND juce_sources ${juce_copy}/${module}/${module}.cpp)
endforeach()
add_library(juce STATIC ${juce_sources})
target_include_directories(juce SYSTEM PUBLIC ${juce_copy})
# Patch 07 guards the floating-point mode of the window procedure with the platform's guard.
target_include_directories(juce PRIVATE ${PROJECT_SOURCE_DIR}/platform/include)
# JUCE_TRY catches around paints, timers and posted messages: on Windows the host's DispatchMessage
# enters the toolkit, and nothing may unwind through it (patch 07 and ui/win32/ToolkitOnHostLoop.cpp).
set(juce_definitions ${juce_common_definitions} _WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE
                     JUCE_CATCH_UNHANDLED_EXCEPTIONS=1 ${juce_module_definitions})
target_compile_definitions(juce PUBLIC ${juce_definitions})
target_compile_options(juce PRIVATE -w)
target_link_libraries(juce PUBLIC z uuid wininet version ole32 oleaut32 ws2_32 imm32 comdlg32 shlwapi winmm dxgi
                                  gdi32 user32)

# --- the embedded images: the Linux build's generator, compiled for and run on the build machine ---
set(images_source ${CMAKE_BINARY_DIR}/resources/EmbeddedImages.cpp)
set(make_images ${CMAKE_BINARY_DIR}/resources/make_images)
add_custom_command(OUTPUT ${make_images}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
  COMMAND g++ -m32 -O2 -std=c++17 -o ${make_images} ${PROJECT_SOURCE_DIR}/resources/make_images.cpp -ljpeg
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/make_images.cpp
  COMMENT "Building the image encoder for the build machine")
add_custom_command(OUTPUT ${images_source}
  COMMAND ${make_images} ${images_source}
  DEPENDS ${make_images}
  COMMENT "Encoding the embedded images")
add_library(resources STATIC ${images_source})
target_include_directories(resources PUBLIC ${PROJECT_SOURCE_DIR})

# --- Windows counterparts of the platform library: thread starts, window read-back, PNG ---------
add_library(platform STATIC
  platform/src/MemoryProbe.cpp
  platform/windows/Threads.cpp
  platform/windows/WindowCapture.cpp)
target_include_directories(platform PUBLIC ${PROJECT_SOURCE_DIR}/platform/include)
target_compile_options(platform PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(platform PUBLIC z gdi32 user32)

# --- the module: the same sources as on Linux ---------------------------------------------------
add_library(qanagui_protocol INTERFACE)
target_include_directories(qanagui_protocol INTERFACE ${PROJECT_SOURCE_DIR}/include)

add_library(common STATIC common/EscapedExceptions.cpp common/FullScale.cpp)
target_include_directories(common PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(common PRIVATE ${QANAGUI_WARNINGS})

file(GLOB engine_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/engine/*.cpp)
add_library(engine STATIC ${engine_sources})
target_include_directories(engine PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(engine PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(engine PUBLIC common platform)

# The Linux toolkit bridge (the platform loop and Xlib's queue) is replaced by the Win32 one.
file(GLOB ui_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/ui/*.cpp)
list(REMOVE_ITEM ui_sources ${PROJECT_SOURCE_DIR}/ui/ToolkitOnHostLoop.cpp ${PROJECT_SOURCE_DIR}/ui/ToolkitXQueue.cpp
     ${PROJECT_SOURCE_DIR}/ui/RelayWakeLinux.cpp)
add_library(ui STATIC ${ui_sources} ui/win32/ToolkitOnHostLoop.cpp ui/win32/RelayWake.cpp)
target_include_directories(ui PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(ui PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(ui PUBLIC engine juce resources platform)

add_library(moduleobjects OBJECT module/CommandDispatch.cpp module/EntryPoints.cpp module/InstanceLifecycle.cpp
                                 module/ModuleDescriptor.cpp module/ModuleState.cpp)
target_compile_options(moduleobjects PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(moduleobjects PUBLIC ui engine qanagui_protocol)

# One export, undecorated, by the .def file; nothing else is exported.
add_library(qanagui SHARED module/Export.cpp module/exports.def)
target_compile_options(qanagui PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(qanagui PRIVATE moduleobjects ui engine)
set_target_properties(qanagui PROPERTIES PREFIX "" OUTPUT_NAME qanagui)
target_link_options(qanagui PRIVATE ${QANAGUI_STATIC_RUNTIME} -Wl,--no-undefined)
add_custom_command(TARGET qanagui POST_BUILD
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug qanagui.dll qanagui.dll.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=qanagui.dll.debug qanagui.dll
  WORKING_DIRECTORY $<TARGET_FILE_DIR:qanagui>
  BYPRODUCTS ${CMAKE_BINARY_DIR}/qanagui.dll.debug
  COMMENT "Moving the DLL's debug information into qanagui.dll.debug")

# --- the host ------------------------------------------------------------------------------------
add_library(hostcore STATIC host/win32/ModuleLoader.cpp host/ModuleCommands.cpp host/DescriptorImage.cpp)
target_include_directories(hostcore PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(hostcore PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(hostcore PUBLIC qanagui_protocol)

add_executable(analyzer-host host/win32/main.cpp host/DescribeModule.cpp host/HostOptions.cpp host/AnalyzerSession.cpp
                             host/AudioSources.cpp common/FullScale.cpp host/ProcessingThread.cpp host/BlockRunner.cpp host/OutputLog.cpp
                             host/SessionRunner.cpp)
target_compile_options(analyzer-host PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(analyzer-host PRIVATE hostcore platform)
# 256 instances with their windows fit in 2 GB (tests/win32/PlainHostTest.cpp); the host, which also
# holds audio and its own buffers, takes the room beyond.
target_link_options(analyzer-host PRIVATE ${QANAGUI_STATIC_RUNTIME} -Wl,--large-address-aware)
add_dependencies(analyzer-host qanagui)

# --- tests -----------------------------------------------------------------------------------------
if(QANAGUI_TESTS)
  include(${PROJECT_SOURCE_DIR}/tests/win32/tests.cmake)
endif()
