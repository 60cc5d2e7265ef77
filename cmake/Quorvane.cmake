# Shared helpers for the subsystem libraries, programs and tests.

# The version block embedded in every executable (read back by TFileVersion).
set(QV_COMPANY_NAME "Quorvane Lock Systems")
set(QV_PRODUCT_NAME "Quorvane")
set(QV_FILE_VERSION "${PROJECT_VERSION}.0")
configure_file(${CMAKE_SOURCE_DIR}/src/platform/VersionBlock.cpp.in
               ${CMAKE_BINARY_DIR}/generated/VersionBlock.cpp @ONLY)
add_library(qv_version_block OBJECT ${CMAKE_BINARY_DIR}/generated/VersionBlock.cpp)

# qv_executable(name sources... LIBS libs...)
function(qv_executable name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS} $<TARGET_OBJECTS:qv_version_block>)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# qv_test(name sources... LIBS libs...): a QtTest suite run offscreen by CTest.
function(qv_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS} $<TARGET_OBJECTS:qv_version_block>)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE Qt6::Test qv_testsupport ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    TIMEOUT 600)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    # Suites that use the PostgreSQL server share its databases: one at a time.
    if("postgres" IN_LIST ARG_LABELS)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK postgres)
    endif()
  endif()
endfunction()

# qv_use_encoder_sim(target): the suite drives the encoder simulator and its
# tool from the build tree (tests/support/SimEncoder.h).
function(qv_use_encoder_sim target)
  add_dependencies(${target} qv_encoder_sim quorvane-encoder)
  target_compile_definitions(${target} PRIVATE
    QV_ENCODER_LIB="$<TARGET_FILE:qv_encoder_sim>"
    QV_ENCODER_TOOL="$<TARGET_FILE:quorvane-encoder>")
endfunction()
