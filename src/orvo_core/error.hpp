#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <tl/expected.hpp>

namespace orvo::core {

// The general error value: a message and the chain of its causes, outermost first.
class Error {
 public:
  explicit Error(std::string message, std::vector<std::string> causes = {})
      : message_(std::move(message)), causes_(std::move(causes)) {}

  [[nodiscard]] const std::string& message() const { return message_; }
  [[nodiscard]] const std::vector<std::string>& causes() const { return causes_; }

  // A new error whose message is `text` and whose causes are this error's message and causes.
  [[nodiscard]] Error context(std::string text) const;

  // The message, then "\n\nCaused by:" and one line per cause: indented by four spaces when there
  // is one cause, numbered from 0 in five right-aligned columns when there are several.
  [[nodiscard]] std::string report() const;

 private:
  std::string message_;
  std::vector<std::string> causes_;
};

template <class T>
using Result = tl::expected<T, Error>;

// Shorthand for returning a failure from a function that returns `Result`.
[[nodiscard]] inline tl::unexpected<Error> fail(std::string message,
                                                std::vector<std::string> causes = {}) {
  return tl::unexpected(Error(std::move(message), std::move(causes)));
}

// A broken invariant that cannot be reported as a value (the entropy source failing): it ends
// the process through the entry point's last-resort handler.
class FatalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace orvo::core
