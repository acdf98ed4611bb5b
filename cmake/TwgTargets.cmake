# One helper per kind of target, so every target gets the same flags.

function(twg_apply_flags target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports bounds faults inside inlined std::vector code that cannot happen
    # (its bugs 107852 and 105329); the sanitizer build checks real ones.
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread)
  endif()
  if(TWG_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # Generated headers belong to no layer.
  target_include_directories(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated)
  # The tests may include the whole tree, and run on the platform library with the simulated
  # bus; everything else sees only the headers of what it links (twg_export_headers).
  string(FIND "${CMAKE_CURRENT_SOURCE_DIR}/" "${PROJECT_SOURCE_DIR}/tests/" _at)
  if(_at EQUAL 0)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    set_target_properties(${target} PROPERTIES TWG_PLATFORM_SIM ON)
  endif()
endfunction()

# The headers of a folder, included as "folder/File.h" from the source root, through symbolic
# links in build/include/<target>/folder/: only the target and, with scope PUBLIC or INTERFACE,
# what links it get that include path, so a layer that includes a library it does not link
# fails to compile. EXCLUDE names sub-folders that are libraries of their own; FILES_ONLY takes
# the files of the folder and none of its sub-folders.
function(twg_export_headers target scope dir)
  cmake_parse_arguments(A "FILES_ONLY" "" "EXCLUDE" ${ARGN})
  file(RELATIVE_PATH _rel ${PROJECT_SOURCE_DIR} ${dir})
  set(_base ${PROJECT_BINARY_DIR}/include/${target})
  set(_links)
  if(NOT A_EXCLUDE AND NOT A_FILES_ONLY)
    list(APPEND _links ${_rel})
  else()
    file(GLOB _children RELATIVE ${PROJECT_SOURCE_DIR} LIST_DIRECTORIES true ${dir}/*)
    foreach(_child ${_children})
      get_filename_component(_name ${_child} NAME)
      if(_name IN_LIST A_EXCLUDE OR (A_FILES_ONLY AND IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${_child}))
        continue()
      endif()
      list(APPEND _links ${_child})
    endforeach()
  endif()
  foreach(_link ${_links})
    set(_at ${_base}/${_link})
    if(IS_SYMLINK ${_at})
      file(READ_SYMLINK ${_at} _to)
      if(_to STREQUAL ${PROJECT_SOURCE_DIR}/${_link})
        continue()
      endif()
      file(REMOVE ${_at})
    endif()
    get_filename_component(_parent ${_at} DIRECTORY)
    file(MAKE_DIRECTORY ${_parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${_link} ${_at} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${_base})
endfunction()

if(TWG_SANITIZE)
  # GCC leaves float-cast-overflow out of "undefined"; a double cast out of range is a fault we read.
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined,float-cast-overflow)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TWG_TSAN)
  if(TWG_SANITIZE OR TWG_FUZZ)
    message(FATAL_ERROR "TWG_TSAN does not combine with AddressSanitizer: give it a build folder of its own")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Everything the fuzz targets link is instrumented for libFuzzer; the targets add the fuzzer's main.
if(TWG_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TWG_FUZZ needs clang (configure with CMAKE_CXX_COMPILER=clang++-14)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Linking is most of an incremental build (every deliverable and test links its own copy of
# the static libraries): lld links them several times faster than the default linker.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld TWG_HAVE_LLD)
if(TWG_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
else()
  message(STATUS "lld not found: linking with the default linker (tools/install-deps.sh installs lld)")
endif()

# A static, position-independent library that every deliverable links its own copy of. It
# exports the headers of HEADERS (default: its folder; EXCLUDE as for twg_export_headers) and
# the libraries its headers include (PUBLIC); what only its sources use is PRIVATE.
function(twg_static_library name)
  cmake_parse_arguments(A "" "HEADERS" "SOURCES;EXCLUDE;PUBLIC;PRIVATE;LIBS" ${ARGN})
  if(A_LIBS)
    message(FATAL_ERROR "twg_static_library(${name}): name its libraries PUBLIC (what its headers "
                        "include) or PRIVATE (what only its sources use), not LIBS")
  endif()
  add_library(${name} STATIC ${A_SOURCES})
  twg_apply_flags(${name})
  if(NOT A_HEADERS)
    set(A_HEADERS ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  twg_export_headers(${name} PUBLIC ${A_HEADERS} EXCLUDE ${A_EXCLUDE})
  target_link_libraries(${name} PUBLIC ${A_PUBLIC} PRIVATE ${A_PRIVATE})
endfunction()

# A Qt plug-in: exports only Qt's entry points. One without OUTPUT_DIR is part of the program
# and is installed with its (empty) Resources folder; test plug-ins name their own folder.
function(twg_plugin name)
  cmake_parse_arguments(A "TEST" "OUTPUT_DIR" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${A_SOURCES})
  twg_apply_flags(${name})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
  if(A_OUTPUT_DIR)
    set(_out ${A_OUTPUT_DIR})
  else()
    set(_out ${TWG_PLUGIN_ROOT}/${name})
    # The entry point's own headers; the rest comes from the libraries it links.
    twg_export_headers(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} FILES_ONLY)
    install(TARGETS ${name} LIBRARY DESTINATION ${TWG_INSTALL_PLUGIN_ROOT}/${name})
    install(DIRECTORY DESTINATION ${TWG_INSTALL_PLUGIN_ROOT}/${name}/Resources)
  endif()
  set_target_properties(${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${_out}
    BUILD_RPATH "$ORIGIN/../../..;${TWG_BIN_DIR}"
    INSTALL_RPATH "$ORIGIN/../../..")
endfunction()

# A GoogleTest executable with the shared QApplication main; each test case is a CTest test.
# LAUNCHER runs each case through a script, whose exit code 77 reports it as skipped.
function(twg_test name)
  cmake_parse_arguments(A "" "LAUNCHER" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  twg_apply_flags(${name})
  # Qt Test's QCOMPARE/QVERIFY/QTRY_* return instead of failing a GoogleTest: using one is a
  # compile error here.
  target_compile_options(${name} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/NoQtTestChecks.h)
  target_link_libraries(${name} PRIVATE twg_test_main ${A_LIBS})
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin
    BUILD_RPATH "${TWG_BIN_DIR}")
  set(_skip "")
  if(A_LAUNCHER)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${A_LAUNCHER})
    set(_skip SKIP_RETURN_CODE 77)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
  # gtest_discover_tests flattens list-valued PROPERTIES (an ENVIRONMENT of several variables
  # splits into pairs that drop all but the first), so the properties are set by a script
  # CTest reads after the discovered tests, on the list of their names.
  set(_env "QT_QPA_PLATFORM=offscreen" "LC_ALL=C" "TWG_BUILD_DIR=${CMAKE_BINARY_DIR}"
           "TWG_TEST_PLUGIN_ROOT=${TWG_TEST_PLUGIN_ROOT}")
  set(_properties "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
  file(WRITE "${_properties}"
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES\n"
    "    ENVIRONMENT [==[${_env}]==]\n"
    "    LABELS [==[${A_LABELS}]==]\n"
    "    TIMEOUT 120 ${_skip})\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_properties}")
endfunction()
