#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <tl/expected.hpp>

#include "orvo_core/model.hpp"

namespace orvo::store {

// The document of the state file: the registered projects in the order they were added, and the
// preferences. Field order is the file's key order.
struct StoreData {
  std::vector<core::Project> projects;
  core::AppPrefs prefs;
};

// A refusal of the state-file reader or writer: its message and, for the reader, the line
// (counted from 1) and the byte column where reading stopped; line 0 means no position.
class JsonError {
 public:
  explicit JsonError(std::string message, std::size_t line = 0, std::size_t column = 0)
      : message_(std::move(message)), line_(line), column_(column) {}

  [[nodiscard]] const std::string& bare_message() const { return message_; }
  [[nodiscard]] std::size_t line() const { return line_; }
  [[nodiscard]] std::size_t column() const { return column_; }

  // "{message} at line {line} column {column}", or the bare message when there is no position.
  [[nodiscard]] std::string message() const;

  // `Error("{message}", line: {line}, column: {column})` with the message quoted and escaped.
  [[nodiscard]] std::string debug() const;

 private:
  std::string message_;
  std::size_t line_;
  std::size_t column_;
};

// The state file's text for `data`: pretty JSON with two-space indentation, every key written,
// no final line break. Fails with "path contains invalid UTF-8 characters" when a `main_path`
// is not UTF-8 (and "text contains invalid UTF-8 characters" for any other text that is not).
[[nodiscard]] tl::expected<std::string, JsonError> write_state(const StoreData& data);

// Parses the state file's text. Accepts each record as an object (members in any order,
// unknown keys skipped, optional keys missing or null) or as an array of its values; refuses
// everything else with the JSON reader's message and the position where it stopped.
[[nodiscard]] tl::expected<StoreData, JsonError> read_state(std::string_view text);

}  // namespace orvo::store
