// scripts/run on a scratch copy of the repository whose project is a small stand-in for Orvo, so
// its build takes a moment: what it says while it builds, when nothing needs building, and when
// the build fails.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "orvo_sys/process.hpp"
#include "support/temp_dir.hpp"

namespace orvo::test {
namespace {

constexpr std::string_view kProject = R"(cmake_minimum_required(VERSION 3.25)
project(orvo CXX)
option(ORVO_BUILD_TESTS "" ON)
add_executable(orvo main.cpp)
set_target_properties(orvo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/src/orvo_app)
)";
constexpr std::string_view kGoodMain =
    "#include <cstdio>\nint main(int, char** argv) { std::printf(\"orvo %s\\n\", argv[1]); }\n";
constexpr std::string_view kBrokenMain = "int main() { return missing_name; }\n";

TEST(RunScript, SaysWhatItBuildsShowsAFailedBuildAndIsQuietWithNothingToBuild) {
  TempDir clone;
  const std::filesystem::path script = clone / "scripts" / "run";
  std::filesystem::create_directories(script.parent_path());
  std::filesystem::copy_file(std::filesystem::path(ORVO_SOURCE_DIR) / "scripts" / "run", script);
  write_file(clone / "scripts" / "setup", "#!/bin/sh\nexit 0\n", true);
  write_file(clone / "CMakeLists.txt", std::string(kProject));
  const std::filesystem::path build = clone / "build" / "release";
  const std::string configuring = "run: configuring and building Orvo (release) in " +
                                  build.string() + "; the first build takes minutes\n";
  const std::string building = "run: building Orvo (release) in " + build.string() + "\n";
  const std::string failed =
      "run: the build failed; its output is above and in " + (build / "build.log").string() + "\n";

  sys::Command command;
  command.program = script.string();
  command.args = {"arg"};

  struct Step {
    const char* name;
    std::string_view main;
    std::string said;  // what the script says before it builds; empty when it does not build
    bool fails;
  };
  const Step steps[] = {
      {"first run configures and builds", kGoodMain, configuring, false},
      {"nothing to rebuild", kGoodMain, "", false},
      {"a broken source shows the compiler's output", kBrokenMain, building, true},
      {"a mended source builds again", kGoodMain, building, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    if (read_file(clone / "main.cpp") != step.main) {
      write_file(clone / "main.cpp", std::string(step.main));
    }
    const auto run = sys::run_and_capture(command);
    ASSERT_TRUE(run) << run.error().message();
    if (step.fails) {
      EXPECT_EQ(run->status.code(), 1);
      EXPECT_EQ(run->out, "");
      EXPECT_TRUE(run->err.starts_with(step.said)) << run->err;
      EXPECT_NE(run->err.find("missing_name"), std::string::npos) << run->err;
      EXPECT_TRUE(run->err.ends_with(failed)) << run->err;
    } else {
      EXPECT_EQ(run->status.code(), 0);
      EXPECT_EQ(run->out, "orvo arg\n");
      EXPECT_EQ(run->err, step.said);
    }
  }
}

}  // namespace
}  // namespace orvo::test
