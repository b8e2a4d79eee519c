#include "orvo_core/model.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace orvo::core {
namespace {

using test::ScopedEnv;

TEST(AppPrefsDefaults, EditorComesFromEditorThenVisualThenZed) {
  struct Case {
    std::optional<std::string> editor;
    std::optional<std::string> visual;
    std::string expected;
  };
  const Case cases[] = {
      {"vim", "code", "vim"}, {std::nullopt, "code", "code"}, {std::nullopt, std::nullopt, "zed"},
      {"", "code", ""},       {"\xFF\xFE", "code", "code"},   {"\xFF\xFE", std::nullopt, "zed"},
      {std::nullopt, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    ScopedEnv editor("EDITOR", c.editor);
    ScopedEnv visual("VISUAL", c.visual);
    const AppPrefs prefs = AppPrefs::defaults();
    EXPECT_EQ(prefs.editor_cmd, c.expected);
    EXPECT_EQ(prefs.pi_bin, "pi");
    EXPECT_TRUE(prefs.pi_extra_args.empty());
    EXPECT_TRUE(prefs.default_start_pi_on_create);
  }
}

}  // namespace
}  // namespace orvo::core
