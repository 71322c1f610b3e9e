# Tests: GoogleTest built from source for the target, one test program per
# target run through Wine by ctest (scripts/test.sh prepares the prefix and a
# persistent wineserver), test helper programs, and the benchmarks.

set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${PIKRO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Helpers shared by every test: process runner, fake editor set-up, store
# and registry helpers, window finding.
add_library(pikro_testsupport STATIC
  tests/support/testutil.cpp
  tests/support/verres.cpp)
target_include_directories(pikro_testsupport PUBLIC tests/support)
# The test helpers read version resources the system's way, to compare.
target_link_libraries(pikro_testsupport PUBLIC pikro_common GTest::gtest version)
pikro_target(pikro_testsupport)

# The fake devenv.exe: records its command line and current folder.
add_executable(fake_devenv WIN32 tests/support/fake_devenv.cpp tests/support/fake_devenv.rc)
pikro_program(fake_devenv)

# A version.dll of the tests' own that marks its folder when it is loaded,
# planted beside copies of the programs. It is built into a folder of its
# own, never beside the programs it is meant to catch out.
add_library(planted_version SHARED tests/support/planted_version.cpp
                                   tests/support/planted_version.def)
set_target_properties(planted_version PROPERTIES PREFIX "" OUTPUT_NAME version
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/planted)
pikro_target(planted_version)
# The .def file names the exports undecorated, as the system's version.dll
# does; a 32-bit MinGW link maps them to the stdcall functions, and says so
# unless told that this is meant.
if(NOT MSVC AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(planted_version PRIVATE -Wl,--enable-stdcall-fixup)
endif()

file(GLOB PIKRO_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/test_*.cpp)
add_executable(pikro_tests ${PIKRO_TEST_SOURCES} launcher/Pikro.rc)
target_link_libraries(pikro_tests PRIVATE pikro_testsupport pikro_launcher pikro_setup GTest::gtest_main)
pikro_target(pikro_tests)
# Build the programs the tests start whenever the tests are built.
add_dependencies(pikro_tests Pikro PikroInstall PikroUninstall PikroExec fake_devenv planted_version)

enable_testing()
include(GoogleTest)
# Every test runs under en-US; the tests of suites whose name ends in "Lang"
# run a second time under Japanese (user-interface language 1041). A test
# gets one variable only (gtest_discover_tests splits a list of them into
# separate properties): PIKRO_TEST_LANGID, from which scripts/wine-run.sh
# sets LC_ALL, and with it Wine's user-interface language.
gtest_discover_tests(pikro_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  PROPERTIES ENVIRONMENT "PIKRO_TEST_LANGID=1033" TIMEOUT 120)
gtest_discover_tests(pikro_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_PREFIX "ja." TEST_FILTER "*Lang.*"
  PROPERTIES ENVIRONMENT "PIKRO_TEST_LANGID=1041" TIMEOUT 120)

# Benchmarks: one program per bench/bench_*.cpp, run by bench/run.sh.
file(GLOB PIKRO_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/bench_*.cpp)
foreach(src ${PIKRO_BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE pikro_testsupport pikro_launcher pikro_setup)
  pikro_target(${name})
endforeach()

# The floor of the launcher's start-up, a program of its own that bench_start
# times beside the launcher: it links the launcher's resources for the
# choice dialog's template and nothing of the launcher's code.
add_executable(floor_start WIN32 bench/floor_start.cpp launcher/Pikro.rc)
target_include_directories(floor_start PRIVATE launcher)
target_link_libraries(floor_start PRIVATE user32 shell32)
pikro_program(floor_start)
add_dependencies(bench_start floor_start Pikro PikroExec fake_devenv)
