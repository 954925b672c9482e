# The Windows tests, run under Wine by scripts/test-win32. GoogleTest is built from Debian's sources
# with the cross compiler. Test programs land next to qanagui.dll, where LoadLibraryA finds it.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(win32_test_link_options ${QANAGUI_STATIC_RUNTIME} -Wl,--large-address-aware)

# The protocol through LoadLibraryA and GetProcAddress: the Linux protocol tests (the out-of-memory
# cases need fork and stay Linux-only) and the DLL's export and import tables.
add_executable(protocol_tests
  tests/protocol/ModuleFixture.cpp
  tests/protocol/DescriptorImageTest.cpp
  tests/protocol/CommandProtocolTest.cpp
  tests/protocol/EntryPointsTest.cpp
  tests/win32/DllFileTest.cpp)
target_include_directories(protocol_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/protocol
                                                  $<TARGET_PROPERTY:engine,INTERFACE_INCLUDE_DIRECTORIES>)
target_compile_options(protocol_tests PRIVATE ${QANAGUI_WARNINGS})
target_compile_definitions(protocol_tests PRIVATE QANAGUI_MODULE_PATH="qanagui.dll")
target_link_libraries(protocol_tests PRIVATE hostcore gtest gtest_main)
target_link_options(protocol_tests PRIVATE ${win32_test_link_options})
add_dependencies(protocol_tests qanagui)

# The DLL end to end with the test as the host on its own message loop: the window, the workers'
# traces through GDI, create/destroy cycles while drawing.
add_executable(window_tests tests/win32/WindowTest.cpp)
target_compile_options(window_tests PRIVATE ${QANAGUI_WARNINGS})
target_compile_definitions(window_tests PRIVATE QANAGUI_MODULE_PATH="qanagui.dll")
target_link_libraries(window_tests PRIVATE hostcore engine platform gtest gtest_main)
target_link_options(window_tests PRIVATE ${win32_test_link_options})
add_dependencies(window_tests qanagui)

# The DLL in a plain host: not large-address-aware (2 GB of address space), no message loop run.
add_executable(plain_host_tests tests/win32/PlainHostTest.cpp)
target_compile_options(plain_host_tests PRIVATE ${QANAGUI_WARNINGS})
target_compile_definitions(plain_host_tests PRIVATE QANAGUI_MODULE_PATH="qanagui.dll")
target_link_libraries(plain_host_tests PRIVATE hostcore gtest gtest_main)
target_link_options(plain_host_tests PRIVATE ${QANAGUI_STATIC_RUNTIME})
add_dependencies(plain_host_tests qanagui)

# The display positions of the engine built for Windows; compared with the Linux build's output.
add_executable(display_positions tests/positions/display_positions.cpp)
target_compile_options(display_positions PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(display_positions PRIVATE engine platform)
target_link_options(display_positions PRIVATE ${QANAGUI_STATIC_RUNTIME})

# Faults thrown in the toolkit's paints, mouse handlers and timers on the host's message loop: the
# test builds an instance and its window itself, as the module does, and throws from a component.
add_executable(toolkit_fault_tests tests/win32/ToolkitFaultTest.cpp)
target_compile_options(toolkit_fault_tests PRIVATE ${QANAGUI_WARNINGS})
target_link_libraries(toolkit_fault_tests PRIVATE ui engine platform gtest gtest_main)
target_link_options(toolkit_fault_tests PRIVATE ${win32_test_link_options})
