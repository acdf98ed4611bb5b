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
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
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

# Sources of a folder (recursively), headers included so AUTOMOC sees them.
function(twg_collect_sources out dir)
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS
    ${dir}/*.cpp ${dir}/*.h ${dir}/*.c ${dir}/*.qrc)
  set(${out} ${_src} PARENT_SCOPE)
endfunction()

# A static, position-independent library that every deliverable links its own copy of.
function(twg_static_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  twg_apply_flags(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${A_LIBS})
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
