# cmake --install lays out exactly the program of the installation layout, the installed
# binaries find the installed platform library through their own RPATHs, and nothing installed
# carries the simulated bus or lets TWG_USB_SIM put the program on it.
# Run as: cmake -DBUILD_DIR=... -DSCRATCH_DIR=... -DSIM_BIN_DIR=... -DSCENARIO=... -DNM=...
#   -P InstallLayoutTest.cmake

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

# No simulator: the installed platform library exports no symbol of the simulated bus, and no
# installed file names TWG_USB_SIM. The simulation-only build of the tree does both, which shows
# that each check sees what it looks for.
function(sim_symbols library out)
  execute_process(COMMAND ${NM} -D -C --defined-only ${library}
    OUTPUT_VARIABLE symbols ERROR_VARIABLE error RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm -D ${library} failed (${rc}): ${error}")
  endif()
  string(REGEX MATCHALL "[^\n]*[Ss]im[A-Z][^\n]*" found "${symbols}")
  set(${out} "${found}" PARENT_SCOPE)
endfunction()
sim_symbols(${SCRATCH_DIR}/bin/libtwgplatform.so installed_sim)
if(installed_sim)
  list(LENGTH installed_sim count)
  list(GET installed_sim 0 first)
  message(FATAL_ERROR "the installed platform library exports ${count} symbols of the simulator, first:\n  ${first}")
endif()
sim_symbols(${SIM_BIN_DIR}/libtwgplatform.so simulated)
if(NOT simulated)
  message(FATAL_ERROR "nm -D finds no symbol of the simulator even in ${SIM_BIN_DIR}/libtwgplatform.so")
endif()
foreach(file ${files})
  file(STRINGS ${SCRATCH_DIR}/${file} named REGEX "TWG_USB_SIM")
  if(named)
    message(FATAL_ERROR "${file} names TWG_USB_SIM")
  endif()
endforeach()
file(STRINGS ${SIM_BIN_DIR}/libtwgplatform.so named REGEX "TWG_USB_SIM")
if(NOT named)
  message(FATAL_ERROR "${SIM_BIN_DIR}/libtwgplatform.so does not name TWG_USB_SIM")
endif()

# The installed USB listing ignores a scenario that the simulation-only tree's lists.
function(list_usb program out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TWG_USB_SIM=${SCENARIO} ${program}
    OUTPUT_VARIABLE listed ERROR_VARIABLE error RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${program} failed (${rc}):\n${listed}${error}")
  endif()
  set(${out} "${listed}" PARENT_SCOPE)
endfunction()
list_usb(${SIM_BIN_DIR}/vantorel-usb-list simulated)
if(NOT simulated MATCHES "(^|\n)sim:[0-9]+ ")
  message(FATAL_ERROR "the simulation-only tree lists no simulated converter of ${SCENARIO}:\n${simulated}")
endif()
list_usb(${SCRATCH_DIR}/bin/vantorel-usb-list installed)
if(installed MATCHES "(^|\n)sim:")
  message(FATAL_ERROR "the installed vantorel-usb-list is on the simulated bus of TWG_USB_SIM:\n${installed}")
endif()
