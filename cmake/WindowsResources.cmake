# detector_windows_resources(TARGET t DESCRIPTION "text" KIND GUI|CONSOLE): the version
# information, the icon and the manifest of a Windows executable, and for the window also its
# pictures (RCDATA under the numbers of src/win/ResourceIds.hpp). The resource script is compiled
# in an object library of its own: the compile options every C++ target carries mean nothing to
# windres.
enable_language(RC)

set(DETECTOR_WINDOWS_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging/windows)
set(DETECTOR_WINDOWS_ICON ${DETECTOR_WINDOWS_PACKAGING_DIR}/detector-updater.ico)
set(DETECTOR_VENDOR "The detector-updater authors")

# The copyright line of LICENSE, and the licence's name, as --version prints them.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE _copyright REGEX "^Copyright " LIMIT_COUNT 1)
set(DETECTOR_WINDOWS_COPYRIGHT "${_copyright}. Licence: ${DETECTOR_LICENSE}.")

function(detector_windows_resources)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;DESCRIPTION;KIND" "")
  if(NOT arg_TARGET OR NOT arg_DESCRIPTION OR NOT arg_KIND MATCHES "^(GUI|CONSOLE)$")
    message(FATAL_ERROR "detector_windows_resources(TARGET t DESCRIPTION text KIND GUI|CONSOLE)")
  endif()
  set(DETECTOR_RC_NAME ${arg_TARGET})
  set(DETECTOR_RC_DESCRIPTION "${arg_DESCRIPTION}")
  set(DETECTOR_RC_COMPANY "${DETECTOR_VENDOR}")
  set(DETECTOR_RC_COPYRIGHT "${DETECTOR_WINDOWS_COPYRIGHT}")
  set(DETECTOR_RC_VERSION_NUMBERS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(DETECTOR_RC_VERSION_DOTTED
      "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(DETECTOR_RC_ICON ${DETECTOR_WINDOWS_ICON})
  set(_depends ${DETECTOR_WINDOWS_ICON})
  set(DETECTOR_RC_ART "")
  if(arg_KIND STREQUAL "GUI")
    # Opening the detector's disk for writing needs an elevated process; the window asks for it
    # at start, as a console user elevates the console himself.
    set(DETECTOR_RC_EXECUTION_LEVEL requireAdministrator)
    foreach(art IN ITEMS LOGO DEVICE DATABASE)
      string(TOLOWER ${art} _file)
      set(_png ${DETECTOR_WINDOWS_PACKAGING_DIR}/artwork/${_file}.png)
      string(APPEND DETECTOR_RC_ART "DETECTOR_IDR_ART_${art} RCDATA \"${_png}\"\n")
      list(APPEND _depends ${_png})
    endforeach()
  else()
    set(DETECTOR_RC_EXECUTION_LEVEL asInvoker)
  endif()

  set(_dir ${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}-resources)
  set(DETECTOR_RC_MANIFEST ${_dir}/${arg_TARGET}.manifest)
  configure_file(${DETECTOR_WINDOWS_PACKAGING_DIR}/manifest.xml.in ${DETECTOR_RC_MANIFEST} @ONLY)
  configure_file(${DETECTOR_WINDOWS_PACKAGING_DIR}/resources.rc.in ${_dir}/${arg_TARGET}.rc @ONLY)
  list(APPEND _depends ${DETECTOR_RC_MANIFEST} ${PROJECT_SOURCE_DIR}/src/win/ResourceIds.hpp)

  add_library(${arg_TARGET}-resources OBJECT ${_dir}/${arg_TARGET}.rc)
  target_include_directories(${arg_TARGET}-resources PRIVATE ${PROJECT_SOURCE_DIR}/src/win)
  # windres reads the icon, the pictures and the manifest itself; the build must know of them.
  set_source_files_properties(${_dir}/${arg_TARGET}.rc PROPERTIES OBJECT_DEPENDS "${_depends}")
  target_sources(${arg_TARGET} PRIVATE $<TARGET_OBJECTS:${arg_TARGET}-resources>)
endfunction()
