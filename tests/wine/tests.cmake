# Tests that run on the Windows side under Wine (CTest label "wine"), one file per area.
include(${CMAKE_CURRENT_LIST_DIR}/platform/tests.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/gui/tests.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/bench/device_bench.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/cli/tests.cmake OPTIONAL)
