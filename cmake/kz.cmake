# Small helpers so that adding a source or test file needs no CMake edit.

# kz_library(<target> [DEPS <libs>...] [PRIVATE_DEPS <libs>...] [EXCLUDE <subdir>...] [ALSO <folder>...])
# Sources: every .cpp/.c below the calling folder, except in excluded subfolders (which are targets of their own),
# and below each ALSO folder (relative to the project), for a library whose files lie in two folders.
function(kz_library name)
  cmake_parse_arguments(KZ "" "" "DEPS;PRIVATE_DEPS;EXCLUDE;ALSO" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(folder ${KZ_ALSO})
    file(GLOB_RECURSE more CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.c)
    list(APPEND srcs ${more})
  endforeach()
  foreach(ex ${KZ_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${ex}/")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${KZ_DEPS} PRIVATE ${KZ_PRIVATE_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${KZ_DEPS})
  endif()
endfunction()

# kz_tests(<target> DEPS <libs>... [ALSO <subfolder>...])
# One test program per source folder: every .cpp in the calling folder (not below) and in each ALSO subfolder, for a
# library whose sources lie in subfolders of its own folder.
# Discovery runs just before the tests, so programs that need EGL or Qt are not run at build time.
function(kz_tests name)
  cmake_parse_arguments(KZ "" "" "DEPS;ALSO" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(folder ${KZ_ALSO})
    file(GLOB more CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND srcs ${more})
  endforeach()
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${KZ_DEPS} kz_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  # The test environment goes in front of the program as `env K=V ...`: gtest_discover_tests uses the
  # emulator for discovery and for every test, whereas a list-valued ENVIRONMENT property loses all but its
  # first entry on the way through its PROPERTIES argument.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "env;${KZ_TEST_ENV}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 600)
  # The whole program once more in one process, as a user of GoogleTest runs it: a test that depends on the
  # order or on state an earlier test left behind fails here, where each test on its own would pass. It writes
  # into a folder of its own: ctest runs it beside the single tests, which would remake the same folders under it.
  add_test(NAME ${name}.whole COMMAND env ${KZ_TEST_ENV} KZ_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output/whole-${name}
                                       $<TARGET_FILE:${name}>)
  set_tests_properties(${name}.whole PROPERTIES TIMEOUT 1800)
endfunction()

# kz_bench(<target> DEPS <libs>...): one benchmark program per .cpp in the calling folder.
function(kz_bench)
  cmake_parse_arguments(KZ "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(src ${srcs})
    get_filename_component(stem ${src} NAME_WE)
    add_executable(bench_${stem} ${src})
    target_include_directories(bench_${stem} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/bench)
    target_link_libraries(bench_${stem} PRIVATE ${KZ_DEPS} benchmark::benchmark benchmark::benchmark_main)
  endforeach()
endfunction()
