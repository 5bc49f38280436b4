# Helpers every folder uses to declare its targets.
#
#   tw_core_library(name SOURCES ... [DEPS ...])   portable code: no windows.h, built in every build
#   tw_win_library(name SOURCES ... [DEPS ...])    Win32 adapters: Windows builds only
#   tw_test(name SOURCES ... [DEPS ...])           GoogleTest program, run by ctest (under Wine when cross-built)
#   tw_fuzz(name SOURCES ... [DEPS ...])           libFuzzer target, fuzz preset only

# Every Windows program carries the compatibility manifest.
if(WIN32)
  set(TW_APP_MANIFEST ${CMAKE_SOURCE_DIR}/resources/common/compatibility.rc)
endif()

set(TW_RESULTS_DIR ${CMAKE_BINARY_DIR}/test-results)
file(MAKE_DIRECTORY ${TW_RESULTS_DIR})

function(tw_core_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC tw_options ${A_DEPS})
endfunction()

function(tw_win_library name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC tw_options ${A_DEPS})
endfunction()

function(tw_test name)
  if(NOT TELLWICK_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE tw_options ${A_DEPS} GTest::gtest_main GTest::gmock)
  if(WIN32)
    set(xml "Z:${TW_RESULTS_DIR}/${name}.xml")
  else()
    set(xml "${TW_RESULTS_DIR}/${name}.xml")
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${xml})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

function(tw_fuzz name)
  if(NOT TELLWICK_FUZZ)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE tw_options ${A_DEPS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()

# tw_variant_executable(name SOURCES ... [DEPS ...] [CONSOLE])
# One program, linked twice in Windows builds: out/release/<name>.exe with the real device
# and out/sim/<name>.exe with the simulated notebook. Native builds make the sim one only.
set(TW_OUT_RELEASE ${CMAKE_BINARY_DIR}/out/release)
set(TW_OUT_SIM ${CMAKE_BINARY_DIR}/out/sim)

function(tw_variant_executable name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  set(variants sim)
  if(WIN32)
    list(APPEND variants release)
  endif()
  foreach(variant IN LISTS variants)
    if(variant STREQUAL "release")
      set(target ${name})
      set(outdir ${TW_OUT_RELEASE})
    else()
      set(target ${name}_sim)
      set(outdir ${TW_OUT_SIM})
    endif()
    add_executable(${target} ${A_SOURCES} ${TW_APP_MANIFEST})
    target_link_libraries(${target} PRIVATE tw_options ${A_DEPS} tw_device_${variant})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${outdir})
  endforeach()
endfunction()

# tw_module(name SOURCES ... DEF file.def [DEPS ...] [RC ...] [TEST] [RELEASE_ONLY])
# A DLL with undecorated exports from its .def file (Windows builds only). Modules need no
# device of their own, so one build serves both variants: it lands in out/release and out/sim.
# TEST modules land in out/test, away from the release set. RELEASE_ONLY: the module builds
# its own sim variant, so this one stays in out/release.
function(tw_module name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "TEST;RELEASE_ONLY" "DEF" "SOURCES;DEPS;RC" ${ARGN})
  add_library(${name} SHARED ${A_SOURCES} ${A_RC} ${A_DEF})
  target_link_libraries(${name} PRIVATE tw_options ${A_DEPS})
  if(A_TEST)
    set_target_properties(${name} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/out/test)
    return()
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${TW_OUT_RELEASE})
  if(A_RELEASE_ONLY)
    return()
  endif()
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TW_OUT_SIM}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${name}> ${TW_OUT_SIM}/)
endfunction()
