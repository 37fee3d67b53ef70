# Dependencies point down: the window program (app/), the tool (cli/) and the
# web page (web/) use the layers below them, never the other way round. Fails
# naming every file of a lower layer that includes a header of any of them.
set(lower_layers convert database interchange install platform)
set(offenders "")
foreach(layer ${lower_layers})
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} upward REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](app|cli|web)/")
    if(upward)
      file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
      list(APPEND offenders "${name}: ${upward}")
    endif()
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n" report)
  message(FATAL_ERROR "Lower layers include headers from app/ or cli/:\n${report}")
endif()
