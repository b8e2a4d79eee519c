#include "orvo_core/error.hpp"

#include <fmt/format.h>

namespace orvo::core {
namespace {

void append_indented(std::string& out, const std::string& text, std::string_view indent) {
  for (char c : text) {
    out += c;
    if (c == '\n') {
      out += indent;
    }
  }
}

}  // namespace

Error Error::context(std::string text) const {
  std::vector<std::string> causes;
  causes.reserve(causes_.size() + 1);
  causes.push_back(message_);
  causes.insert(causes.end(), causes_.begin(), causes_.end());
  return Error(std::move(text), std::move(causes));
}

std::string Error::report() const {
  std::string out = message_;
  if (causes_.empty()) {
    return out;
  }
  out += "\n\nCaused by:";
  if (causes_.size() == 1) {
    out += "\n    ";
    append_indented(out, causes_.front(), "    ");
    return out;
  }
  for (std::size_t i = 0; i < causes_.size(); ++i) {
    out += fmt::format("\n{:>5}: ", i);
    append_indented(out, causes_[i], "       ");
  }
  return out;
}

}  // namespace orvo::core
