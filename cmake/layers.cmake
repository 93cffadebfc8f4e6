# Each layer is a target of its own whose include root, in the build folder, holds links to
# that layer's headers only: "#include "scene/rings.h"" resolves in a target that links the
# scene layer and nowhere else, so an include from a lower layer to a higher one does not
# compile. The roots are remade at every configure, so a removed header goes with it.
file(REMOVE_RECURSE ${PROJECT_BINARY_DIR}/layer-include)

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
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
