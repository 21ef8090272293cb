# libFuzzer targets for the readers of untrusted bytes (tests/fuzz/): the breakpoint record,
# a resume from any record, setting.bin, the machine description and the console program's
# command line. They link the core, the
# simulated machine and the headless windows, all instrumented for coverage and checked by
# AddressSanitizer and UndefinedBehaviorSanitizer. Clang only:
#   cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DDUNMERE_FUZZ=ON
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "DUNMERE_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()

set(DUNMERE_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
foreach(layer dunmere_core dunmere_cli platform_sim ui_headless)
  target_compile_options(${layer} PRIVATE -fsanitize=fuzzer-no-link ${DUNMERE_FUZZ_SANITIZERS})
endforeach()
# The other executables of this build link the same instrumented objects.
foreach(exe dunmere_tests dunmere_bench)
  if(TARGET ${exe})
    target_compile_options(${exe} PRIVATE ${DUNMERE_FUZZ_SANITIZERS})
    target_link_options(${exe} PRIVATE -fsanitize=address,undefined)
  endif()
endforeach()

# The targets' own helpers are not the code under test: no coverage feedback from them.
add_library(fuzz_support OBJECT tests/fuzz/fuzz_support.cpp)
target_compile_options(fuzz_support PRIVATE ${DUNMERE_FUZZ_SANITIZERS})
set(DUNMERE_FUZZ_OBJECTS $<TARGET_OBJECTS:fuzz_support> $<TARGET_OBJECTS:dunmere_core> $<TARGET_OBJECTS:dunmere_cli>
  $<TARGET_OBJECTS:platform_sim> $<TARGET_OBJECTS:ui_headless>)

set(DUNMERE_FUZZ_TARGETS breakpoint resume settings description arguments)
set(DUNMERE_FUZZ_EXECUTABLES)
foreach(name ${DUNMERE_FUZZ_TARGETS})
  add_executable(fuzz_${name} tests/fuzz/${name}_fuzz.cpp ${DUNMERE_FUZZ_OBJECTS})
  target_include_directories(fuzz_${name} SYSTEM PRIVATE ${DUNMERE_JSON_INCLUDE})
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer ${DUNMERE_FUZZ_SANITIZERS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  list(APPEND DUNMERE_FUZZ_EXECUTABLES fuzz_${name})
endforeach()

# Regenerates the seed corpora: fuzz_seeds tests/fuzz/corpus
add_executable(fuzz_seeds tests/fuzz/make_seeds.cpp ${DUNMERE_FUZZ_OBJECTS})
target_compile_options(fuzz_seeds PRIVATE ${DUNMERE_FUZZ_SANITIZERS})
target_link_options(fuzz_seeds PRIVATE -fsanitize=address,undefined)

add_custom_target(dunmere_fuzz DEPENDS ${DUNMERE_FUZZ_EXECUTABLES} fuzz_seeds)
