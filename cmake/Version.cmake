# One version for every program and package: project()'s VERSION, in a
# generated header that the C++ sources and the Windows resources include.
foreach(part MAJOR MINOR PATCH)
  set(FERROVEL_VERSION_${part} "${PROJECT_VERSION_${part}}")
  if(FERROVEL_VERSION_${part} STREQUAL "")
    set(FERROVEL_VERSION_${part} 0)
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/FerrovelVersion.h.in
  ${CMAKE_BINARY_DIR}/generated/FerrovelVersion.h @ONLY)

add_library(ferrovel_version INTERFACE)
target_include_directories(ferrovel_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
