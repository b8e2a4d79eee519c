#include "orvo_sys/fs.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace orvo::sys {
namespace {

using test::TempDir;
using test::write_file;

TEST(Canonicalize, ResolvesLinksAndDotsAndReportsWhatCannotBeResolved) {
  TempDir tmp;
  std::filesystem::create_directories(tmp / "real" / "sub");
  std::filesystem::create_directory_symlink(tmp / "real", tmp / "link");
  EXPECT_EQ(canonicalize(tmp / "link" / "sub" / ".." / ".").value(), tmp / "real");
  EXPECT_EQ(canonicalize(tmp / "missing").error().code, ENOENT);
  EXPECT_EQ(canonicalize(std::string("/tmp\0/x", 7)).error().code, EINVAL);
}

TEST(PathExists, FollowsLinks) {
  TempDir tmp;
  write_file(tmp / "file", "");
  std::filesystem::create_symlink(tmp / "file", tmp / "good");
  std::filesystem::create_symlink(tmp / "missing", tmp / "dangling");
  EXPECT_TRUE(path_exists(tmp / "file"));
  EXPECT_TRUE(path_exists(tmp / "good"));
  EXPECT_TRUE(path_exists(tmp.path()));
  EXPECT_FALSE(path_exists(tmp / "dangling"));
  EXPECT_FALSE(path_exists(tmp / "missing"));
  EXPECT_FALSE(path_exists(std::string((tmp / "file").string() + '\0' + "x")));
}

TEST(Parent, DropsTheLastComponent) {
  struct Case {
    std::string path;
    std::optional<std::string> parent;
  };
  const Case cases[] = {
      {"/a/b", "/a"}, {"/a/b/", "/a"}, {"/a/b/.", "/a"},    {"/a//b", "/a"},    {"/a", "/"},
      {"a/b", "a"},   {"b", ""},       {"/", std::nullopt}, {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto parent_path = parent(c.path);
    ASSERT_EQ(parent_path.has_value(), c.parent.has_value());
    if (parent_path) {
      EXPECT_EQ(parent_path->native(), *c.parent);
    }
  }
}

TEST(CreateDirAll, MakesMissingAncestorsAndAcceptsExistingDirectories) {
  TempDir tmp;
  ASSERT_TRUE(create_dir_all(tmp / "a" / "b" / "c"));
  EXPECT_TRUE(std::filesystem::is_directory(tmp / "a" / "b" / "c"));
  EXPECT_TRUE(create_dir_all(tmp / "a" / "b"));
  EXPECT_TRUE(create_dir_all(""));

  write_file(tmp / "file", "");
  EXPECT_EQ(create_dir_all(tmp / "file").error().message(), "File exists (os error 17)");
  EXPECT_EQ(create_dir_all(tmp / "file" / "sub").error().message(),
            "Not a directory (os error 20)");
}

}  // namespace
}  // namespace orvo::sys
