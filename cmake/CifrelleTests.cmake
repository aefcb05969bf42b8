# SPDX-License-Identifier: GPL-3.0-or-later
# The tests' plumbing, included by the root CMakeLists.txt when the tests are
# built: GoogleTest, the checks of the sources, and the two functions every
# test folder uses, cifrelle_add_test() and cifrelle_register_tests(), with
# what they rewrite for Wine and for a run of CTest per program.

enable_testing()
if(CMAKE_CROSSCOMPILING)
  # No GoogleTest is installed for the target system: build Debian's
  # sources (GoogleMock too, for the widget tests) with the project, and
  # list each test executable's cases when CTest runs (through the
  # emulator), not at build time.
  set(CIFRELLE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${CIFRELLE_GTEST_SOURCE} googletest EXCLUDE_FROM_ALL)
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
else()
  find_package(GTest REQUIRED)
  # Every source file names its license, and every C++ file is laid out
  # as .clang-format says.
  add_test(NAME license_headers COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-license-headers)
  add_test(NAME format COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-format)
endif()
include(GoogleTest)

# The test programs' own code is compiled with light optimisation: it
# compiles several times faster than at -O3, while the code under test keeps
# the build type's flags. Empty: the build type's flags for the tests too.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(cifrelle_test_optimization "")
else()
  set(cifrelle_test_optimization -O1)
endif()
set(CIFRELLE_TEST_OPTIMIZATION "${cifrelle_test_optimization}" CACHE STRING
    "Optimisation of the test programs' own code")

# Registers the tests of the GoogleTest program TARGET that match TEST_FILTER
# (all by default) with CTest, run with ENVIRONMENT (and the offscreen Qt
# platform, or for Windows Qt's own, unless it names another) and named with
# SUFFIX at the end. Each test is one CTest test under its own name (ctest
# -R), or, with CIFRELLE_TEST_PER_PROGRAM, the program is one CTest test that
# prints only what fails: much faster, since every test in a process of its
# own means a Qt application or a sanitizer runtime started hundreds of times.
option(CIFRELLE_TEST_PER_PROGRAM "Run each test program as one CTest test" OFF)
function(cifrelle_register_tests target)
  cmake_parse_arguments(ARG "" "TEST_FILTER;SUFFIX;ENVIRONMENT" "" ${ARGN})
  if(NOT ARG_TEST_FILTER)
    set(ARG_TEST_FILTER "*")
  endif()
  # Under Wine the widget tests run on Qt's Windows platform, in real
  # windows on the X display Wine draws on.
  if(NOT ARG_ENVIRONMENT MATCHES "QT_QPA_PLATFORM=")
    if(WIN32)
      list(PREPEND ARG_ENVIRONMENT "QT_QPA_PLATFORM=windows")
    else()
      list(PREPEND ARG_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
  endif()
  # Wine hands a Windows program none of Linux's QT_ variables; it hands on
  # WINEQT_X as QT_X.
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    list(TRANSFORM ARG_ENVIRONMENT REPLACE "^QT_" "WINEQT_")
  endif()
  # On Windows' platform two widget test programs at once would take the
  # active window and the keyboard from each other: one at a time.
  set(lock "")
  if(WIN32)
    get_target_property(libs ${target} LINK_LIBRARIES)
    if("Qt6::Widgets" IN_LIST libs)
      set(lock RESOURCE_LOCK desktop)
    endif()
  endif()
  if(CIFRELLE_TEST_PER_PROGRAM)
    add_test(NAME ${target}${ARG_SUFFIX}
             COMMAND ${target} --gtest_filter=${ARG_TEST_FILTER} --gtest_brief=1)
    set_tests_properties(${target}${ARG_SUFFIX} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}" ${lock})
  else()
    gtest_discover_tests(${target} TEST_FILTER ${ARG_TEST_FILTER} TEST_SUFFIX "${ARG_SUFFIX}"
                         DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}" ${lock})
  endif()
endfunction()

# Qt Test names each program's own folders in two macros (for
# QFINDTESTDATA, which no test uses): without them, the Qt test programs
# can share their precompiled headers.
function(cifrelle_qt_test_options target)
  get_target_property(libs ${target} LINK_LIBRARIES)
  if("Qt6::Test" IN_LIST libs)
    target_compile_options(${target} PRIVATE -UQT_TESTCASE_BUILDDIR -UQT_TESTCASE_SOURCEDIR)
  endif()
endfunction()

# GoogleTest's header, compiled once for the test programs of the plain
# libraries (a library of no code that only carries it).
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/cifrelle_gtest_pch.cpp
     CONTENT "// GoogleTest's header, precompiled for the test programs.\n")
add_library(cifrelle_gtest_pch OBJECT ${CMAKE_BINARY_DIR}/cifrelle_gtest_pch.cpp)
target_link_libraries(cifrelle_gtest_pch PRIVATE GTest::gtest)
target_compile_options(cifrelle_gtest_pch PRIVATE ${CIFRELLE_TEST_OPTIMIZATION})
target_precompile_headers(cifrelle_gtest_pch PRIVATE <gtest/gtest.h>)

# Adds a GoogleTest program built from SOURCES and linked to LIBS, and
# registers its tests (but those TEST_FILTER leaves out, for another
# cifrelle_register_tests to run in another setting). Its headers come
# precompiled: GoogleTest's, shared by the programs that name nothing else;
# GoogleTest's and those in PRECOMPILE, for its own files; or those of the
# program PRECOMPILE_FROM, built with the same options (a Qt test program's,
# for another). NO_PRECOMPILE: none (a program of one file linked to Qt,
# whose options the shared ones do not match). A unity build
# (CMAKE_UNITY_BUILD) compiles a program's files as one already: there only
# GoogleTest's shared headers are precompiled.
function(cifrelle_add_test name)
  cmake_parse_arguments(ARG "NO_PRECOMPILE" "TEST_FILTER;PRECOMPILE_FROM"
                        "SOURCES;LIBS;PRECOMPILE" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_options(${name} PRIVATE ${CIFRELLE_TEST_OPTIMIZATION})
  cifrelle_qt_test_options(${name})
  if(NOT ARG_PRECOMPILE_FROM AND NOT ARG_PRECOMPILE AND NOT ARG_NO_PRECOMPILE)
    target_precompile_headers(${name} REUSE_FROM cifrelle_gtest_pch)
  elseif(ARG_PRECOMPILE_FROM AND NOT CMAKE_UNITY_BUILD)
    target_precompile_headers(${name} REUSE_FROM ${ARG_PRECOMPILE_FROM})
  elseif(ARG_PRECOMPILE AND NOT CMAKE_UNITY_BUILD)
    target_precompile_headers(${name} PRIVATE <gtest/gtest.h> ${ARG_PRECOMPILE})
  endif()
  cifrelle_register_tests(${name} TEST_FILTER "${ARG_TEST_FILTER}")
endfunction()
