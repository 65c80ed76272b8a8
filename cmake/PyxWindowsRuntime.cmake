# Windows: what windeployqt would put beside pyxtune.exe, written once. Qt's libraries the
# programs link, and the plugins Qt loads at run time, each in the folder named after its
# plugin type (platforms/, styles/). The build's bin/ folder gets the same and, for the UI
# tests, Qt Test and the offscreen platform, so that everything runs from the build under Wine.
if(NOT (WIN32 AND TARGET pyxtune))
  return()
endif()
set(pyx_qt_shipped Qt6::Core Qt6::Gui Qt6::Widgets Qt6::QWindowsIntegrationPlugin
    Qt6::QWindowsVistaStylePlugin)
set(pyx_qt_tests_only)
if(PYX_BUILD_TESTS)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
  set(pyx_qt_tests_only Qt6::Test Qt6::QOffscreenIntegrationPlugin)
endif()

set(pyx_bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
set(copies)
foreach(qt_target IN LISTS pyx_qt_shipped pyx_qt_tests_only)
  if(NOT TARGET ${qt_target})
    message(FATAL_ERROR "This Qt for MinGW-w64 has no ${qt_target} (PYX_QT_WINDOWS_PREFIX=${PYX_QT_WINDOWS_PREFIX})")
  endif()
  get_target_property(plugin_type ${qt_target} QT_PLUGIN_TYPE)
  set(subdir "")
  if(plugin_type)
    set(subdir "/${plugin_type}")
  endif()
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${pyx_bin}${subdir}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${qt_target}> ${pyx_bin}${subdir}/)
  if(qt_target IN_LIST pyx_qt_shipped)
    install(FILES $<TARGET_FILE:${qt_target}> DESTINATION ${PYX_INSTALL_PROGRAM_DIR}${subdir})
  endif()
endforeach()
add_custom_target(pyx_qt_runtime ALL ${copies} COMMENT "Placing Qt's libraries and plugins beside the programs")
add_dependencies(pyxtune pyx_qt_runtime)
