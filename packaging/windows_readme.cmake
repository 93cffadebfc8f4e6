# README.txt for the Windows archive and installer: what the two programs are, and the keys
# and mouse drags read from the demo's table (app/demo_keys.h), so it cannot disagree with
# the program's --help. CR LF line ends, for any Windows editor. Sets FPU_WINDOWS_README.
set(keys_header ${PROJECT_SOURCE_DIR}/app/demo_keys.h)
file(STRINGS ${keys_header} key_lines REGEX "^ *{\"|demo_mouse\\[\\]")
set(keys "")
set(mouse "")
set(in_mouse FALSE)
foreach(line IN LISTS key_lines)
  if(line MATCHES "demo_mouse\\[\\]")
    set(in_mouse TRUE)
  elseif(line MATCHES "^ *{\"([^\"]*)\", \"([^\"]*)\"},?$")
    set(row "  ${CMAKE_MATCH_1}: ${CMAKE_MATCH_2}\r\n")
    if(in_mouse)
      string(APPEND mouse "${row}")
    else()
      string(APPEND keys "${row}")
    endif()
  else()
    message(FATAL_ERROR "app/demo_keys.h: a row this file cannot read: ${line}")
  endif()
endforeach()
set(FPU_WINDOWS_README ${CMAKE_CURRENT_BINARY_DIR}/README.txt)
file(WRITE ${FPU_WINDOWS_README}.new
  "${FPU_PRODUCT_NAME} ${PROJECT_VERSION}\r\n\r\n"
  "fpu-sample.exe shows a wire-frame scene of rings that the keyboard and the mouse turn.\r\n"
  "fpu-trace-viewer.exe shows its trace lines; fpu-sample.exe starts it from its own folder,\r\n"
  "so keep the two together. \"fpu-sample.exe --help\" lists the options.\r\n\r\n"
  "Keys:\r\n${keys}\r\nMouse:\r\n${mouse}\r\n"
  "${FPU_COPYRIGHT}. MIT licence: see LICENSE.txt.\r\n")
file(COPY_FILE ${FPU_WINDOWS_README}.new ${FPU_WINDOWS_README} ONLY_IF_DIFFERENT)
file(REMOVE ${FPU_WINDOWS_README}.new)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${keys_header})
