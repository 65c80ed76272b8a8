# What `cmake --install` puts where. The program folder keeps the layout of the build's bin/
# folder, because the program finds its fonts and ReadMem beside its own resolved file: the
# commands on the search path are links into it, and a link still leads the program home.
# On Linux the desktop gets its entry, the icon theme's icons, AppStream metainfo and the
# manual pages, and the service its systemd units, each where the freedesktop and Debian
# conventions put them.

# Windows keeps them at the top of the install folder (Program Files\Pyxtune).
set(pyx_program_dir_default lib/pyxtune)
if(WIN32)
  set(pyx_program_dir_default .)
endif()
set(PYX_INSTALL_PROGRAM_DIR "${pyx_program_dir_default}" CACHE STRING
    "Program folder (program, pyxtunectl, ReadMem, fonts), relative to the install prefix")
# The reverse-DNS name the desktop knows the program by: desktop entry, icon and metainfo.
set(PYX_APP_ID "io.github.pyxtune.pyxtune")
if(TARGET pyx_ui_main)
  target_compile_definitions(pyx_ui_main PRIVATE PYX_APP_ID="${PYX_APP_ID}")
endif()
# The project's home page, named in the package's control fields; none unless a builder gives
# one (no address the project does not own goes into a package).
set(PYX_HOMEPAGE_URL "" CACHE STRING "The project's home page, named in the package's control fields")

set(pyx_programs pyxtunectl ReadMem)
if(TARGET pyxtune)
  list(PREPEND pyx_programs pyxtune)
endif()
# The service that owns the cards, run by systemd; only Linux has its front-end.
set(pyx_service OFF)
if(TARGET pyxtuned AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(pyx_service ON)
  list(APPEND pyx_programs pyxtuned)
endif()
install(TARGETS ${pyx_programs} RUNTIME DESTINATION ${PYX_INSTALL_PROGRAM_DIR})
if(CMAKE_OBJCOPY AND NOT WIN32)
  # A stripped install (the package's) also drops the compilers' notes, as Debian's tools do.
  foreach(program ${pyx_programs})
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${PYX_INSTALL_PROGRAM_DIR}/$<TARGET_FILE_NAME:${program}>\"
          COMMAND_ERROR_IS_FATAL ANY)
      endif()
    ")
  endforeach()
endif()

set(pyx_linux_desktop OFF)
if(UNIX AND NOT APPLE)
  set(pyx_linux_desktop ON)
endif()

