#include <fmt/format.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "orvo_store/rfc3339.hpp"
#include "orvo_store/state_file.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::store {
namespace {

constexpr std::string_view kPathNotUtf8 = "path contains invalid UTF-8 characters";
constexpr std::string_view kTextNotUtf8 = "text contains invalid UTF-8 characters";

// Pretty JSON with two spaces per level: each member or element on its own line, empty
// containers as "[]" or "{}".
class Printer {
 public:
  Printer() { out_.reserve(128); }

  void open(char bracket) {
    out_ += bracket;
    empty_.push_back(true);
  }

  void close(char bracket) {
    const bool empty = empty_.back();
    empty_.pop_back();
    if (!empty) {
      new_line();
    }
    out_ += bracket;
  }

  void key(std::string_view name) {
    element();
    string(name);
    out_ += ": ";
  }

  // Starts an array element.
  void element() {
    if (!empty_.back()) {
      out_ += ',';
    }
    empty_.back() = false;
    new_line();
  }

  void string(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out_ += '"';
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      switch (c) {
        case '"':
          out_ += "\\\"";
          break;
        case '\\':
          out_ += "\\\\";
          break;
        case '\b':
          out_ += "\\b";
          break;
        case '\t':
          out_ += "\\t";
          break;
        case '\n':
          out_ += "\\n";
          break;
        case '\f':
          out_ += "\\f";
          break;
        case '\r':
          out_ += "\\r";
          break;
        default:
          if (c < 0x20) {
            out_ += "\\u00";
            out_ += kHex[c >> 4];
            out_ += kHex[c & 0xF];
          } else {
            out_ += ch;
          }
      }
    }
    out_ += '"';
  }

  void raw(std::string_view text) { out_ += text; }

  [[nodiscard]] std::string take() { return std::move(out_); }

 private:
  void new_line() {
    out_ += '\n';
    out_.append(2 * empty_.size(), ' ');
  }

  std::string out_;
  std::vector<bool> empty_;
};

// Texts are UTF-8 wherever they come from; one that is not would make the file unreadable, so
// writing is refused with the message of the first such text in document order.
std::optional<std::string_view> refusal(const StoreData& data) {
  const auto bad = [](std::string_view text) { return !sys::is_valid_utf8(text); };
  const auto bad_optional = [&](const std::optional<std::string>& text) {
    return text && bad(*text);
  };
  for (const core::Project& p : data.projects) {
    if (bad(p.name)) {
      return kTextNotUtf8;
    }
    if (bad(p.main_path.native())) {
      return kPathNotUtf8;
    }
    if (bad(p.worktree_dir_template) || bad_optional(p.quick_base) ||
        bad_optional(p.preferred_editor)) {
      return kTextNotUtf8;
    }
  }
  const core::AppPrefs& prefs = data.prefs;
  if (bad(prefs.editor_cmd) || bad(prefs.pi_bin) ||
      std::any_of(prefs.pi_extra_args.begin(), prefs.pi_extra_args.end(), bad)) {
    return kTextNotUtf8;
  }
  return std::nullopt;
}

void text_member(Printer& p, std::string_view key, std::string_view value) {
  p.key(key);
  p.string(value);
}

void optional_member(Printer& p, std::string_view key, const std::optional<std::string>& value) {
  p.key(key);
  if (value) {
    p.string(*value);
  } else {
    p.raw("null");
  }
}

void write_project(Printer& p, const core::Project& project) {
  p.open('{');
  text_member(p, "id", project.id.to_string());
  text_member(p, "name", project.name);
  text_member(p, "main_path", project.main_path.native());
  text_member(p, "worktree_dir_template", project.worktree_dir_template);
  optional_member(p, "quick_base", project.quick_base);
  optional_member(p, "preferred_editor", project.preferred_editor);
  text_member(p, "created_at", format_rfc3339(project.created_at));
  p.close('}');
}

void write_prefs(Printer& p, const core::AppPrefs& prefs) {
  p.open('{');
  text_member(p, "editor_cmd", prefs.editor_cmd);
  text_member(p, "pi_bin", prefs.pi_bin);
  p.key("pi_extra_args");
  p.open('[');
  for (const std::string& arg : prefs.pi_extra_args) {
    p.element();
    p.string(arg);
  }
  p.close(']');
  p.key("default_start_pi_on_create");
  p.raw(prefs.default_start_pi_on_create ? "true" : "false");
  p.close('}');
}

}  // namespace

std::string JsonError::message() const {
  if (line_ == 0) {
    return message_;
  }
  return fmt::format("{} at line {} column {}", message_, line_, column_);
}

std::string JsonError::debug() const {
  return fmt::format("Error({}, line: {}, column: {})", sys::debug_quoted(message_), line_,
                     column_);
}

tl::expected<std::string, JsonError> write_state(const StoreData& data) {
  if (const auto message = refusal(data)) {
    return tl::unexpected(JsonError(std::string(*message)));
  }
  Printer p;
  p.open('{');
  p.key("projects");
  p.open('[');
  for (const core::Project& project : data.projects) {
    p.element();
    write_project(p, project);
  }
  p.close(']');
  p.key("prefs");
  write_prefs(p, data.prefs);
  p.close('}');
  return p.take();
}

}  // namespace orvo::store
