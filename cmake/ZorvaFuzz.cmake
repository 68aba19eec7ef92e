# zorva_add_fuzz_target(NAME SOURCES src... LIBS lib... CORPUS dir)
#
# Every fuzz target defines LLVMFuzzerTestOneInput. In an ordinary build it is
# linked with a small driver that feeds it each file of its regression corpus,
# registered with ctest, so hostile inputs found once are replayed forever.
# With -DZORVA_FUZZ=ON (clang) the same source also becomes a libFuzzer binary
# NAME_fuzzer.
function(zorva_add_fuzz_target name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name}_replay ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
  target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
  if(ZORVA_BUILD_TESTS AND F_CORPUS)
    add_test(NAME ${name}_corpus COMMAND ${name}_replay ${F_CORPUS})
    set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz)
  endif()
  if(ZORVA_FUZZ)
    add_executable(${name}_fuzzer ${F_SOURCES})
    target_compile_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name}_fuzzer PRIVATE ${F_LIBS})
  endif()
endfunction()