# Creates at install time the link `link` (a path below the prefix) to `target` (a path below
# the prefix, or an absolute one): relative within one top-level folder of the final system,
# absolute across them, as Debian asks. DESTDIR only moves where it is written.
function(pyx_install_link link target)
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(link \"\${prefix}/${link}\")
    set(target \"${target}\")
    if(NOT IS_ABSOLUTE \"\${target}\")
      set(target \"\${prefix}/\${target}\")
    endif()
    string(REGEX MATCH \"^/[^/]*\" link_top \"\${link}\")
    string(REGEX MATCH \"^/[^/]*\" target_top \"\${target}\")
    if(link_top STREQUAL target_top)
      get_filename_component(link_dir \"\${link}\" DIRECTORY)
      file(RELATIVE_PATH target \"\${link_dir}\" \"\${target}\")
    endif()
    set(written \"\$ENV{DESTDIR}\${link}\")
    get_filename_component(written_dir \"\${written}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${written_dir}\")
    file(REMOVE \"\${written}\")
    message(STATUS \"Installing: \${written} -> \${target}\")
    file(CREATE_LINK \"\${target}\" \"\${written}\" SYMBOLIC)
  ")
endfunction()

if(TARGET pyx_fonts)
  set(fonts Arial.ttf:${PYX_FONT_ARIAL}:${PYX_FONT_ARIAL_LICENSE}
            DS-DIGI.ttf:${PYX_FONT_DIGITAL}:${PYX_FONT_DIGITAL_LICENSE})
  foreach(entry ${fonts})
    string(REPLACE ":" ";" entry "${entry}")
    list(GET entry 0 name)
    list(GET entry 1 font)
    list(GET entry 2 licence)
    if(pyx_linux_desktop)
      # The system's font packages own these files (and keep them patched); an installed
      # program links to them under the names it looks for rather than carrying copies.
      pyx_install_link(${PYX_INSTALL_PROGRAM_DIR}/${name} ${font})
      pyx_install_link(${PYX_INSTALL_PROGRAM_DIR}/${name}.LICENSE.txt ${licence})
    else()
      install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}
                    ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.LICENSE.txt
              DESTINATION ${PYX_INSTALL_PROGRAM_DIR})
    endif()
  endforeach()
endif()

if(NOT pyx_linux_desktop)
  return()
endif()

include(GNUInstallDirs)
foreach(program ${pyx_programs})
  if(program STREQUAL "pyxtuned")
    # An administrator's command (run by hand for testing, with sudo's path): sbin.
    pyx_install_link(${CMAKE_INSTALL_SBINDIR}/${program} ${PYX_INSTALL_PROGRAM_DIR}/${program})
  elseif(NOT program STREQUAL "ReadMem")
    pyx_install_link(${CMAKE_INSTALL_BINDIR}/${program} ${PYX_INSTALL_PROGRAM_DIR}/${program})
  endif()
endforeach()

set(linux_src ${PROJECT_SOURCE_DIR}/resources/linux)
set(linux_out ${PROJECT_BINARY_DIR}/linux)

# Manual pages, compressed as Debian wants them: best compression, no name or time stamp.
find_program(PYX_GZIP gzip REQUIRED)
set(man_pages pyxtunectl.1)
if(TARGET pyxtune)
  list(APPEND man_pages pyxtune.1)
endif()
if(pyx_service)
  list(APPEND man_pages pyxtuned.8)
endif()
set(man_outputs)
foreach(page ${man_pages})
  add_custom_command(
    OUTPUT ${linux_out}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${linux_out}
    COMMAND ${PYX_GZIP} -9nc ${linux_src}/${page} > ${linux_out}/${page}.gz
    DEPENDS ${linux_src}/${page}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND man_outputs ${linux_out}/${page}.gz)
  string(REGEX MATCH "[^.]+$" section "${page}")
  install(FILES ${linux_out}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(pyx_man_pages ALL DEPENDS ${man_outputs})

if(pyx_service)
  # The service's units. They name the program by the prefix it is installed under, which is
  # known only at install time (the package's is /usr, a builder's may differ), so the unit is
  # filled in then. Under /usr they go where Debian 12's packages put units (/lib/systemd/system,
  # as its systemd.pc says); under another prefix, below it (systemd also reads
  # /usr/local/lib/systemd/system).
  set(PYX_SYSTEMD_UNIT_DIR "/lib/systemd/system" CACHE PATH
      "Folder for the service's systemd units when installed under /usr")
  install(CODE "
    set(unit_dir \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(unit_dir \"${PYX_SYSTEMD_UNIT_DIR}\")
    endif()
    set(PYX_PROGRAM_FOLDER \"\${CMAKE_INSTALL_PREFIX}/${PYX_INSTALL_PROGRAM_DIR}\")
    configure_file(\"${linux_src}/pyxtuned.service.in\" \"${linux_out}/units/pyxtuned.service\" @ONLY)
    file(INSTALL DESTINATION \"\${unit_dir}\" TYPE FILE
         FILES \"${linux_out}/units/pyxtuned.service\" \"${linux_src}/pyxtuned.socket\")
  ")
  # What the service asks polkit about a client outside the group pyxtune.
  install(FILES ${linux_src}/org.pyxtune.policy DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
endif()

if(NOT TARGET pyxtune)
  return()
endif()

# The desktop entry, the metainfo and the icon theme's icons belong to the window.
configure_file(${linux_src}/pyxtune.desktop.in ${linux_out}/${PYX_APP_ID}.desktop @ONLY)
string(TIMESTAMP PYX_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${linux_src}/pyxtune.metainfo.xml.in ${linux_out}/${PYX_APP_ID}.metainfo.xml @ONLY)
install(FILES ${linux_out}/${PYX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${linux_out}/${PYX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon is the skin's image 128, drawn again at each size of the theme rather than scaled.
set(icon_sizes 16 22 24 32 48 64 128 256)
set(icon_dir ${linux_out}/icons)
set(icon_files)
foreach(size ${icon_sizes})
  list(APPEND icon_files ${icon_dir}/${size}.png)
endforeach()
add_custom_command(
  OUTPUT ${icon_files}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:pyx_skin_generator> --app-icons ${icon_dir}
  DEPENDS pyx_skin_generator
  COMMENT "Drawing the program's icon for the icon theme"
  VERBATIM)
add_custom_target(pyx_app_icons ALL DEPENDS ${icon_files})
foreach(size ${icon_sizes})
  install(FILES ${icon_dir}/${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${PYX_APP_ID}.png)
endforeach()
