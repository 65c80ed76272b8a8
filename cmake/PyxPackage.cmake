# The Debian package, made by CPack from the install rules (cmake/PyxInstall.cmake):
#   cmake --preset release && cmake --build --preset release
#   cpack --config build/release/CPackConfig.cmake
# Its dependencies on shared libraries are computed by dpkg-shlibdeps; the fonts the program
# folder links to add the packages that own them.
if(NOT (UNIX AND NOT APPLE))
  return()
endif()

set(PYX_PACKAGE_MAINTAINER "Pyxtune maintainers <maintainers@users.noreply.c-seed-0e6ad67f.example>"
    CACHE STRING "Maintainer named in the Debian package")

# The Debian package that owns `file`, for the Depends line; empty when none does.
function(pyx_owning_package out file)
  set(${out} "" PARENT_SCOPE)
  find_program(PYX_DPKG_QUERY dpkg-query)
  if(NOT PYX_DPKG_QUERY)
    return()
  endif()
  get_filename_component(real "${file}" REALPATH)
  execute_process(COMMAND ${PYX_DPKG_QUERY} -S "${real}"
                  OUTPUT_VARIABLE owner ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR NOT owner MATCHES "^([^:, ]+)[:,]")
    return()
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

set(pyx_font_packages)
if(TARGET pyx_fonts)
  foreach(font ${PYX_FONT_ARIAL} ${PYX_FONT_DIGITAL})
    pyx_owning_package(owner ${font})
    if(owner)
      list(APPEND pyx_font_packages ${owner})
    else()
      message(WARNING "No Debian package owns ${font}: the package's Depends will not name it, "
                      "and its program folder would link to a file the system may lack")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES pyx_font_packages)
endif()

# Debian's own documents of the package: its copyright and its change log, compressed
# without name or time stamp.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/pyxtune)
set(deb_out ${PROJECT_BINARY_DIR}/debian)
string(TIMESTAMP PYX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
# Written since 2026, up to the year this build is made.
string(TIMESTAMP build_year "%Y" UTC)
set(PYX_COPYRIGHT_YEARS 2026)
if(build_year GREATER 2026)
  string(APPEND PYX_COPYRIGHT_YEARS "-${build_year}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/resources/linux/copyright.in ${deb_out}/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/linux/changelog.in ${deb_out}/changelog @ONLY)
add_custom_command(
  OUTPUT ${deb_out}/changelog.gz
  COMMAND ${PYX_GZIP} -9nc ${deb_out}/changelog > ${deb_out}/changelog.gz
  DEPENDS ${deb_out}/changelog
  COMMENT "Compressing the package's change log")
add_custom_target(pyx_package_docs ALL DEPENDS ${deb_out}/changelog.gz)
install(FILES ${deb_out}/copyright ${deb_out}/changelog.gz DESTINATION ${doc_dir})
# What lintian says of the package that is so on purpose, each with its reason.
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME pyxtune)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pyxtune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${PYX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tune, watch and light NVIDIA graphics cards")
# The summary above is the synopsis line; this is the extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pyxtune sets the graphics and memory clock offsets, power target, thermal
limit and fan speed of NVIDIA graphics cards, through three ready-made modes
or by hand; shows their clocks, temperature, fan speed and load every
second; and drives the colours and effects of the LED controllers on the
cards. Each card's settings are applied again at every start, and named
profiles can be saved and loaded.
.
It reaches the cards through the NVIDIA driver's NvAPI library
(libnvidia-api.so.1, driver 525 or later). Without it, it runs on simulated
cards and says so. The package holds the window (pyxtune) and the terminal
tool (pyxtunectl).
.
The package also holds a system service (pyxtuned, started by systemd
through its socket) that owns the cards, so that members of the pyxtune group
tune them without root and every user may watch them.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(PYX_HOMEPAGE_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PYX_HOMEPAGE_URL}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(pyx_package_depends ${pyx_font_packages})
if(pyx_service)  # set by cmake/PyxInstall.cmake
  # The maintainer scripts make the service's group (addgroup, from adduser) and enable, start
  # and stop its units as Debian's helpers do. No dependency on systemd: without it the units
  # simply lie unused and the clients work in their own process.
  list(APPEND pyx_package_depends adduser)
  set(linux_src ${PROJECT_SOURCE_DIR}/resources/linux)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${linux_src}/postinst ${linux_src}/prerm ${linux_src}/postrm)
endif()
list(JOIN pyx_package_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The package installs under /usr; install(CODE) rules see that prefix and write under DESTDIR.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
# Folders the rules create get the usual modes whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
