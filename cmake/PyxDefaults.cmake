# Settings every target of our own gets; third-party code is not built with -Werror.
if(PYX_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(PYX_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Warnings are errors only where a developer or CI asked for it (PYX_WERROR, set by the
# developer presets): a user building a release with a newer compiler must not be stopped by
# a warning that compiler has learnt since.
option(PYX_WERROR "Treat compiler warnings in our own code as errors" OFF)

function(pyx_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${PYX_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${PYX_WERROR}>:-Werror>)
  endif()
endfunction()

# A core library: one folder, no Qt. Sources are listed by the folder's CMakeLists.
function(pyx_core_library target)
  set(srcs ${ARGN})
  if(NOT srcs)
    # A folder whose first class has not been written yet still makes a library.
    set(srcs ${CMAKE_CURRENT_BINARY_DIR}/${target}_empty.cpp)
    file(WRITE ${srcs} "")
  endif()
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  pyx_defaults(${target})
endfunction()

# A GoogleTest executable registered with CTest; the tests are listed when CTest runs,
# not while building, so a sanitizer build does not run every test binary twice.
function(pyx_test target)
  if(NOT TARGET GTest::gtest)  # a cross build compiles its own
    find_package(GTest REQUIRED)
  endif()
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  pyx_defaults(${target})
  include(GoogleTest)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "PYXTUNE_GPU_BACKEND=sim")
endfunction()

# Sources of a folder: every .cpp in it, plus its linux/ or windows/ subfolder for the
# platform being built. Folders are the architecture, so adding a class adds a file pair
# and touches no build file.
function(pyx_folder_sources out dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    file(GLOB plat CONFIGURE_DEPENDS ${dir}/windows/*.cpp)
  else()
    file(GLOB plat CONFIGURE_DEPENDS ${dir}/linux/*.cpp)
  endif()
  set(${out} ${srcs} ${plat} PARENT_SCOPE)
endfunction()

# Tests of one source folder: tests/<dir>/*.cpp make one GoogleTest binary; bench/*.cpp
# one Google Benchmark binary; fuzz/*.cpp one libFuzzer target each.
function(pyx_folder_tests name)
  set(libs ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    # Linux's own tests stay out (PYX_LINUX_ONLY_TESTS, tests/CMakeLists.txt); Windows' own
    # live in the folder's windows/.
    if(PYX_LINUX_ONLY_TESTS)
      list(REMOVE_ITEM srcs ${PYX_LINUX_ONLY_TESTS})
    endif()
    file(GLOB win_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/*Test.cpp)
    list(APPEND srcs ${win_srcs})
  endif()
  if(srcs)
    pyx_test(test_${name} ${srcs})
    target_link_libraries(test_${name} PRIVATE ${libs})
    target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(test_${name} PRIVATE
      PYX_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
  endif()
  file(GLOB benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/*.cpp)
  if(benches AND PYX_BUILD_BENCH)
    find_package(benchmark REQUIRED)
    add_executable(bench_${name} ${benches})
    target_link_libraries(bench_${name} PRIVATE ${libs} benchmark::benchmark benchmark::benchmark_main)
    target_include_directories(bench_${name} PRIVATE ${PROJECT_SOURCE_DIR})
    pyx_defaults(bench_${name})
  endif()
  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*.cpp)
  if(fuzzers AND PYX_FUZZ)
    foreach(f ${fuzzers})
      get_filename_component(fname ${f} NAME_WE)
      add_executable(fuzz_${fname} ${f})
      target_link_libraries(fuzz_${fname} PRIVATE ${libs})
      target_include_directories(fuzz_${fname} PRIVATE ${PROJECT_SOURCE_DIR})
      target_compile_options(fuzz_${fname} PRIVATE -fsanitize=fuzzer,address,undefined)
      target_link_options(fuzz_${fname} PRIVATE -fsanitize=fuzzer,address,undefined)
      pyx_defaults(fuzz_${fname})
    endforeach()
  endif()
endfunction()
