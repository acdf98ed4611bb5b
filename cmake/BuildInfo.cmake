# Build details fixed at configure time: a 14-digit time stamp, the release tag and the revision.
string(TIMESTAMP TWG_BUILD_TIMESTAMP "%Y%m%d%H%M%S")
set(TWG_BUILD_TAG "-")
set(TWG_BUILD_REVISION "-")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --verify HEAD
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _rev
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE _rc)
  if(_rc EQUAL 0 AND _rev MATCHES "^[0-9a-f]+$")
    set(TWG_BUILD_REVISION ${_rev})
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --abbrev=0
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE _tag
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE _rc)
    if(_rc EQUAL 0 AND NOT _tag STREQUAL "")
      set(TWG_BUILD_TAG ${_tag})
    endif()
  endif()
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildInfo.h.in ${PROJECT_BINARY_DIR}/generated/BuildInfo.h @ONLY)
