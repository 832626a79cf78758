# The plug-in's folders depend one way: each may use only itself and the folders before it in the
# list given to quillet_check_layers. The build refuses a back edge twice over:
#   - by include: before the libraries compile, every source of a folder is searched for
#     '#include "<folder>/' naming a later folder (or tools/, tests/, bench/, fuzz/);
#   - by symbol: each library but the last is linked on its own, every object of it, into a
#     shared library that may leave nothing undefined, so a call into a later folder has nothing
#     to resolve against.

set(QUILLET_LAYER_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/CheckLayerIncludes.cmake")

function(quillet_check_layers)
  set(layers ${ARGN})
  set(sources)
  foreach(layer ${layers})
    file(GLOB_RECURSE layer_sources CONFIGURE_DEPENDS
      "${PROJECT_SOURCE_DIR}/${layer}/*.h" "${PROJECT_SOURCE_DIR}/${layer}/*.cpp")
    list(APPEND sources ${layer_sources})
  endforeach()
  string(REPLACE ";" "," layer_list "${layers}")
  set(stamp "${CMAKE_BINARY_DIR}/layer_includes.stamp")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND "${CMAKE_COMMAND}" "-DROOT=${PROJECT_SOURCE_DIR}" "-DLAYERS=${layer_list}"
            -P "${QUILLET_LAYER_SCRIPT}"
    COMMAND "${CMAKE_COMMAND}" -E touch "${stamp}"
    DEPENDS ${sources} "${QUILLET_LAYER_SCRIPT}"
    COMMENT "Checking that the folders include one way: ${layer_list}" VERBATIM)
  add_custom_target(quillet_layer_includes DEPENDS "${stamp}")

  set(empty "${CMAKE_BINARY_DIR}/layer_check.cpp")
  file(WRITE "${empty}" "// Nothing of its own: the library's objects are the whole content.\n")
  list(POP_BACK layers top)
  foreach(layer ${layers} ${top})
    add_dependencies(quillet_${layer} quillet_layer_includes)
  endforeach()
  foreach(layer ${layers})
    set(check quillet_${layer}_layer_check)
    add_library(${check} SHARED "${empty}")
    target_link_libraries(${check} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,quillet_${layer}>")
    if(NOT WIN32)
      target_link_options(${check} PRIVATE -Wl,--no-undefined)
    endif()
    set_target_properties(${check} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/layer_check"
      RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/layer_check")
  endforeach()
endfunction()
