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
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;CASES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE tw_options ${A_DEPS} GTest::gtest_main GTest::gmock)
  set(results "${TW_RESULTS_DIR}")
  if(WIN32)
    set(results "Z:${TW_RESULTS_DIR}")
  endif()
  # CASES: one ctest test per value-parameterised case, <name>_<case>, so that a failure names it.
  if(A_CASES)
    foreach(case IN LISTS A_CASES)
      add_test(NAME ${name}_${case} COMMAND ${name} --gtest_filter=*/${case} --gtest_output=xml:${results}/${name}_${case}.xml)
      set_tests_properties(${name}_${case} PROPERTIES TIMEOUT 300)
    endforeach()
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${results}/${name}.xml)
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

# tw_split_debug(target): a delivered Windows program keeps only a link to its debug
# information, which moves to <file>.debug beside it. The linker gives the debug sections
# addresses in the image, so a loader maps them with the code: ten megabytes or more per module
# in the memory of every process that loads it. Call before any step that copies the file.
function(tw_split_debug target)
  if(NOT WIN32)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug $<TARGET_FILE:${target}>
    VERBATIM)
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
    tw_split_debug(${target})
  endforeach()
endfunction()

# The files every module page uses beside its DLL: the one style sheet and the common images.
# The support server stand-in's state folder (ports file, logs), shared by the Wine tests.
set(TW_SUPPORT_STATE ${CMAKE_BINARY_DIR}/support-server)

set(TW_PAGE_FILES
  ${CMAKE_SOURCE_DIR}/resources/registration/style.css
  ${CMAKE_SOURCE_DIR}/resources/registration/pop_tail.png
  ${CMAKE_SOURCE_DIR}/resources/registration/pop_arrow2.png
  ${CMAKE_SOURCE_DIR}/resources/registration/headicon_support.png
  ${CMAKE_SOURCE_DIR}/resources/battery/headicon_important.png
  ${CMAKE_SOURCE_DIR}/resources/battery/headicon_topics.png)

# tw_module(name SOURCES ... DEF file.def [RC ...] [DEPS ...]
#           [RELEASE_SOURCES ...] [RELEASE_DEPS ...] [SIM_SOURCES ...] [SIM_DEPS ...]
#           [PAGE_FILES ...] [TEST])
# A module DLL with undecorated exports from its .def file (Windows builds only), built on the
# module kit. Without SIM_ parts one build serves both variants and lands in out/release and
# out/sim; with them the release DLL takes RELEASE_ parts and a sim DLL of the same name (target
# <name>_sim) the SIM_ parts with the simulated notebook. TW_PAGE_FILES and the module's own
# PAGE_FILES are copied beside each. TEST modules land in out/test, away from the release set.
function(tw_module name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "TEST" "DEF" "SOURCES;DEPS;RC;RELEASE_SOURCES;RELEASE_DEPS;SIM_SOURCES;SIM_DEPS;PAGE_FILES" ${ARGN})
  if(A_TEST)
    add_library(${name} SHARED ${A_SOURCES} ${A_RC} ${A_DEF})
    target_link_libraries(${name} PRIVATE tw_options ${A_DEPS})
    set_target_properties(${name} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/out/test)
    return()
  endif()
  if(A_SIM_SOURCES OR A_SIM_DEPS)
    set(variants release sim)
  else()
    set(variants both)
  endif()
  foreach(variant IN LISTS variants)
    if(variant STREQUAL "sim")
      set(target ${name}_sim)
      set(extra ${A_SIM_SOURCES})
      set(extra_deps ${A_SIM_DEPS} tw_device_sim)
      set(outdirs ${TW_OUT_SIM})
    else()
      set(target ${name})
      set(extra ${A_RELEASE_SOURCES})
      set(extra_deps ${A_RELEASE_DEPS})
      set(outdirs ${TW_OUT_RELEASE})
      if(variant STREQUAL "both")
        list(APPEND outdirs ${TW_OUT_SIM})
      endif()
    endif()
    add_library(${target} SHARED ${A_SOURCES} ${extra} ${A_RC} ${A_DEF})
    target_link_libraries(${target} PRIVATE tw_options tw_kit_win ${A_DEPS} ${extra_deps})
    list(GET outdirs 0 outdir)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${outdir}
      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${variant})
    tw_split_debug(${target})
    foreach(dir IN LISTS outdirs)
      if(NOT dir STREQUAL outdir)
        add_custom_command(TARGET ${target} POST_BUILD
          COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
          COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${dir}/)
      endif()
      foreach(f IN LISTS TW_PAGE_FILES A_PAGE_FILES)
        add_custom_command(TARGET ${target} POST_BUILD COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${dir}/)
      endforeach()
    endforeach()
  endforeach()
endfunction()
