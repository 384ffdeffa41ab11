# Each library target sees the headers of its own layer and of the targets it
# links, nothing else, so a dependency that is not declared fails to build.
#
#   cellarium_layer_headers(<target> <folder> [STRIP_SOURCE_ROOT])
#
# makes ${CMAKE_BINARY_DIR}/layers/<target>/<folder> a symbolic link to the
# source folder and gives the target that directory as its include directory
# (PUBLIC, or INTERFACE for a header-only target). Headers keep their spelling
# ("engine/cell_board.h", "platform/headless/headless_platform.h") and only the
# one folder is reachable through it. STRIP_SOURCE_ROOT takes the whole source
# tree off the target's include directories where its own CMakeLists.txt put it
# there.
function(cellarium_layer_headers target folder)
  cmake_parse_arguments(L "STRIP_SOURCE_ROOT" "" "" ${ARGN})
  set(root "${CMAKE_BINARY_DIR}/layers/${target}")
  get_filename_component(parent "${root}/${folder}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${root}/${folder}" SYMBOLIC)

  if(L_STRIP_SOURCE_ROOT)
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES)
      get_target_property(dirs ${target} ${property})
      if(dirs)
        list(REMOVE_ITEM dirs "${PROJECT_SOURCE_DIR}")
        set_property(TARGET ${target} PROPERTY ${property} ${dirs})
      endif()
    endforeach()
  endif()

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE "${root}")
  else()
    target_include_directories(${target} PUBLIC "${root}")
  endif()
endfunction()
