# quorvane_layer(<name> [PUBLIC deps...] [PRIVATE deps...]): the library of src/<name>/ from its .cpp files.
# PUBLIC: layers and libraries whose headers this layer's headers include; PRIVATE: used only inside.
function(quorvane_layer name)
  cmake_parse_arguments(LAYER "" "" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT WIN32)
    # Windows-only sources (the winmm calls); the test command compiles them with MinGW-w64.
    list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
  endif()
  add_library(quorvane_${name} STATIC ${sources})
  target_include_directories(quorvane_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(quorvane_${name} PUBLIC ${LAYER_PUBLIC} PRIVATE ${LAYER_PRIVATE} quorvane_warnings)
endfunction()
