# Each layer is a target of its own whose include root, in the build folder, holds links to
# that layer's headers only: "#include "scene/rings.h"" resolves in a target that links the
# scene layer and nowhere else, so an include from a lower layer to a higher one does not
# compile. The roots are remade at every configure, so a removed header goes with it.
file(REMOVE_RECURSE ${PROJECT_BINARY_DIR}/layer-include)

# Before any layer compiles, scripts/check-layers.sh checks every include of the tree: the
# include roots cannot stop a relative path ("../app/window.h"), which the compiler resolves
# beside the file whatever the roots are.
option(FPU_CHECK_LAYERS "Check every include with scripts/check-layers.sh before compiling" ON)
if(FPU_CHECK_LAYERS)
  find_program(FPU_BASH bash REQUIRED)
  add_custom_target(fpu_layers_checked
    COMMAND ${FPU_BASH} ${PROJECT_SOURCE_DIR}/scripts/check-layers.sh ${PROJECT_SOURCE_DIR}
    COMMENT "Checking the includes of every layer" VERBATIM)
endif()

# fpu_layer_headers(target folder): target publishes the headers directly in folder (not
# those of its subfolders, which are layers of their own), as "folder/name.h".
function(fpu_layer_headers target folder)
  string(REPLACE "/" "-" root_name ${folder})
  set(root ${PROJECT_BINARY_DIR}/layer-include/${root_name})
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/${folder}
       ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header IN LISTS headers)
    if(NOT EXISTS ${root}/${folder}/${header})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder}/${header} ${root}/${folder}/${header}
           SYMBOLIC)
    endif()
  endforeach()
  if(TARGET fpu_layers_checked)
    add_dependencies(${target} fpu_layers_checked)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
