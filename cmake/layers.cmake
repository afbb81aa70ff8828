# One static library per directory under src/, so the dependency direction is
# visible in the link graph: wardkeep_layer(<dir> [SOURCES_DIR d] [DEPS ...]).
function(wardkeep_layer name)
  cmake_parse_arguments(L "" "SOURCES_DIR" "DEPS" ${ARGN})
  if(NOT L_SOURCES_DIR)
    set(L_SOURCES_DIR src/${name})
  endif()
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${L_SOURCES_DIR}/*.cpp
       ${CMAKE_SOURCE_DIR}/${L_SOURCES_DIR}/*/*.cpp)
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

if(MSVC)
  set(WARDKEEP_WARNINGS /W4 /utf-8)
else()
  set(WARDKEEP_WARNINGS -Wall -Wextra -Wno-unused-parameter)
endif()
