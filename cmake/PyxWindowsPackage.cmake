# The Windows installer and a portable .zip of the same folder, made by CPack from the install
# rules (NSIS builds Windows installers on Linux too):
#   cmake --preset windows-release && cmake --build --preset windows-release
#   cpack --config build/windows-release/CPackConfig.cmake
# The installer asks for administrator rights and installs for every user into Program Files,
# with a Start menu entry and an uninstaller listed in Apps & Features. The uninstaller also
# takes away what the program may have set up outside its folder: the log-on Run entry and
# scheduled task "Pyxtune" (app/RunEntry.h) and the LED service "LumoraServices"
# (app/LedService.h). The users' own settings and profiles stay.
if(NOT (WIN32 AND TARGET pyxtune))
  return()
endif()

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME Pyxtune)
set(CPACK_PACKAGE_VENDOR Pyxtune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tune, watch and light NVIDIA graphics cards")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Pyxtune)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Pyxtune)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_EXECUTABLES pyxtune Pyxtune)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer for a 64-bit program: it runs where 32-bit Windows programs cannot (a Wine
# without its 32-bit half), and sees the 64-bit registry and system folder as the program does.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_DISPLAY_NAME Pyxtune)
set(CPACK_NSIS_PACKAGE_NAME Pyxtune)
set(CPACK_NSIS_INSTALLED_ICON_NAME pyxtune.exe)
if(PYX_BUILD_GUI)
  set(CPACK_NSIS_MUI_ICON ${PYX_WINDOWS_ICON})
  set(CPACK_NSIS_MUI_UNIICON ${PYX_WINDOWS_ICON})
endif()
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The uninstaller runs as an administrator; the Run entry it removes is that user's. (The
# system folder's path has no blanks: quotes would not survive CPack's lists.)
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  DeleteRegValue HKCU 'Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run' 'Pyxtune'
  nsExec::Exec '$SYSDIR\\\\schtasks.exe /Delete /TN Pyxtune /F'
  nsExec::Exec '$SYSDIR\\\\sc.exe stop LumoraServices'
  nsExec::Exec '$SYSDIR\\\\sc.exe delete LumoraServices'
")
# The installer and the .zip get names of their own: Pyxtune-<version>-setup.exe and
# Pyxtune-<version>-portable.zip.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/PyxWindowsPackageNames.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "
if(CPACK_GENERATOR STREQUAL \"NSIS\")
  set(CPACK_PACKAGE_FILE_NAME \"Pyxtune-${PROJECT_VERSION}-setup\")
else()
  set(CPACK_PACKAGE_FILE_NAME \"Pyxtune-${PROJECT_VERSION}-portable\")
endif()
")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
