# The real windows of dunmere-sim.exe under Wine, driven from outside by guidriver.exe. Each
# script starts its own Xvfb and uses the shared prefix, so they run one at a time.
add_executable(guidriver ${CMAKE_CURRENT_LIST_DIR}/guidriver.cpp)
target_link_libraries(guidriver PRIVATE comctl32 user32 gdi32 kernel32)

set(GUI_TESTS windows log_window single_instance pages selection settings help_method confirm progress
  startup_checks resume drive_wipe disk_wipe user_guide machine_warning demo_sounds)
# A wipe killed in the middle and resumed after a new start; the demo tour of scripts/run.
list(APPEND GUI_TESTS crash_resume demo_tour)
# The windows at 144 DPI, in a prefix of its own.
list(APPEND GUI_TESTS dpi)
# Disks plugged in and pulled out while the program runs.
list(APPEND GUI_TESTS hotplug)
foreach(name ${GUI_TESTS})
  add_test(NAME gui_${name}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/${name}.sh ${BIN_DIR})
  set_tests_properties(gui_${name} PROPERTIES
    LABELS wine
    RUN_SERIAL TRUE
    TIMEOUT 240
    ENVIRONMENT DUNMERE_GUI_TIMEOUT=240
    REQUIRED_FILES "${BIN_DIR}/dunmere-sim.exe;${BIN_DIR}/guidriver.exe")
endforeach()
# The tour wipes the stick and Disk1, each cancelled, restarted and resumed: about three minutes
# on a busy machine.
set_tests_properties(gui_demo_tour PROPERTIES TIMEOUT 480 ENVIRONMENT DUNMERE_GUI_TIMEOUT=480)
