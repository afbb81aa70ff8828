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
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${L_DEPS})
    target_compile_options(${target} PRIVATE ${WARDKEEP_WARNINGS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${L_DEPS})
  endif()
endfunction()
