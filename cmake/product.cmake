# The product's names, in one place: what the packages, the installer, Windows' Properties,
# the Start menu, Apps and the desktop entry call it. The copyright line comes from LICENSE.
set(FPU_PRODUCT_ID fpu-sample)          # package, folder, registry key: no spaces
set(FPU_PRODUCT_NAME "FPU Sample")      # what a person reads
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE FPU_LICENSE_COPYRIGHT REGEX "^Copyright \\(c\\) ")
if(NOT FPU_LICENSE_COPYRIGHT MATCHES "^Copyright \\(c\\) ([0-9]+) (.+)$")
  message(FATAL_ERROR "LICENSE has no line \"Copyright (c) YEAR HOLDER\"")
endif()
set(FPU_COPYRIGHT_YEAR ${CMAKE_MATCH_1})
set(FPU_PUBLISHER "${CMAKE_MATCH_2}")
set(FPU_COPYRIGHT "Copyright (C) ${FPU_COPYRIGHT_YEAR} ${FPU_PUBLISHER}")
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/LICENSE)
