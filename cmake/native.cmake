# Native Linux build: the portable core on the simulated machine with headless windows.
find_package(GTest REQUIRED)
include(GoogleTest)
find_package(Threads REQUIRED)

file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp)
add_executable(dunmere_tests ${NATIVE_TEST_SOURCES} $<TARGET_OBJECTS:dunmere_cli>
  $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:platform_sim> $<TARGET_OBJECTS:ui_headless>)
target_include_directories(dunmere_tests SYSTEM PRIVATE ${DUNMERE_JSON_INCLUDE})
target_link_libraries(dunmere_tests PRIVATE GTest::gtest GTest::gtest_main Threads::Threads)
gtest_discover_tests(dunmere_tests
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  PROPERTIES LABELS native
  DISCOVERY_TIMEOUT 60)

file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS tests/bench/*.cpp)
if(BENCH_SOURCES)
  add_executable(dunmere_bench ${BENCH_SOURCES}
    $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:platform_sim> $<TARGET_OBJECTS:ui_headless>)
  target_include_directories(dunmere_bench SYSTEM PRIVATE ${DUNMERE_JSON_INCLUDE})
endif()

add_test(NAME core_includes_no_front_end
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/tests/layering/core_includes.cmake)
set_tests_properties(core_includes_no_front_end PROPERTIES LABELS native)
