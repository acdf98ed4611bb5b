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
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
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

# A Qt plug-in: exports only Qt's entry points.
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
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C;TWG_BUILD_DIR=${CMAKE_BINARY_DIR};TWG_TEST_PLUGIN_ROOT=${TWG_TEST_PLUGIN_ROOT}"
      LABELS "${A_LABELS}"
      TIMEOUT 120
      ${_skip})
endfunction()
