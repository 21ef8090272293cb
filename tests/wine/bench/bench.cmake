# The flush benchmark, run by tests/wine/bench/flush-bench (scripts/bench): the core on the
# real Windows calls, with FlushDevice, SleepMs and StartWrite wrapped at the link so that a run can leave
# flushes out and its pauses can be timed without changing the core.
add_executable(dunmere_flush_bench ${CMAKE_CURRENT_LIST_DIR}/flush_bench.cpp
  ${CMAKE_SOURCE_DIR}/tests/wine/platform/loop_counters.cpp
  $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:platform_win32> $<TARGET_OBJECTS:ui_headless>)
target_link_libraries(dunmere_flush_bench PRIVATE ${WIN32_SYSTEM_LIBS})
target_link_options(dunmere_flush_bench PRIVATE
  -Wl,--wrap=_ZN8platform11FlushDeviceERKNS_6DeviceE
  -Wl,--wrap=_ZN8platform7SleepMsEj
  -Wl,--wrap=_ZN8platform10StartWriteERKNS_6DeviceEyPKvj)

# The sampling benchmark, run by tests/wine/bench/sampling-bench (scripts/bench): the two sample
# reads of a verification by sampling against one overwrite pass, on the real Windows calls.
add_executable(dunmere_sampling_bench ${CMAKE_CURRENT_LIST_DIR}/sampling_bench.cpp
  $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:platform_win32> $<TARGET_OBJECTS:ui_headless>)
target_link_libraries(dunmere_sampling_bench PRIVATE ${WIN32_SYSTEM_LIBS})

# The console program for tests/wine/bench/parallel-bench (scripts/bench parallel): all of it,
# with its volume inventory wrapped at the link to list the bench's loop devices.
add_executable(dunmere_cli_bench ${CMAKE_CURRENT_LIST_DIR}/cli_bench.cpp
  $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:dunmere_cli> $<TARGET_OBJECTS:platform_win32_console>
  $<TARGET_OBJECTS:ui_console>)
target_link_options(dunmere_cli_bench PRIVATE -municode -Wl,--wrap=_Z17RefreshDriveTablev)
target_link_libraries(dunmere_cli_bench PRIVATE ${CONSOLE_SYSTEM_LIBS})
