# Wine tests of the Win32 platform layer (CTest label "wine"): raw devices on image files and a
# loop device, volumes, the process and the shell, the sector library with two stand-in DLLs,
# and the portable core with headless windows on those calls (inventory, drive wipe runs, the
# sector reader and start-up checks under Windows 98, the system drive). setup-drives gives the
# prefix its drives before the tests and takes them away after.
set(WINE_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KORVANE_DIR ${CMAKE_CURRENT_LIST_DIR}/../korvane)

file(GLOB WINE_PLATFORM_TEST_SOURCES CONFIGURE_DEPENDS ${WINE_PLATFORM_DIR}/*.cpp)
add_executable(platform_wine_tests ${WINE_PLATFORM_TEST_SOURCES}
  $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:platform_win32> $<TARGET_OBJECTS:ui_headless>)
target_link_libraries(platform_wine_tests PRIVATE gtest ${WIN32_SYSTEM_LIBS})

# "korvane.dll" twice, in folders of their own under bin/korvane: with the export pxRead, and
# with it only as "PxRead". bin/korvane/absent stays empty.
foreach(variant exported misnamed)
  if(variant STREQUAL "exported")
    set(def ${KORVANE_DIR}/korvane.def)
  else()
    set(def ${KORVANE_DIR}/korvane-${variant}.def)
  endif()
  add_library(korvane_${variant} SHARED ${KORVANE_DIR}/korvane.cpp ${def})
  set_target_properties(korvane_${variant} PROPERTIES
    OUTPUT_NAME korvane PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${BIN_DIR}/korvane/${variant}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/korvane/${variant})
  add_dependencies(platform_wine_tests korvane_${variant})
endforeach()
file(MAKE_DIRECTORY ${BIN_DIR}/korvane/absent)

add_test(NAME wine.platform.setup-drives
  COMMAND ${WINE_PLATFORM_DIR}/setup-drives ${CMAKE_BINARY_DIR})
add_test(NAME wine.platform.remove-drives
  COMMAND ${WINE_PLATFORM_DIR}/setup-drives --remove ${CMAKE_BINARY_DIR})
set_tests_properties(wine.platform.setup-drives PROPERTIES
  FIXTURES_SETUP wine_platform_drives LABELS wine RESOURCE_LOCK wine_prefix)
set_tests_properties(wine.platform.remove-drives PROPERTIES
  FIXTURES_CLEANUP wine_platform_drives LABELS wine RESOURCE_LOCK wine_prefix)

# Every test runs in its own Wine session (wine-run starts and ends Xvfb and the wineserver),
# so the sessions must not overlap: they share one prefix.
gtest_discover_tests(platform_wine_tests
  TEST_PREFIX wine.platform.
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 180
  PROPERTIES LABELS wine FIXTURES_REQUIRED wine_platform_drives RESOURCE_LOCK wine_prefix
             TIMEOUT 120)
