# Settings every target of our own gets; third-party code is not built with -Werror.
if(PYX_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(PYX_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# An optimised build for a user gets the hardening of the system's own programs: checked
# string and memory functions, and relocations bound at start and then made read-only.
if(NOT WIN32 AND NOT MSVC AND PYX_SANITIZE STREQUAL ""
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
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
  if(TARGET pyx_test_isolation)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:pyx_test_isolation>)
  endif()
  pyx_defaults(${target})
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (Wine) each start costs; the whole binary is one test.
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "PYXTUNE_GPU_BACKEND=sim")
  else()
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "PYXTUNE_GPU_BACKEND=sim")
  endif()
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
    target_link_libraries(test_${name} PRIVATE ${libs} pyx_test_support)
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

# A program of ours on Windows carries the manifest that asks for administrator rights
# (resources/windows/Elevated.manifest) and its version for the file's properties. WINDOWED:
# a window program, started without a console.
function(pyx_windows_program target description)
  if(NOT WIN32)
    return()
  endif()
  if("WINDOWED" IN_LIST ARGN)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
  set(manifest ${PROJECT_SOURCE_DIR}/resources/windows/Elevated.manifest)
  if(MSVC)
    # The linker merges the file into the manifest it makes; its own execution level is left out.
    target_sources(${target} PRIVATE ${manifest})
    target_link_options(${target} PRIVATE /MANIFESTUAC:NO)
  endif()
  string(REPLACE "." "," version_commas "${PROJECT_VERSION}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  set(manifest_line "1 24 \"${manifest}\"")
  if(MSVC)
    set(manifest_line "")
  endif()
  # The window's program carries the icon Explorer, the taskbar and the Start menu show.
  set(icon_line "")
  if("WINDOWED" IN_LIST ARGN AND PYX_BUILD_GUI)
    set(icon_line "1 ICON \"${PYX_WINDOWS_ICON}\"")
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${PYX_WINDOWS_ICON})
    add_dependencies(${target} pyx_windows_icon)
  endif()
  file(GENERATE OUTPUT ${rc} CONTENT "#include <winver.h>
${manifest_line}
${icon_line}
1 VERSIONINFO
FILEVERSION ${version_commas}
PRODUCTVERSION ${version_commas}
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
BEGIN
  BLOCK \"StringFileInfo\"
  BEGIN
    BLOCK \"040904B0\"
    BEGIN
      VALUE \"FileDescription\", \"${description}\"
      VALUE \"FileVersion\", \"${PROJECT_VERSION}\"
      VALUE \"InternalName\", \"${target}\"
      VALUE \"OriginalFilename\", \"${target}.exe\"
      VALUE \"ProductName\", \"Pyxtune\"
      VALUE \"ProductVersion\", \"${PROJECT_VERSION}\"
    END
  END
  BLOCK \"VarFileInfo\"
  BEGIN
    VALUE \"Translation\", 0x409, 1200
  END
END
")
  target_sources(${target} PRIVATE ${rc})
endfunction()
