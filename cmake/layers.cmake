# One static library per directory under src/, so the dependency direction is
# visible in the link graph: wardkeep_layer(<dir> [BACKEND b] [DEPS ...]).
# With a BACKEND the layer is its portable src/<dir>/*.cpp over the one
# backend folder src/<dir>/<b>/ the target needs; without, every source below
# src/<dir>/.
function(wardkeep_layer name)
  cmake_parse_arguments(L "" "BACKEND" "DEPS" ${ARGN})
  set(dir ${CMAKE_SOURCE_DIR}/src/${name})
  if(L_BACKEND)
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/${L_BACKEND}/*.cpp)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*/*.cpp)
  endif()
  set(target wardkeep_${name})
  wardkeep_include_root(${name} ${dir} root)
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${L_DEPS})
    target_compile_options(${target} PRIVATE ${WARDKEEP_WARNINGS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${L_DEPS})
  endif()
  wardkeep_check_includes(${name} ${dir} ${L_DEPS})
endfunction()

# A layer's include directory holds its own folder and nothing else, so
# "layer/header.h" resolves only for itself and the layers it links to: a
# file cannot include a layer its library does not reach.
function(wardkeep_include_root name dir out)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${dir} ${root}/${name} SYMBOLIC)
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# The declared dependencies are the true ones: every layer a file of `dir`
# includes ("layer/...") is declared, and every declared layer is included.
# Configuring fails otherwise, so the link graph can never drift from the code.
function(wardkeep_check_includes layer dir)
  file(GLOB_RECURSE files ${dir}/*.h ${dir}/*.cpp ${dir}/*.h.in)
  set(included)
  foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^#include \"[a-z_]+/")
    foreach(line ${lines})
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" used "${line}")
      if(NOT used STREQUAL layer)
        list(APPEND included wardkeep_${used})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES included)
  set(declared)
  foreach(dep ${ARGN})
    if(dep MATCHES "^wardkeep_")
      list(APPEND declared ${dep})
    endif()
  endforeach()
  set(undeclared ${included})
  list(REMOVE_ITEM undeclared ${declared} "")
  set(unused ${declared})
  list(REMOVE_ITEM unused ${included} "")
  if(undeclared OR unused)
    message(SEND_ERROR "Layer ${layer}: includes undeclared [${undeclared}], "
                        "declares unused [${unused}]")
  endif()
endfunction()
