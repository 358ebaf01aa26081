# Helpers that declare one static library per subsystem folder and one test program per folder.

# zr_module(folder DEPS targets... EXCLUDE files...): library zr_<folder> from every .cpp in the
# folder but the excluded ones (the game's entry point, main.cpp, is always left out). Includes
# are written from the source root, as in #include "core/mem.h".
set(ZR_GAME_LIBS "" CACHE INTERNAL "")
function(zr_module folder)
  cmake_parse_arguments(M "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  foreach(excluded ${M_EXCLUDE})
    list(REMOVE_ITEM srcs "${CMAKE_CURRENT_SOURCE_DIR}/${excluded}")
  endforeach()
  if(NOT srcs)
    return()
  endif()
  add_library(zr_${folder} STATIC ${srcs})
  target_include_directories(zr_${folder} PUBLIC ${PROJECT_SOURCE_DIR} ${ZR_GENERATED_DIR})
  target_link_libraries(zr_${folder} PUBLIC ${M_DEPS})
  set(ZR_GAME_LIBS ${ZR_GAME_LIBS} zr_${folder} CACHE INTERNAL "")
endfunction()

# zr_game_libs: every subsystem library as one link group, since the subsystems call each other.
function(zr_link_group)
  list(JOIN ZR_GAME_LIBS "," group)
  add_library(zr_game_libs INTERFACE)
  target_link_libraries(zr_game_libs INTERFACE "$<LINK_GROUP:RESCAN,${group}>")
endfunction()

# The environment every test runs in, so that a bare ctest behaves as tools/test.sh does. Tests
# run through this wrapper (their CROSSCOMPILING_EMULATOR), which sets it and execs the test.
set(ZR_TEST_ENV
  "SDL_VIDEODRIVER=x11"
  "LIBGL_ALWAYS_SOFTWARE=1"
  "SDL_AUDIODRIVER=dummy"
  "UBSAN_OPTIONS=print_stacktrace=1"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:use_tls=0"
  "ZR_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
  "ZR_BINARY_DIR=${PROJECT_BINARY_DIR}")
set(ZR_TEST_WRAPPER "${PROJECT_BINARY_DIR}/zr-test-env")
set(wrapper_text "#!/bin/sh\n# Runs a test in the test environment.\n")
foreach(assignment ${ZR_TEST_ENV})
  string(APPEND wrapper_text "export '${assignment}'\n")
endforeach()
string(APPEND wrapper_text "exec \"$@\"\n")
file(GENERATE OUTPUT "${ZR_TEST_WRAPPER}" CONTENT "${wrapper_text}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)

# zr_test_program(folder LIBS targets...): test_<folder> from tests/<folder>/*.cpp, each TEST a
# ctest test of its own (one process per test), labelled with the folder's name.
function(zr_test_program folder)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp")
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${folder} ${srcs})
  target_link_libraries(test_${folder} PRIVATE zr_test_support zr_game_libs ${T_LIBS}
                        GTest::gtest GTest::gtest_main)
  set_target_properties(test_${folder} PROPERTIES CROSSCOMPILING_EMULATOR "${ZR_TEST_WRAPPER}")
  gtest_discover_tests(test_${folder}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${folder} TIMEOUT 300)
endfunction()
