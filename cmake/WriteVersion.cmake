# Run at every build (cmake -P): writes OUTPUT with the version text, touching it only when the
# text changes, so a new commit relinks the binaries and nothing else rebuilds.
# Inputs: VERSION (project version), LICENSE (SPDX name), SOURCE_DIR, GIT (may be empty), OUTPUT.
set(text "${VERSION}")
if(GIT AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(
    COMMAND "${GIT}" -C "${SOURCE_DIR}" describe --tags --always --dirty
    OUTPUT_VARIABLE described
    RESULT_VARIABLE status
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(status EQUAL 0 AND NOT described STREQUAL "")
    set(text "${VERSION} (git ${described})")
  endif()
endif()
set(content "// Written by cmake/WriteVersion.cmake at build time.\n#include \"install/BuildVersion.hpp\"\n\nconst char* BuildVersion::text() { return \"${text}\"; }\nconst char* BuildVersion::number() { return \"${VERSION}\"; }\nconst char* BuildVersion::licence() { return \"${LICENSE}\"; }\nconst char* BuildVersion::notice() { return \"Copyright (c) 2026 the detector-updater authors. Licence: ${LICENSE}.\"; }\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
  if(previous STREQUAL content)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${content}")
