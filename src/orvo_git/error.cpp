#include "orvo_git/error.hpp"

#include <fmt/format.h>

#include <cstdint>
#include <string_view>

#include "orvo_sys/text.hpp"

namespace orvo::git {
namespace {

struct Field {
  std::string_view name;
  std::string value;
};

// `Name { a: 1, b: 2 }`, or one field per line indented by `depth` levels when `pretty`.
std::string braced(std::string_view name, const std::vector<Field>& fields, bool pretty,
                   int depth) {
  if (!pretty) {
    std::string out = fmt::format("{} {{ ", name);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      out += fmt::format("{}{}: {}", i == 0 ? "" : ", ", fields[i].name, fields[i].value);
    }
    return out + " }";
  }
  const std::string inner(static_cast<std::size_t>(4 * (depth + 1)), ' ');
  std::string out = fmt::format("{} {{\n", name);
  for (const Field& field : fields) {
    out += fmt::format("{}{}: {},\n", inner, field.name, field.value);
  }
  return out + std::string(static_cast<std::size_t>(4 * depth), ' ') + "}";
}

// `Name(value)`, or the value on its own indented line when `pretty`.
std::string tuple(std::string_view name, const std::string& value, bool pretty) {
  if (!pretty) {
    return fmt::format("{}({})", name, value);
  }
  return fmt::format("{}(\n    {},\n)", name, value);
}

std::string os_debug(const sys::OsError& os, bool pretty) {
  return braced("Os",
                {{"code", std::to_string(os.code)},
                 {"kind", std::string(os.kind_name())},
                 {"message", sys::debug_quoted(os.description())}},
                pretty, 1);
}

}  // namespace

GitError GitError::git_not_found() {
  return GitError(Kind::GitNotFound, {}, 0, {});
}

GitError GitError::not_a_repo(std::string text) {
  return GitError(Kind::NotARepo, std::move(text), 0, {});
}

GitError GitError::command_failed(int status, std::string stderr_text) {
  return GitError(Kind::CommandFailed, std::move(stderr_text), status, {});
}

GitError GitError::io(sys::OsError error) {
  return GitError(Kind::Io, {}, 0, error);
}

GitError GitError::other(std::string text) {
  return GitError(Kind::Other, std::move(text), 0, {});
}

std::optional<sys::OsError> GitError::source() const {
  if (kind_ == Kind::Io) {
    return os_;
  }
  return std::nullopt;
}

std::string GitError::message() const {
  switch (kind_) {
    case Kind::GitNotFound:
      return "git not found on PATH";
    case Kind::NotARepo:
      return fmt::format("not a git repository: {}", text_);
    case Kind::CommandFailed:
      return fmt::format("git failed ({}): {}", status_, text_);
    case Kind::Io:
      return fmt::format("io: {}", os_.message());
    case Kind::Other:
      return text_;
  }
  return text_;
}

std::string GitError::debug(bool pretty) const {
  switch (kind_) {
    case Kind::GitNotFound:
      return "GitNotFound";
    case Kind::NotARepo:
      return tuple("NotARepo", sys::debug_quoted(text_), pretty);
    case Kind::CommandFailed:
      return braced("CommandFailed",
                    {{"status", std::to_string(status_)}, {"stderr", sys::debug_quoted(text_)}},
                    pretty, 0);
    case Kind::Io:
      return tuple("Io", os_debug(os_, pretty), pretty);
    case Kind::Other:
      return tuple("Other", sys::debug_quoted(text_), pretty);
  }
  return {};
}

core::Error GitError::to_error() const {
  std::vector<std::string> causes;
  if (const auto cause = source()) {
    causes.push_back(cause->message());
  }
  return core::Error(message(), std::move(causes));
}

bool operator==(const GitError& a, const GitError& b) {
  return a.kind_ == b.kind_ && a.text_ == b.text_ && a.status_ == b.status_ &&
         a.os_.code == b.os_.code;
}

}  // namespace orvo::git
