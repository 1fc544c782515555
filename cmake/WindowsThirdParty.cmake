# What the Windows cross-build takes from Debian as sources, since Debian ships no MinGW builds:
# nlohmann-json's header (copied alone, so that no other Linux header is on the include path)
# and GoogleTest built from /usr/src/googletest.
file(COPY /usr/include/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/third_party/include)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/third_party/include)
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

if(DETECTOR_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/third_party/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own code is not held to our warnings; it names its targets GTest::*.
  foreach(lib gtest gtest_main gmock gmock_main)
    target_compile_options(${lib} PRIVATE -w)
  endforeach()
endif()

# cpp-httplib for the simulated update server: Debian's binary package splits the header and
# ships the rest as a Linux library, so `./x deps` takes the complete single header from the
# source package of the installed version. The same version as on Linux, or none.
execute_process(COMMAND dpkg-query -W -f=\${Version} libcpp-httplib-dev
                OUTPUT_VARIABLE DETECTOR_HTTPLIB_DEB_VERSION RESULT_VARIABLE _status
                ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "libcpp-httplib-dev is not installed: run ./x deps")
endif()
set(DETECTOR_HTTPLIB_SOURCE_DIR /var/cache/detector-updater/cpp-httplib-${DETECTOR_HTTPLIB_DEB_VERSION}
    CACHE PATH "Folder holding cpp-httplib's single header from Debian's source package")
if(NOT EXISTS ${DETECTOR_HTTPLIB_SOURCE_DIR}/httplib.h)
  message(FATAL_ERROR "no ${DETECTOR_HTTPLIB_SOURCE_DIR}/httplib.h: run ./x deps")
endif()
file(STRINGS ${DETECTOR_HTTPLIB_SOURCE_DIR}/httplib.h _define REGEX "^#define CPPHTTPLIB_VERSION ")
string(REGEX REPLACE "^#define CPPHTTPLIB_VERSION \"([^\"]*)\".*" "\\1" _header_version "${_define}")
string(REGEX REPLACE "^([0-9.]+).*" "\\1" _deb_upstream "${DETECTOR_HTTPLIB_DEB_VERSION}")
if(NOT _header_version STREQUAL _deb_upstream)
  message(FATAL_ERROR "httplib.h is ${_header_version}, Linux builds with ${DETECTOR_HTTPLIB_DEB_VERSION}: run ./x deps")
endif()
file(COPY ${DETECTOR_HTTPLIB_SOURCE_DIR}/httplib.h DESTINATION ${CMAKE_BINARY_DIR}/third_party/httplib)
add_library(detector_httplib INTERFACE)
target_include_directories(detector_httplib SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/third_party/httplib)
target_link_libraries(detector_httplib INTERFACE ws2_32)
add_library(detector::httplib ALIAS detector_httplib)
