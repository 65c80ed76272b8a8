# Libraries the cross build takes from the build machine's own packages, since Debian ships
# them only for Linux.

# nlohmann/json is headers only. Debian's CMake package for it points at /usr/include, which
# would put glibc's headers in front of MinGW's; a folder holding nothing but "nlohmann/" does not.
set(PYX_HOST_NLOHMANN_DIR /usr/include/nlohmann CACHE PATH "nlohmann/json headers to use in a cross build")
if(NOT EXISTS ${PYX_HOST_NLOHMANN_DIR}/json.hpp)
  message(FATAL_ERROR "No nlohmann/json headers in ${PYX_HOST_NLOHMANN_DIR} (Debian: nlohmann-json3-dev)")
endif()
set(pyx_json_include ${CMAKE_BINARY_DIR}/cross-include/json)
file(MAKE_DIRECTORY ${pyx_json_include})
file(CREATE_LINK ${PYX_HOST_NLOHMANN_DIR} ${pyx_json_include}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${pyx_json_include})

# GoogleTest from its source package, built by the cross compiler as part of this build.
if(PYX_BUILD_TESTS)
  set(PYX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
  if(NOT EXISTS ${PYX_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${PYX_GTEST_SOURCE_DIR} (Debian: googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${PYX_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# The window needs Qt built for the target, and Qt's build tools (moc, rcc, uic, lrelease) of the
# same version from the build machine.
if(PYX_BUILD_GUI)
  if(NOT PYX_QT_WINDOWS_PREFIX OR NOT EXISTS ${PYX_QT_WINDOWS_PREFIX}/lib/cmake/Qt6/Qt6Config.cmake)
    message(STATUS "No Qt for MinGW-w64 (PYX_QT_WINDOWS_PREFIX, made by scripts/build-qt-windows.sh): "
                   "building the core and pyxtunectl only")
    set(PYX_BUILD_GUI OFF)
  else()
    set(QT_HOST_PATH /usr CACHE PATH "The build machine's Qt, whose tools the cross build runs")
    execute_process(COMMAND dpkg-architecture -qDEB_HOST_MULTIARCH OUTPUT_VARIABLE pyx_multiarch
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT pyx_multiarch)
      set(pyx_multiarch x86_64-linux-gnu)
    endif()
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${pyx_multiarch}/cmake CACHE PATH "The build machine's Qt CMake packages")
  endif()
endif()
