#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvo::store::test {

// Compact state-file texts to build readers' inputs from.
inline const std::string kId = "67e55044-10b1-426f-9247-bb680e5fe0c8";
inline const std::string kPrefs =
    R"({"editor_cmd":"zed","pi_bin":"pi","pi_extra_args":[],"default_start_pi_on_create":true})";

// A valid project object; `key` is given `value` instead, or left out when `value` is nullopt.
inline std::string project(std::string_view key = {}, std::optional<std::string> value = "") {
  const std::pair<std::string_view, std::string> fields[] = {
      {"id", '"' + kId + '"'},
      {"name", R"("n")"},
      {"main_path", R"("/m")"},
      {"worktree_dir_template", R"("t")"},
      {"quick_base", "null"},
      {"preferred_editor", "null"},
      {"created_at", R"("2024-05-06T07:08:09Z")"},
  };
  std::string out = "{";
  for (const auto& [name, text] : fields) {
    if (name == key && !value) {
      continue;
    }
    if (out.size() > 1) {
      out += ',';
    }
    out += '"' + std::string(name) + "\":" + (name == key ? *value : text);
  }
  return out + "}";
}

inline std::string doc(const std::string& projects = "[]", const std::string& prefs = kPrefs) {
  return R"({"projects":)" + projects + R"(,"prefs":)" + prefs + "}";
}

// `text` with the first `from` replaced by `to`.
inline std::string replaced(std::string text, std::string_view from, std::string_view to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

}  // namespace orvo::store::test
