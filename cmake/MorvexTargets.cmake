# morvex_engine_library(<folder> DEPS <folders...> [LIBS <extra link libs...>])
#
# Builds src/<folder>/*.cpp into the static library morvex_<folder>. A folder links
# only the folders named in DEPS, so an include that points the wrong way fails.
# Sources are globbed, so adding a file to a folder needs no edit here.
function(morvex_engine_library folder)
  cmake_parse_arguments(ARG "" "" "DEPS;LIBS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
  set(_target morvex_${folder})
  set(_deps "")
  foreach(d IN LISTS ARG_DEPS)
    # A folder may link only folders built before it (listed earlier in MORVEX_ENGINE_DIRS).
    if(NOT TARGET morvex_${d})
      message(FATAL_ERROR "src/${folder} links ${d}, which is not built before it")
    endif()
    list(APPEND _deps morvex_${d})
  endforeach()
  if(_srcs)
    add_library(${_target} STATIC ${_srcs})
    target_include_directories(${_target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${_target} PUBLIC ${_deps} ${ARG_LIBS})
  else()
    add_library(${_target} INTERFACE)
    target_include_directories(${_target} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${_target} INTERFACE ${_deps} ${ARG_LIBS})
  endif()
  set_property(GLOBAL APPEND PROPERTY MORVEX_ENGINE_LIBS ${_target})
endfunction()
