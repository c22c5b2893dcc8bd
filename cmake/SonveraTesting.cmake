# sonvera_add_test(NAME <name> LABELS <label...> SOURCES <file...> [LIBS <target...>])
#
# One GoogleTest program per group of behaviour, registered with ctest under its
# labels. In the Windows tree the program carries the library's resources (so
# that string loads work exactly as inside Sonvera.dll) and runs under wine64
# through the toolchain's emulator.
function(sonvera_add_test)
  cmake_parse_arguments(T "" "NAME" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  # The test code itself is built at -O1: it runs for milliseconds, and at
  # -O3 its GoogleTest and gmock templates cost a quarter more compile time
  # (at -O0 the programs' many template sections make the links five times
  # slower). The code under test keeps the tree's own flags.
  target_compile_options(${T_NAME} PRIVATE -O1)
  if(WIN32 AND TARGET sonvera_resources)
    target_sources(${T_NAME} PRIVATE $<TARGET_OBJECTS:sonvera_resources>)
  endif()
  # Recordings the tests read; under Wine the source tree is on drive Z:.
  if(WIN32)
    target_compile_definitions(${T_NAME} PRIVATE SONVERA_TEST_DATA="Z:${CMAKE_SOURCE_DIR}/tests/data")
  else()
    target_compile_definitions(${T_NAME} PRIVATE SONVERA_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 600)
endfunction()
