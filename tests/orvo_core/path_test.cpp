#include "orvo_core/path.hpp"

#include <gtest/gtest.h>

namespace orvo::core {
namespace {

TEST(SamePath, ComparesComponents) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"/a/b/", "/a//b", true},
      {"/a/./b", "/a/b", true},
      {"a/.", "a", true},
      {"/.", "/", true},
      {"//a", "/a", true},
      {"./a", "a", false},
      {"/a/c/../b", "/a/b", false},
      {"", ".", false},
      {"/a/b", "a/b", false},
      {"/w/feat", "/w/feat", true},
      {"/w/feat", "/w/feature", false},
      {".", "./", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(same_path(c.a, c.b), c.same);
    EXPECT_EQ(same_path(c.b, c.a), c.same);
  }
}

TEST(FileName, IsTheLastComponentWhenItIsAName) {
  struct Case {
    const char* path;
    std::optional<std::string_view> name;
  };
  const Case cases[] = {
      {"/w/feat/", "feat"}, {"a/.", "a"},         {"/a/b/.", "b"},         {"foo.txt/.", "foo.txt"},
      {"/", std::nullopt},  {"..", std::nullopt}, {"/w/..", std::nullopt}, {".", std::nullopt},
      {"", std::nullopt},   {"proj", "proj"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(file_name(c.path), c.name);
  }
}

TEST(Utf8FileName, IsTheFileNameWhenItIsValidUtf8) {
  EXPECT_EQ(utf8_file_name("/w/caf\xC3\xA9/"), "caf\xC3\xA9");
  EXPECT_EQ(utf8_file_name("/w/\xFF"), std::nullopt);
  EXPECT_EQ(utf8_file_name("/w/.."), std::nullopt);
}

TEST(PathDisplay, ReplacesInvalidBytes) {
  EXPECT_EQ(display("/tmp/caf\xC3\xA9"), "/tmp/caf\xC3\xA9");
  EXPECT_EQ(display("/tmp/\xFF"
                    "x"),
            "/tmp/\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace orvo::core
