#include "orvo_runtime/window_messages.hpp"

#include <algorithm>
#include <utility>

#include "orvo_sys/child_stderr.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::runtime {

void LastLine::feed(std::string_view bytes) {
  for (std::size_t newline = bytes.find('\n'); newline != std::string_view::npos;
       newline = bytes.find('\n')) {
    partial_.append(bytes.substr(0, std::min(newline, kMaxLineBytes - partial_.size())));
    complete_line();
    bytes.remove_prefix(newline + 1);
  }
  partial_.append(bytes.substr(0, std::min(bytes.size(), kMaxLineBytes - partial_.size())));
}

void LastLine::finish() {
  complete_line();
}

std::optional<std::string> LastLine::take() {
  return std::exchange(last_, std::nullopt);
}

void LastLine::complete_line() {
  std::string line = sys::lossy_utf8(partial_);
  partial_.clear();
  const std::string_view text = sys::trim_white_space(line);
  if (!text.empty()) {
    last_ = std::string(text);
  }
}

void WindowMessages::watch(sys::UniqueFd err) {
  sources_.push_back(Source{std::move(err), LastLine{}});
}

std::optional<std::string> WindowMessages::take() {
  std::optional<std::string> latest;
  std::string bytes;
  for (Source& source : sources_) {
    bytes.clear();
    const auto end = sys::read_available(source.fd.get(), bytes, kReadLimit);
    source.lines.feed(bytes);
    if (!end || *end == sys::PipeEnd::Ended) {
      source.lines.finish();
      source.fd.reset();
    }
    if (auto line = source.lines.take()) {
      latest = std::move(line);
    }
  }
  std::erase_if(sources_, [](const Source& source) { return source.fd.get() < 0; });
  return latest;
}

}  // namespace orvo::runtime
