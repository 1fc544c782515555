# One INTERFACE target carries the language level, the warnings and the sanitizer
# flags; every target of the project links it instead of setting global flags.
add_library(detector_options INTERFACE)
add_library(detector::options ALIAS detector_options)

target_compile_features(detector_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_options(detector_options INTERFACE -Wall -Wextra -Werror)

if(DETECTOR_SANITIZER STREQUAL "address")
  set(_san_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(DETECTOR_SANITIZER STREQUAL "thread")
  set(_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT DETECTOR_SANITIZER STREQUAL "")
  message(FATAL_ERROR "DETECTOR_SANITIZER must be empty, address or thread, not '${DETECTOR_SANITIZER}'")
endif()
# Coverage for libFuzzer in every library the fuzz targets link; the targets add the driver.
if(DETECTOR_FUZZ)
  list(APPEND _san_flags -fsanitize=fuzzer-no-link)
endif()
if(_san_flags)
  target_compile_options(detector_options INTERFACE ${_san_flags})
  target_link_options(detector_options INTERFACE ${_san_flags})
endif()

# The hardening Debian checks packages for: a read-only GOT, and checked string and memory
# functions where the optimiser makes them possible.
# (ELF and glibc only: MinGW has neither.)
if(NOT WIN32)
  target_link_options(detector_options INTERFACE -Wl,-z,relro,-z,now)
  target_compile_definitions(detector_options INTERFACE
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
endif()
