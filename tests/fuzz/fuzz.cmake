# Fuzz targets for the receive loop's chunk transform, the emulator's frame
# reader and the session record's reader. They need clang with libFuzzer; the rest of the build may use any
# compiler, so they are built as a project of their own with clang, and each
# gets a short bounded run in CTest. Without clang nothing here happens.

if(NOT DEFINED CACHE{KRT418_FUZZ_CXX})
  find_program(KRT418_FUZZ_CXX NAMES clang++ clang++-18 clang++-17 clang++-16 clang++-15 clang++-14
               DOC "clang++ with libFuzzer, for the fuzz targets")
  set(probe_dir ${CMAKE_CURRENT_BINARY_DIR}/fuzzprobe)
  set(KRT418_FUZZ_OK FALSE)
  if(KRT418_FUZZ_CXX)
    file(WRITE ${probe_dir}/probe.cpp
         "#include <cstddef>\n#include <cstdint>\n"
         "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
    execute_process(COMMAND ${KRT418_FUZZ_CXX} -fsanitize=fuzzer,address ${probe_dir}/probe.cpp
                            -o ${probe_dir}/probe
                    RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
    if(probe_result EQUAL 0)
      set(KRT418_FUZZ_OK TRUE)
    endif()
  endif()
  set(KRT418_HAVE_LIBFUZZER ${KRT418_FUZZ_OK} CACHE BOOL "clang++ links libFuzzer programs")
endif()

if(NOT KRT418_HAVE_LIBFUZZER)
  message(STATUS "Fuzz targets: no clang++ with libFuzzer, not built")
  return()
endif()

set(fuzz_targets fuzz_receive fuzz_recordreader)
if(EXISTS ${CMAKE_SOURCE_DIR}/sim/framereader.cpp)
  list(APPEND fuzz_targets fuzz_framereader)
endif()
message(STATUS "Fuzz targets (${KRT418_FUZZ_CXX}): ${fuzz_targets}")

include(ExternalProject)
set(fuzz_build ${CMAKE_BINARY_DIR}/fuzz)
ExternalProject_Add(krt418-fuzz
  SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz
  BINARY_DIR ${fuzz_build}
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${KRT418_FUZZ_CXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo
             -DKRT418_SOURCE_DIR=${CMAKE_SOURCE_DIR} -DQt6_DIR=${Qt6_DIR}
  INSTALL_COMMAND ""
  BUILD_ALWAYS TRUE)

foreach(target ${fuzz_targets})
  string(REPLACE "fuzz_" "" corpus ${target})
  file(MAKE_DIRECTORY ${fuzz_build}/corpus/${corpus})
  # New inputs go to the build tree's corpus; the seeds in the source tree are
  # read only. Findings are written to the fuzz build directory.
  add_test(NAME ${target}
           COMMAND ${fuzz_build}/${target} -max_total_time=15 -timeout=10 -rss_limit_mb=2048
                   -artifact_prefix=${fuzz_build}/ -print_final_stats=1
                   ${fuzz_build}/corpus/${corpus} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/seeds/${corpus}
           WORKING_DIRECTORY ${fuzz_build})
  set_tests_properties(${target} PROPERTIES TIMEOUT 120 LABELS fuzz)
endforeach()
