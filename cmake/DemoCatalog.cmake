# detector_add_demo_catalog(TARGET DIR): a target that writes the demo catalog into DIR with
# tools/make-demo-catalog. The front ends keep one beside their binary, the tests one of their own.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(detector_add_demo_catalog target dir)
  add_custom_command(
    OUTPUT ${dir}/catalog.json
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${dir}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make-demo-catalog ${dir}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make-demo-catalog
    COMMENT "Generating the demo catalog in ${dir}")
  add_custom_target(${target} ALL DEPENDS ${dir}/catalog.json)
endfunction()
