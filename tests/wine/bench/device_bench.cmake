# The device benchmark, run by tests/wine/bench/device-bench (scripts/bench device): one drive
# run of the core on the real Windows calls, with the headless windows and with the real ones.
# The pass captions and the pauses are wrapped at the link so the passes can be timed without
# changing the core; the windowed one also skips the program's start-up (FormCreate).
set(DEVICE_BENCH_WRAPS
  -Wl,--wrap=_ZN2ui18SetProgressCaptionERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE
  -Wl,--wrap=_ZN8platform7SleepMsEj)
add_executable(dunmere_device_bench ${CMAKE_CURRENT_LIST_DIR}/device_bench.cpp
  $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:platform_win32> $<TARGET_OBJECTS:ui_headless>)
target_link_libraries(dunmere_device_bench PRIVATE ${WIN32_SYSTEM_LIBS} psapi)
target_link_options(dunmere_device_bench PRIVATE ${DEVICE_BENCH_WRAPS})
add_executable(dunmere_device_bench_windows ${CMAKE_CURRENT_LIST_DIR}/device_bench.cpp
  $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:platform_win32> $<TARGET_OBJECTS:ui_win32>
  ${RESOURCE_FILE})
target_compile_definitions(dunmere_device_bench_windows PRIVATE DUNMERE_REAL_WINDOWS)
target_link_libraries(dunmere_device_bench_windows PRIVATE ${WIN32_SYSTEM_LIBS} psapi)
target_link_options(dunmere_device_bench_windows PRIVATE ${DEVICE_BENCH_WRAPS}
  -Wl,--wrap=_ZN3app10FormCreateEv)
# The same writes with nothing else, for the ceiling the platform gives a run.
add_executable(dunmere_write_loop_bench ${CMAKE_CURRENT_LIST_DIR}/write_loop_bench.cpp)
