# The core (devices/, wipe/, resume/, report/) is shared by every front end, so it includes
# nothing of the windows' front end (app/) or of the window port (ui/). Fails naming every
# include that breaks this, file and line.
#   cmake -DSOURCE_DIR=<repository> -P core_includes.cmake
set(core_folders devices wipe resume report)
set(front_end_folders app ui)

set(violations "")
foreach(folder IN LISTS core_folders)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  if(NOT sources)
    message(FATAL_ERROR "No sources in ${SOURCE_DIR}/${folder}: the check would pass unseen.")
  endif()
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines)
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      foreach(front IN LISTS front_end_folders)
        if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*[\"<]${front}/")
          file(RELATIVE_PATH name "${SOURCE_DIR}" "${source}")
          string(APPEND violations "  ${name}:${number}: ${line}\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(NOT violations STREQUAL "")
  message(FATAL_ERROR "The core includes the front end:\n${violations}")
endif()
