# Finds ncursesw and makes the interface target `orvo_ncursesw`, or stops with what was found
# and why it does not fit.

include(CheckCXXSourceCompiles)
include(CMakePushCheckState)

# Homebrew's ncurses is keg-only, outside pkg-config's own search: its folder is put on
# PKG_CONFIG_PATH when `ORVO_BREW` names a brew program (on macOS the one on PATH) and the caller
# set neither PKG_CONFIG_PATH nor PKG_CONFIG_LIBDIR. A caller who set either chose where
# pkg-config looks, and pkg-config searches PKG_CONFIG_PATH before PKG_CONFIG_LIBDIR.
function(orvo_add_homebrew_ncurses_to_pkg_config)
  if(APPLE)
    find_program(ORVO_BREW brew DOC "Homebrew's brew, asked where its ncurses is")
  endif()
  if(NOT ORVO_BREW OR DEFINED ENV{PKG_CONFIG_PATH} OR DEFINED ENV{PKG_CONFIG_LIBDIR})
    return()
  endif()
  execute_process(COMMAND "${ORVO_BREW}" --prefix ncurses OUTPUT_VARIABLE keg
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(keg AND EXISTS "${keg}/lib/pkgconfig")
    set(ENV{PKG_CONFIG_PATH} "${keg}/lib/pkgconfig")
  endif()
endfunction()

# ncursesw 6.1 or later, header and library from one place: pkg-config's ncursesw (Homebrew's
# keg on macOS), else CMake's own search. Either way a test program must find `alloc_pair`.
function(orvo_find_ncursesw)
  orvo_add_homebrew_ncurses_to_pkg_config()
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(ORVO_NCURSESW QUIET IMPORTED_TARGET GLOBAL ncursesw)
  endif()
  if(ORVO_NCURSESW_FOUND)
    add_library(orvo_ncursesw INTERFACE)
    target_link_libraries(orvo_ncursesw INTERFACE PkgConfig::ORVO_NCURSESW)
    set(source "pkg-config ncursesw ${ORVO_NCURSESW_VERSION} (${ORVO_NCURSESW_PREFIX})")
    set(includes ${ORVO_NCURSESW_INCLUDE_DIRS})
    set(libraries ${ORVO_NCURSESW_LINK_LIBRARIES})
    set(flags ${ORVO_NCURSESW_CFLAGS_OTHER})
  else()
    set(CURSES_NEED_WIDE TRUE)
    set(CURSES_NEED_NCURSES TRUE)
    find_package(Curses QUIET)
    if(NOT CURSES_FOUND)
      message(FATAL_ERROR "ncursesw 6.1 or later was not found (neither pkg-config's ncursesw nor "
                          "CMake's curses search); scripts/setup installs it.")
    endif()
    add_library(orvo_ncursesw INTERFACE)
    target_include_directories(orvo_ncursesw INTERFACE ${CURSES_INCLUDE_DIRS})
    target_link_libraries(orvo_ncursesw INTERFACE ${CURSES_LIBRARIES})
    target_compile_options(orvo_ncursesw INTERFACE ${CURSES_CFLAGS})
    set(source "CMake's curses search (${CURSES_LIBRARIES})")
    set(includes ${CURSES_INCLUDE_DIRS})
    set(libraries ${CURSES_LIBRARIES})
    set(flags ${CURSES_CFLAGS})
  endif()
  # The wide-character interface (cchar_t, wget_wch, setcchar).
  target_compile_definitions(orvo_ncursesw INTERFACE NCURSES_WIDECHAR=1)

  cmake_push_check_state(RESET)
  set(CMAKE_REQUIRED_QUIET TRUE)
  set(CMAKE_REQUIRED_INCLUDES ${includes})
  set(CMAKE_REQUIRED_LIBRARIES ${libraries})
  list(JOIN flags " " CMAKE_REQUIRED_FLAGS)
  set(CMAKE_REQUIRED_DEFINITIONS -DNCURSES_WIDECHAR=1)
  check_cxx_source_compiles([[
    #include <curses.h>
    #if !defined(NCURSES_VERSION_MAJOR) || NCURSES_VERSION_MAJOR * 100 + NCURSES_VERSION_MINOR < 601
    #error "ncurses older than 6.1"
    #endif
    int main() {
      cchar_t cell;
      setcchar(&cell, L"x", 0, 0, nullptr);
      return alloc_pair(1, 2);
    }
  ]] orvo_ncursesw_usable)
  cmake_pop_check_state()
  if(NOT includes)
    set(includes "the compiler's own")
  endif()
  if(NOT orvo_ncursesw_usable)
    unset(orvo_ncursesw_usable CACHE)
    message(FATAL_ERROR
      "The ncurses found by ${source} cannot be used: Orvo needs ncursesw 6.1 or later with "
      "alloc_pair (headers: ${includes}). On macOS the system's ncurses is too old: "
      "`brew install ncurses`; on Debian: `apt-get install libncurses-dev`. "
      "To use another, put its ncursesw.pc first on PKG_CONFIG_PATH.")
  endif()
  message(STATUS "ncursesw: ${source}")
endfunction()
