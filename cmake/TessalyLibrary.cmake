# tessaly_library(<target> SOURCES <files...> DEPS <targets...>)
# A static library of the given sources linked to its dependencies; while a
# folder has no sources yet it is an interface target, so the tree configures.
function(tessaly_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${target} STATIC ${ARG_SOURCES})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# tessaly_glob(<var> <dir>): the .cc files of one folder (not recursive).
function(tessaly_glob var dir)
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*.cc)
  set(${var} ${files} PARENT_SCOPE)
endfunction()
