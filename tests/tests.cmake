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
  tests/support/verres.cpp
  tests/support/fake_setup.cpp)
target_include_directories(pikro_testsupport PUBLIC tests/support)
# The test helpers read version resources the system's way, to compare.
target_link_libraries(pikro_testsupport PUBLIC pikro_common GTest::gtest version)
pikro_target(pikro_testsupport)

# The fake devenv.exe: records its command line and current folder.
add_executable(fake_devenv WIN32 tests/support/fake_devenv.cpp tests/support/fake_devenv.rc)
pikro_program(fake_devenv)

# Gives a copy of the fake editor a version resource of choice, for scripts.
add_executable(stamp_version tests/support/stamp_version.cpp tests/support/verres.cpp)
target_include_directories(stamp_version PRIVATE tests/support)
target_link_libraries(stamp_version PRIVATE version)
pikro_program(stamp_version)

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

# A stand-in for Visual Studio's Setup Configuration server, which the
# tests copy beside an instance list of their own and register as the class
# SetupConfiguration. Built into a folder of its own, like the planted DLL.
add_library(fake_setup_config SHARED tests/support/fake_setup_config.cpp
                                     tests/support/fake_setup_config.def)
set_target_properties(fake_setup_config PROPERTIES PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/fakecom)
target_include_directories(fake_setup_config PRIVATE common)
target_link_libraries(fake_setup_config PRIVATE ole32 oleaut32 uuid)
pikro_target(fake_setup_config)
if(NOT MSVC AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(fake_setup_config PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# The installer made from installer/Pikro.nsi with this build's programs,
# for the installer tests: build/<arch>/installer/PikroSetup.exe, carrying
# the programs of the target's own architecture. Without makensis it is not
# made and those tests skip.
find_program(PIKRO_MAKENSIS makensis)
if(PIKRO_MAKENSIS AND NOT CMAKE_CONFIGURATION_TYPES)
  file(STRINGS ${CMAKE_SOURCE_DIR}/common/version.h pikro_version_line REGEX "PIKRO_VERSION_STR")
  string(REGEX MATCH "\"([^\"]+)\"" pikro_unused "${pikro_version_line}")
  set(pikro_version ${CMAKE_MATCH_1})
  file(STRINGS ${CMAKE_SOURCE_DIR}/common/version.h pikro_product_line REGEX "PIKRO_PRODUCT_NAME")
  string(REGEX MATCH "\"([^\"]+)\"" pikro_unused "${pikro_product_line}")
  set(pikro_product ${CMAKE_MATCH_1})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(pikro_arch x64)
  else()
    set(pikro_arch x86)
  endif()
  set(pikro_setup ${CMAKE_BINARY_DIR}/installer/PikroSetup.exe)
  file(GLOB pikro_installer_parts CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/installer/*.nsh)
  add_custom_command(OUTPUT ${pikro_setup}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/installer
    COMMAND ${PIKRO_MAKENSIS} -V2 -NOCD -DPIKRO_VERSION=${pikro_version}
            -DPIKRO_PRODUCT=${pikro_product} -DPIKRO_ARCH=${pikro_arch}
            -DPIKRO_PROGRAMS=${CMAKE_BINARY_DIR}/bin -DPIKRO_OUTFILE=${pikro_setup}
            ${CMAKE_SOURCE_DIR}/installer/Pikro.nsi
    DEPENDS ${CMAKE_SOURCE_DIR}/installer/Pikro.nsi ${pikro_installer_parts}
            ${CMAKE_SOURCE_DIR}/common/version.h
            Pikro PikroInstall PikroUninstall PikroExec
    COMMENT "Installer for the tests: ${pikro_setup}"
    VERBATIM)
  add_custom_target(pikro_test_installer ALL DEPENDS ${pikro_setup})
else()
  message(STATUS "makensis not found: the installer tests will skip")
endif()

file(GLOB PIKRO_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/test_*.cpp)
add_executable(pikro_tests ${PIKRO_TEST_SOURCES} launcher/Pikro.rc)
target_link_libraries(pikro_tests PRIVATE pikro_testsupport pikro_launcher pikro_setup GTest::gtest_main
                      ole32 uuid)
pikro_target(pikro_tests)
# Build the programs the tests start whenever the tests are built.
add_dependencies(pikro_tests Pikro PikroInstall PikroUninstall PikroExec fake_devenv planted_version
                 fake_setup_config)

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
target_link_libraries(floor_start PRIVATE user32)
pikro_program(floor_start)
add_dependencies(bench_start floor_start Pikro PikroExec fake_devenv)
add_dependencies(bench_discovery fake_setup_config fake_devenv)
add_dependencies(bench_clean Pikro PikroExec fake_devenv)
