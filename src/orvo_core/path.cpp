#include "orvo_core/path.hpp"

#include <string_view>
#include <vector>

#include "orvo_sys/text.hpp"

namespace orvo::core {
namespace {

// The components of a Unix path: "/" for the root, then each name; empty names and "." are
// dropped, except a "." that begins a relative path.
std::vector<std::string_view> components(std::string_view p) {
  std::vector<std::string_view> out;
  if (p.starts_with('/')) {
    out.push_back("/");
  } else if (p == "." || p.starts_with("./")) {
    out.push_back(".");
  }
  const std::vector<std::string_view> names = sys::path_names(p);
  out.insert(out.end(), names.begin(), names.end());
  return out;
}

}  // namespace

bool same_path(const std::filesystem::path& a, const std::filesystem::path& b) {
  return components(a.native()) == components(b.native());
}

std::optional<std::string_view> file_name(const std::filesystem::path& path) {
  const std::vector<std::string_view> parts = components(path.native());
  if (parts.empty() || parts.back() == "/" || parts.back() == "." || parts.back() == "..") {
    return std::nullopt;
  }
  return parts.back();
}

std::optional<std::string_view> utf8_file_name(const std::filesystem::path& path) {
  const std::optional<std::string_view> name = file_name(path);
  if (!name || !sys::is_valid_utf8(*name)) {
    return std::nullopt;
  }
  return name;
}

std::string display(const std::filesystem::path& path) {
  return sys::lossy_utf8(path.native());
}

}  // namespace orvo::core
