# The Windows downloads, `./x package windows` (cpack in build/windows): a portable zip and an
# NSIS installer of the same files. Everything sits in one folder: the programs, and beside them
# the demo catalog and the device profiles, where DataLocation looks on Windows.
# Included after src/, so that the window's target is known here once it is built.

# Installing and packaging take what is built and never build (as for the Debian package).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS detector-updater-cli detector-update-server detector-usb-probe
        RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_BINARY_DIR}/src/cli/demo-catalog/ DESTINATION demo-catalog)
file(GLOB _profiles ${PROJECT_SOURCE_DIR}/profiles/*.json)
install(FILES ${_profiles} DESTINATION profiles)
install(FILES README.md LICENSE THIRD-PARTY-NOTICES.md CHANGELOG.md DESTINATION .)
# The programs are linked statically with the MinGW-w64 runtime (C runtime, winpthreads) and
# GCC's runtime libraries: their notices travel with them, as the packages that built them
# state them.
foreach(_notice IN ITEMS mingw-w64-common:mingw-w64-runtime.txt gcc-mingw-w64-base:gcc-runtime.txt)
  string(REPLACE ":" ";" _notice ${_notice})
  list(GET _notice 0 _package)
  list(GET _notice 1 _name)
  set(_copyright /usr/share/doc/${_package}/copyright)
  if(NOT EXISTS ${_copyright})
    message(FATAL_ERROR "${_copyright} is missing: install ${_package}")
  endif()
  install(FILES ${_copyright} DESTINATION notices RENAME ${_name})
endforeach()

set(CPACK_GENERATOR ZIP NSIS)
# The NSIS lines below hold quotes and backslashes that must reach the script as written.
set(CPACK_VERBATIM_VARIABLES TRUE)
set(CPACK_PACKAGE_NAME detector-updater)
set(CPACK_PACKAGE_VENDOR "${DETECTOR_VENDOR}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Updater for USB radar and GPS speed-camera detectors")
set(CPACK_PACKAGE_FILE_NAME detector-updater-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# One folder and one uninstall key whatever the version, so a new version replaces the old.
set(CPACK_PACKAGE_INSTALL_DIRECTORY detector-updater)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY detector-updater)
# The installer's own name says what it is beside the zip.
set(_project_config ${CMAKE_BINARY_DIR}/packaging/WindowsPackageNames.cmake)
file(WRITE ${_project_config} "if(CPACK_GENERATOR STREQUAL \"NSIS\")
  set(CPACK_PACKAGE_FILE_NAME \"${CPACK_PACKAGE_FILE_NAME}-setup\")
endif()
")
set(CPACK_PROJECT_CONFIG_FILE ${_project_config})

# The installer: per machine under Program Files (the template elevates and installs for all
# users), a Start-menu folder, an uninstaller and its Apps-and-features entry.
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer, as the programs are: it writes the 64-bit registry view and runs where
# no 32-bit subsystem is (Wine without wine32).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_DISPLAY_NAME detector-updater)
# Also the Start-menu folder's name.
set(CPACK_NSIS_PACKAGE_NAME detector-updater)
set(CPACK_NSIS_MUI_ICON ${DETECTOR_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${DETECTOR_WINDOWS_ICON})
set(CPACK_NSIS_URL_INFO_ABOUT "https://github.com/detector-updater/detector-updater")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
if(TARGET detector-updater)
  install(TARGETS detector-updater RUNTIME DESTINATION .)
  set(CPACK_PACKAGE_EXECUTABLES detector-updater "Detector Updater")
  set(CPACK_NSIS_INSTALLED_ICON_NAME detector-updater.exe)
else()
  set(CPACK_NSIS_INSTALLED_ICON_NAME detector-updater-cli.exe)
endif()
# The command line in a console opened in the install folder, its help shown; cmd strips the
# outer quotes of what follows /k.
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    [[  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\detector-updater command line.lnk" "$SYSDIR\cmd.exe" '/k ""$INSTDIR\detector-updater-cli.exe" --help"' "$INSTDIR\detector-updater-cli.exe"]])
set(CPACK_NSIS_DELETE_ICONS_EXTRA
    [[  Delete "$SMPROGRAMS\$MUI_TEMP\detector-updater command line.lnk"]])
include(CPack)
