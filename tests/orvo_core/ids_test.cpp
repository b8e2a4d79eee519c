#include "orvo_core/ids.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace orvo::core {
namespace {

TEST(ProjectIdCreate, IsRandomVersion4WithTheRfcVariant) {
  std::unordered_set<ProjectId> seen;
  for (int i = 0; i < 2000; ++i) {
    const ProjectId id = ProjectId::create();
    EXPECT_EQ(id.uuid().bytes()[6] >> 4, 4);
    EXPECT_EQ(id.uuid().bytes()[8] >> 6, 2);
    EXPECT_TRUE(seen.insert(id).second) << "duplicate identifier";
  }
}

TEST(ProjectIdText, IsHyphenatedLowerCase) {
  const std::string text = ProjectId::create().to_string();
  ASSERT_EQ(text.size(), 36u);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      EXPECT_EQ(text[i], '-');
    } else {
      EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[i])) &&
                  !std::isupper(static_cast<unsigned char>(text[i])))
          << text;
    }
  }
  EXPECT_EQ(text[14], '4');
  EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos);
}

TEST(UuidParse, AcceptsEveryTextFormInEitherCase) {
  const Uuid id = Uuid::new_v4();
  const std::string text = id.to_string();
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  std::string simple = text;
  simple.erase(std::remove(simple.begin(), simple.end(), '-'), simple.end());
  for (const std::string& form :
       {text, upper, simple, "{" + text + "}", "urn:uuid:" + upper, "{" + upper + "}"}) {
    SCOPED_TRACE(form);
    const auto parsed = Uuid::parse(form);
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(*parsed, id);
  }
}

TEST(UuidParse, RefusesWithTheFaultsDescription) {
  struct Case {
    std::string input;
    std::string message;
  };
  const Case cases[] = {
      {"", "invalid length: found 0"},
      {"abc", "invalid length: found 3"},
      {"67e5504410b1426f9247bb680e5fe0c", "invalid length: found 31"},
      {"67e5504410b1426f9247bb680e5fe0c8a", "invalid length: found 33"},
      {"hello_world", "invalid character: found `h` at 1"},
      {"g7e55044-10b1-426f-9247-bb680e5fe0c8", "invalid character: found `g` at 1"},
      {"{g7e55044-10b1-426f-9247-bb680e5fe0c8}", "invalid character: found `g` at 1"},
      {"urn:uuid:g7e55044-10b1-426f-9247-bb680e5fe0c8", "invalid character: found `g` at 1"},
      {"{g7e55044-10b1-426f-9247-bb680e5fe0c}", "invalid character: found `g` at 2"},
      {"urn:uuid:g7e55044-10b1-426f-9247-bb680e5fe0c", "invalid character: found `g` at 10"},
      {"67e55044-10b1-426f-9247-bb680e5fe0c8}", "invalid character: found `}` at 37"},
      {"{67e55044-10b1-426f-9247-bb680e5fe0c8", "invalid character: found `{` at 1"},
      {"URN:UUID:67e55044-10b1-426f-9247-bb680e5fe0c8", "invalid character: found `U` at 1"},
      {"67e55044-10b1-426f-9247-bb680e5f\xC3\xA9"
       "0c8",
       "invalid character: found `\xC3\xA9` at 33"},
      {"67e55044 10b1-426f-9247-bb680e5fe0c8", "invalid character: found ` ` at 9"},
      {"67e5504-410b1-426f-9247-bb680e5fe0c8",
       "invalid group length in group 0: expected 8, found 7"},
      {"67e55044-10b1-426f-9247-bb680e5fe0c",
       "invalid group length in group 4: expected 12, found 11"},
      {"67e55044-10b1-426f-9247-bb680e5fe0c8a",
       "invalid group length in group 4: expected 12, found 13"},
      {"{67e55044-10b1-426f-9247-bb680e5fe0c}",
       "invalid group length in group 4: expected 12, found 13"},
      {"urn:uuid:67e55044-10b1-426f-9247-bb680e5fe0c",
       "invalid group length in group 4: expected 12, found 20"},
      {"67e55044-10b1-426f-9247", "invalid group count: expected 5, found 4"},
      {"67e55044-10b1-426f-9247-bb68-0e5fe0c8", "invalid group count: expected 5, found 6"},
      {"{abc}", "invalid group count: expected 5, found 1"},
      {"{}", "invalid group count: expected 5, found 1"},
      {"-", "invalid group count: expected 5, found 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const auto parsed = Uuid::parse(c.input);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.error(), c.message);
  }
}

}  // namespace
}  // namespace orvo::core
