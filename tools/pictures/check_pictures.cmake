# Draws the pictures twice into fresh folders and checks that both runs gave
# the same bytes, and that the copies committed in assets/ are these files.
# cmake -DTOOL=... -DWORK=... -DASSETS=... -P check_pictures.cmake
foreach(run a b)
  file(REMOVE_RECURSE ${WORK}/${run})
  execute_process(COMMAND ${TOOL} ${WORK}/${run} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kestra-pictures failed: ${status}")
  endif()
endforeach()
file(GLOB drawn RELATIVE ${WORK}/a ${WORK}/a/*.png)
list(LENGTH drawn count)
if(count EQUAL 0)
  message(FATAL_ERROR "kestra-pictures drew nothing")
endif()
foreach(name ${drawn})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/a/${name} ${WORK}/b/${name}
    RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${name}: two runs gave different bytes")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/a/${name} ${ASSETS}/${name}
    RESULT_VARIABLE stale)
  if(stale)
    message(FATAL_ERROR "assets/${name} is not what the tool draws: copy ${WORK}/a/${name} over it")
  endif()
endforeach()
message(STATUS "${count} pictures reproducible and committed")
