# cmake --install lays out exactly the program of the installation layout, and the installed
# binaries find the installed platform library through their own RPATHs.
# Run as: cmake -DBUILD_DIR=... -DSCRATCH_DIR=... -P InstallLayoutTest.cmake

file(REMOVE_RECURSE ${SCRATCH_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${SCRATCH_DIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}")
endif()

set(expected
  bin/Resources/settings.ini
  bin/Vantorel/PlugIns/Ostrel/Resources/
  bin/Vantorel/PlugIns/Ostrel/libOstrel.so
  bin/Vantorel/PlugIns/ZanthicConvertersPlugin/Resources/
  bin/Vantorel/PlugIns/ZanthicConvertersPlugin/libZanthicConvertersPlugin.so
  bin/libtwgplatform.so
  bin/vantorel
  bin/vantorel-usb-list
  share/vantorel/udev/60-vantorel-converters.rules)
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${SCRATCH_DIR} ${SCRATCH_DIR}/*)
file(GLOB_RECURSE dirs LIST_DIRECTORIES true RELATIVE ${SCRATCH_DIR} ${SCRATCH_DIR}/*)
set(installed ${files})
foreach(d ${dirs})
  file(GLOB inside ${SCRATCH_DIR}/${d}/*)
  if(IS_DIRECTORY ${SCRATCH_DIR}/${d} AND NOT inside)
    list(APPEND installed ${d}/) # an empty folder: the plug-in's firmware folder
  endif()
endforeach()
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " got "${installed}")
  string(REPLACE ";" "\n  " want "${expected}")
  message(FATAL_ERROR "installed:\n  ${got}\nexpected:\n  ${want}")
endif()

find_program(LDD ldd REQUIRED)
file(REAL_PATH ${SCRATCH_DIR}/bin/libtwgplatform.so platform)
foreach(binary bin/vantorel bin/vantorel-usb-list bin/Vantorel/PlugIns/Ostrel/libOstrel.so
               bin/Vantorel/PlugIns/ZanthicConvertersPlugin/libZanthicConvertersPlugin.so)
  execute_process(COMMAND ${LDD} ${SCRATCH_DIR}/${binary} OUTPUT_VARIABLE deps RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR deps MATCHES "not found")
    message(FATAL_ERROR "${binary}: a library is not found:\n${deps}")
  endif()
  if(NOT deps MATCHES "libtwgplatform\\.so => ([^ \n]+)")
    message(FATAL_ERROR "${binary} does not load the platform library:\n${deps}")
  endif()
  file(REAL_PATH ${CMAKE_MATCH_1} found)
  if(NOT found STREQUAL platform)
    message(FATAL_ERROR "${binary} loads ${found}, not the installed ${platform}")
  endif()
endforeach()
