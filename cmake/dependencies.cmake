# Finds the libraries Orvo builds with and says which it took, or why none fits.
#
# Each is looked for where the platform's package manager puts it: Debian's packages, or
# Homebrew's on macOS (ncurses there is keg-only: macOS's own ncurses is 5.7 and lacks the
# colour-pair allocation Orvo draws with).

set(orvo_install_hint
    "scripts/setup installs it (Debian: apt-get; macOS: Homebrew)")

# Stops configuring with `what` and the hint to run scripts/setup.
function(orvo_missing what)
  message(FATAL_ERROR "${what} was not found; ${orvo_install_hint}.")
endfunction()

# find_package(<name> <version> CONFIG) that reports where the package came from.
macro(orvo_find_config name version label)
  find_package(${name} ${version} CONFIG QUIET)
  if(NOT ${name}_FOUND)
    orvo_missing("${label} ${version} or later (CMake package ${name})")
  endif()
  message(STATUS "${label} ${${name}_VERSION}: ${${name}_DIR}")
endmacro()

# With ORVO_LIBCXX the code is built against libc++ (clang only). The Debian packages of fmt
# and GoogleTest are compiled against libstdc++, so then fmt is used as headers only and
# GoogleTest is built from the sources Debian ships.
if(ORVO_LIBCXX)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVO_LIBCXX needs clang; configure with -DCMAKE_CXX_COMPILER=clang++.")
  endif()
  if(ORVO_BUILD_BENCH)
    message(FATAL_ERROR "ORVO_LIBCXX builds no benchmarks: Google Benchmark is built for libstdc++.")
  endif()
  add_compile_options(-stdlib=libc++)
  add_link_options(-stdlib=libc++)
endif()

orvo_find_config(tl-expected 1.0 "tl::expected")

# tl::expected 1.2 and later (Homebrew's is 1.3) declare `expected` [[nodiscard]]; Debian's 1.0
# does not. The libc++ build stands in for the macOS build, so it reads a copy of the header
# with that mark added: a result dropped unread fails to compile here as it does there.
function(orvo_use_nodiscard_expected)
  get_target_property(dirs tl::expected INTERFACE_INCLUDE_DIRECTORIES)
  find_file(header tl/expected.hpp PATHS ${dirs} NO_DEFAULT_PATH NO_CACHE)
  file(READ "${header}" text)
  set(declaration "template <class T, class E> class expected;")
  string(FIND "${text}" "${declaration}" at)
  if(at EQUAL -1)
    message(STATUS "tl::expected: ${header} as it is (no unmarked declaration of expected)")
    return()
  endif()
  string(REPLACE "${declaration}" "template <class T, class E> class [[nodiscard]] expected;"
                 text "${text}")
  set(copy "${PROJECT_BINARY_DIR}/nodiscard-expected")
  file(WRITE "${copy}/expected.hpp.new" "${text}")
  # Copied only when changed, so that configuring again rebuilds nothing.
  configure_file("${copy}/expected.hpp.new" "${copy}/tl/expected.hpp" COPYONLY)
  include_directories(BEFORE "${copy}")
  message(STATUS "tl::expected: ${header} with expected marked [[nodiscard]] (${copy})")
endfunction()
if(ORVO_LIBCXX)
  orvo_use_nodiscard_expected()
endif()
orvo_find_config(fmt 9 "fmt")
add_library(orvo_fmt INTERFACE)
if(ORVO_LIBCXX)
  target_link_libraries(orvo_fmt INTERFACE fmt::fmt-header-only)
else()
  target_link_libraries(orvo_fmt INTERFACE fmt::fmt)
endif()

find_package(Threads REQUIRED)

include(${CMAKE_CURRENT_LIST_DIR}/ncursesw.cmake)
orvo_find_ncursesw()

if(ORVO_BUILD_TESTS)
  if(ORVO_LIBCXX)
    set(orvo_gtest_source /usr/src/googletest CACHE PATH "GoogleTest's sources, for libc++")
    if(NOT EXISTS "${orvo_gtest_source}/CMakeLists.txt")
      orvo_missing("GoogleTest's sources (${orvo_gtest_source})")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory("${orvo_gtest_source}" "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
    message(STATUS "GoogleTest: built from ${orvo_gtest_source} for libc++")
  else()
    find_package(GTest QUIET)
    if(NOT GTest_FOUND OR NOT TARGET GTest::gmock)
      orvo_missing("GoogleTest with GoogleMock")
    endif()
    message(STATUS "GoogleTest ${GTest_VERSION}: ${GTest_DIR}")
  endif()
endif()

if(ORVO_BUILD_BENCH)
  orvo_find_config(benchmark 1.6 "Google Benchmark")
endif()
