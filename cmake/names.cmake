# The names scripts find windows by (titles, class), read from the C++ that defines them so
# that no script holds a copy: names.sh beside the programs, "NAME='value'" lines that shell
# scripts source and Python reads. Configuring stops when a constant is no longer found.
set(fpu_names "")
function(fpu_name variable file constant)
  set(path ${PROJECT_SOURCE_DIR}/${file})
  file(READ ${path} text)
  if(NOT text MATCHES "${constant}[^=;]*=[ \t\r\n]*\"([^\"']*)\"")
    message(FATAL_ERROR "${file} holds no string constant ${constant} (cmake/names.cmake)")
  endif()
  set(fpu_names "${fpu_names}${variable}='${CMAKE_MATCH_1}'\n" PARENT_SCOPE)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
endfunction()

fpu_name(FPU_WINDOW_TITLE app/window.h window_title)
fpu_name(FPU_WINDOW_CLASS app/window.h window_class_name)
fpu_name(FPU_VIEWER_TITLE tools/viewer/viewer_window.cpp kTitle)
fpu_name(FPU_WIN_VIEWER_TITLE tools/viewer/win32/trace_viewer.cpp viewer_title)
file(WRITE ${PROJECT_BINARY_DIR}/names.sh.new "${fpu_names}")
file(COPY_FILE ${PROJECT_BINARY_DIR}/names.sh.new ${PROJECT_BINARY_DIR}/names.sh ONLY_IF_DIFFERENT)
file(REMOVE ${PROJECT_BINARY_DIR}/names.sh.new)

