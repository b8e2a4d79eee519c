// The build's search for ncursesw, run on a small project against stand-in installations: it
// takes a usable one and says which, and refuses one that is too old or lacks alloc_pair with
// a message that says so.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "orvo_sys/process.hpp"
#include "support/temp_dir.hpp"

namespace orvo::test {
namespace {

constexpr const char* kProject = R"(cmake_minimum_required(VERSION 3.25)
project(probe CXX)
set(CMAKE_CXX_STANDARD 20)
include(${ORVO_SOURCE_DIR}/cmake/ncursesw.cmake)
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

TEST(NcurseswSearch, TakesAUsableNcurseswAndRefusesAnOldOneOrOneWithoutAllocPair) {
  TempDir dir;
  write_file(dir / "CMakeLists.txt", kProject);
  const std::string refusal = "Orvo needs ncursesw 6.1 or later with alloc_pair";
  struct Case {
    const char* name;
    std::string pkg_config_dir;  // empty: the system's own
    std::string expected;
    bool refused;
  };
  const Case cases[] = {
      {"the system's ncursesw", "", "-- ncursesw: pkg-config ncursesw 6.", false},
      {"older than 6.1", fake_ncurses(dir / "old", 5, 7, false).string(), refusal, true},
      {"6.0", fake_ncurses(dir / "six", 6, 0, true).string(), refusal, true},
      {"no alloc_pair", fake_ncurses(dir / "bare", 6, 4, false).string(), refusal, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sys::Command command;
    command.program = "cmake";
    command.args = {"-S", dir.path().string(), "-B",
                    (dir / ("build" + std::to_string(n++))).string(),
                    "-DORVO_SOURCE_DIR=" + std::string(ORVO_SOURCE_DIR)};
    if (!c.pkg_config_dir.empty()) {
      command.env = {{"PKG_CONFIG_LIBDIR", c.pkg_config_dir}, {"PKG_CONFIG_PATH", ""}};
    }
    const auto run = sys::run_and_capture(command);
    ASSERT_TRUE(run) << run.error().message();
    const std::string said = run->out + run->err;
    EXPECT_EQ(run->status.code() != 0, c.refused) << said;
    EXPECT_NE(said.find(c.expected), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace orvo::test
