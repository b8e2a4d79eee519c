// The build's search for ncursesw, run on a small project against stand-in installations: it
// takes a usable one and says which, refuses one that is too old or lacks alloc_pair with a
// message that says so, and adds Homebrew's keg to pkg-config's search only where the caller
// left that search alone.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "orvo_sys/process.hpp"
#include "support/temp_dir.hpp"

namespace orvo::test {
namespace {

constexpr const char* kProject = R"(cmake_minimum_required(VERSION 3.25)
project(probe CXX)
set(CMAKE_CXX_STANDARD 20)
include("${ORVO_SOURCE_DIR}/cmake/ncursesw.cmake")
orvo_find_ncursesw()
)";

// A stand-in installation: a pkg-config file and a curses.h of the given version that declares
// alloc_pair only when asked to.
std::filesystem::path fake_ncurses(const std::filesystem::path& root, int major, int minor,
                                   bool has_alloc_pair) {
  std::filesystem::create_directories(root / "include");
  std::filesystem::create_directories(root / "lib" / "pkgconfig");
  std::string header = "#define NCURSES_VERSION_MAJOR " + std::to_string(major) +
                       "\n#define NCURSES_VERSION_MINOR " + std::to_string(minor) +
                       "\n#include <wchar.h>\ntypedef struct { wchar_t c[5]; } cchar_t;\n"
                       "extern \"C\" int setcchar(cchar_t*, const wchar_t*, int, short, void*);\n";
  if (has_alloc_pair) {
    header += "extern \"C\" int alloc_pair(int, int);\n";
  }
  write_file(root / "include" / "curses.h", header);
  write_file(root / "lib" / "pkgconfig" / "ncursesw.pc",
             "prefix=" + root.string() +
                 "\nName: ncursesw\nDescription: stand-in\nVersion: " + std::to_string(major) +
                 "." + std::to_string(minor) + "\nCflags: -I${prefix}/include\nLibs:\n");
  return root / "lib" / "pkgconfig";
}

// `text` with every run of blanks and line feeds made one blank: CMake wraps its messages.
std::string squeezed(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const bool blank = c == ' ' || c == '\n';
    if (!blank) {
      out += c;
    } else if (!out.empty() && out.back() != ' ') {
      out += ' ';
    }
  }
  return out;
}

TEST(NcurseswSearch, TakesAUsableNcurseswAndRefusesAnOldOneOrOneWithoutAllocPair) {
  TempDir dir;
  write_file(dir / "CMakeLists.txt", kProject);
  const std::string refusal = "Orvo needs ncursesw 6.1 or later with alloc_pair";
  // A stand-in for Homebrew's brew that names a keg of its own as ncurses's prefix.
  const std::filesystem::path keg = dir / "keg";
  fake_ncurses(keg, 6, 0, true);
  const std::filesystem::path brew = dir / "bin" / "brew";
  write_file(brew,
             "#!/bin/sh\n[ \"$*\" = '--prefix ncurses' ] || exit 1\necho '" + keg.string() + "'\n",
             true);
  const std::string old = fake_ncurses(dir / "old", 5, 7, false).string();
  struct Case {
    const char* name;
    std::vector<std::string> env;  // set for the run; PKG_CONFIG_PATH and PKG_CONFIG_LIBDIR
                                   // are unset unless named here
    bool with_brew;
    std::string expected;
    bool refused;
  };
  const Case cases[] = {
      {"the system's ncursesw", {}, false, "-- ncursesw: pkg-config ncursesw 6.", false},
      {"older than 6.1",
       {"PKG_CONFIG_LIBDIR=" + old, "PKG_CONFIG_PATH="},
       true,
       refusal + " (headers: " + (dir / "old" / "include").string() + ")",
       true},
      {"6.0",
       {"PKG_CONFIG_LIBDIR=" + fake_ncurses(dir / "six", 6, 0, true).string(), "PKG_CONFIG_PATH="},
       true,
       refusal,
       true},
      {"no alloc_pair",
       {"PKG_CONFIG_LIBDIR=" + fake_ncurses(dir / "bare", 6, 4, false).string(),
        "PKG_CONFIG_PATH="},
       true,
       refusal,
       true},
      {"Homebrew's keg when pkg-config's search is left alone",
       {},
       true,
       "The ncurses found by pkg-config ncursesw 6.0 (" + keg.string() + ") cannot be used",
       true},
      {"a set PKG_CONFIG_PATH before Homebrew's keg",
       {"PKG_CONFIG_PATH=" + old},
       true,
       "The ncurses found by pkg-config ncursesw 5.7 (" + (dir / "old").string() + ") cannot",
       true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sys::Command command;
    command.program = "env";
    command.args = {"-u", "PKG_CONFIG_PATH", "-u", "PKG_CONFIG_LIBDIR"};
    command.args.insert(command.args.end(), c.env.begin(), c.env.end());
    command.args.insert(command.args.end(), {"cmake", "-S", dir.path().string(), "-B",
                                             (dir / ("build" + std::to_string(n++))).string(),
                                             "-DORVO_SOURCE_DIR=" + std::string(ORVO_SOURCE_DIR)});
    if (c.with_brew) {
      command.args.push_back("-DORVO_BREW=" + brew.string());
    }
    const auto run = sys::run_and_capture(command);
    ASSERT_TRUE(run) << run.error().message();
    const std::string said = squeezed(run->out + run->err);
    EXPECT_EQ(run->status.code() != 0, c.refused) << said;
    EXPECT_NE(said.find(c.expected), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace orvo::test
