# Install rules and the Debian package (CPack DEB). Paths follow GNUInstallDirs, except the udev
# rule, which udev reads from lib/udev/rules.d under the prefix whatever the library folder is.
include(GNUInstallDirs)
# Installing and packaging take what is built and never build: the package test runs cpack
# while other tests run the binaries.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(DETECTOR_APP_ID org.detectorupdater.DetectorUpdater)
set(DETECTOR_DATA_DIR ${CMAKE_INSTALL_DATADIR}/detector-updater)
set(DETECTOR_SCREENSHOT_URL
    "https://raw.githubusercontent.com/detector-updater/detector-updater/main/docs/screenshots"
    CACHE STRING "Where the AppStream metainfo says the window's screenshots are published")
set(DETECTOR_PACKAGE_CONTACT "detector-updater maintainers <maintainers@detectorupdater.org>"
    CACHE STRING "Maintainer of the Debian package")

install(TARGETS detector-updater-cli detector-update-server detector-usb-probe
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The window and what belongs to it (menu entry, icons, software-centre data) only where it is
# built: a headless build installs the command-line programs alone.
if(TARGET detector-updater)
  install(TARGETS detector-updater RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES packaging/desktop/${DETECTOR_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY packaging/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  configure_file(packaging/desktop/${DETECTOR_APP_ID}.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/packaging/${DETECTOR_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${DETECTOR_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  set(DETECTOR_MAN_PAGES detector-updater)
endif()

install(FILES packaging/udev/70-detector-updater.rules DESTINATION lib/udev/rules.d)

install(FILES packaging/bash-completion/detector-updater-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages and the Debian changelog go in compressed, as Debian policy wants them.
list(APPEND DETECTOR_MAN_PAGES detector-updater-cli detector-update-server detector-usb-probe)
set(_compressed)
foreach(page IN LISTS DETECTOR_MAN_PAGES)
  set(_out ${CMAKE_BINARY_DIR}/packaging/man/${page}.1.gz)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1 ${_out}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1
    VERBATIM)
  list(APPEND _compressed ${_out})
  install(FILES ${_out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${DETECTOR_PACKAGE_CONTACT})
configure_file(packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${_changelog}
  COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${CMAKE_BINARY_DIR}/packaging/changelog ${_changelog}
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(detector_packaging_files ALL DEPENDS ${_compressed} ${_changelog})
set(DETECTOR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/detector-updater)
install(FILES ${_changelog} packaging/debian/copyright CHANGELOG.md DESTINATION ${DETECTOR_DOC_DIR})

# The demo catalog (written by the build) and the device profiles, found by the binaries
# through DataLocation.
install(DIRECTORY ${CMAKE_BINARY_DIR}/src/cli/demo-catalog/
        DESTINATION ${DETECTOR_DATA_DIR}/demo-catalog)
file(GLOB _profiles ${PROJECT_SOURCE_DIR}/profiles/*.json)
install(FILES ${_profiles} DESTINATION ${DETECTOR_DATA_DIR}/profiles)

# The Debian package: `./x package` (cpack in build/release).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME detector-updater)
set(CPACK_PACKAGE_VENDOR "The detector-updater authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The completion script calls _init_completion, which bash-completion provides.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "updater for USB radar and GPS speed-camera detectors")
# CPack puts the summary first; this is the long description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brings an in-car radar or GPS speed-camera detector up to date over USB: it
identifies the model, asks the update server what applies, downloads the
radar and GPS firmware and the speed-camera database, lets the user choose
countries and camera types, and writes everything into the device, reading
every page back.

The package holds the desktop window (detector-updater), the command-line
program for scripts and workshops (detector-updater-cli), a simulated update
server and a USB probe, the udev rule that lets the user at the seat open the
detector, a demo catalog and virtual detector profiles.")
include(CPack)
