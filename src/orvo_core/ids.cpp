#include "orvo_core/ids.hpp"

#include <fmt/format.h>

#include <cstring>
#include <optional>

#include "orvo_core/error.hpp"
#include "orvo_sys/entropy.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::core {
namespace {

constexpr std::string_view kUrnPrefix = "urn:uuid:";
constexpr std::array<std::size_t, 5> kGroupLengths = {8, 4, 4, 4, 12};

// Reads 32 hex digits, skipping hyphens at the hyphenated form's places when `hyphenated`.
std::optional<Uuid> read_digits(std::string_view text, bool hyphenated) {
  Uuid::Bytes bytes{};
  std::size_t digit = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (hyphenated && (i == 8 || i == 13 || i == 18 || i == 23)) {
      if (text[i] != '-')
        return std::nullopt;
      continue;
    }
    const int v = sys::hex_digit_value(text[i]);
    if (v < 0 || digit >= 32)
      return std::nullopt;
    bytes[digit / 2] = static_cast<std::uint8_t>(bytes[digit / 2] | (digit % 2 ? v : v << 4));
    ++digit;
  }
  if (digit != 32)
    return std::nullopt;
  return Uuid(bytes);
}

// The text between the wrappers of a 38-character braced or 45-character URN form, else the
// whole text.
std::string_view unwrap_exact(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
    return text.substr(1, 36);
  }
  if (text.size() == 45 && text.starts_with(kUrnPrefix)) {
    return text.substr(kUrnPrefix.size());
  }
  return text;
}

// Describes why `input` is not a UUID, in the parse library's words: a braced or "urn:uuid:"
// wrapper is looked through, and positions count from 1 in the original text.
std::string diagnose(std::string_view input) {
  std::string_view inner = input;
  std::size_t offset = 0;
  bool simple = false;
  if (input.size() >= 2 && input.front() == '{' && input.back() == '}') {
    inner = input.substr(1, input.size() - 2);
    offset = 1;
  } else if (input.starts_with(kUrnPrefix)) {
    inner = input.substr(kUrnPrefix.size());
    offset = kUrnPrefix.size();
  } else {
    simple = true;
  }

  std::size_t hyphens = 0;
  for (std::size_t i = 0; i < inner.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(inner[i]);
    if (c >= 0x80) {
      const std::size_t length = sys::decode_utf8(inner.substr(i)).length;
      return fmt::format("invalid character: found `{}` at {}", inner.substr(i, length),
                         i + offset + 1);
    }
    if (c == '-') {
      ++hyphens;
    } else if (sys::hex_digit_value(static_cast<char>(c)) < 0) {
      return fmt::format("invalid character: found `{}` at {}", static_cast<char>(c),
                         i + offset + 1);
    }
  }
  if (simple && hyphens == 0) {
    return fmt::format("invalid length: found {}", input.size());
  }
  if (hyphens != 4) {
    return fmt::format("invalid group count: expected 5, found {}", hyphens + 1);
  }
  std::size_t start = 0;
  for (std::size_t group = 0; group < 4; ++group) {
    const std::size_t end = inner.find('-', start);
    if (end - start != kGroupLengths[group]) {
      return fmt::format("invalid group length in group {}: expected {}, found {}", group,
                         kGroupLengths[group], end - start);
    }
    start = end + 1;
  }
  return fmt::format("invalid group length in group 4: expected 12, found {}", input.size() - 24);
}

}  // namespace

Uuid Uuid::new_v4() {
  Bytes bytes{};
  if (auto filled = sys::fill_random(bytes); !filled) {
    throw FatalError("could not retrieve random bytes for uuid: " + filled.error().message());
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  return Uuid(bytes);
}

tl::expected<Uuid, std::string> Uuid::parse(std::string_view text) {
  // A text of one of the accepted lengths is diagnosed without its wrapper, as the parse
  // library does.
  std::string_view diagnosed = text;
  std::optional<Uuid> parsed;
  if (text.size() == 32) {
    parsed = read_digits(text, false);
  } else if (const std::string_view inner = unwrap_exact(text); inner.size() == 36) {
    parsed = read_digits(inner, true);
    diagnosed = inner;
  }
  if (parsed) {
    return *parsed;
  }
  return tl::unexpected(diagnose(diagnosed));
}

std::string Uuid::to_string() const {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(36);
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      out += '-';
    out += kDigits[bytes_[i] >> 4];
    out += kDigits[bytes_[i] & 0x0F];
  }
  return out;
}

}  // namespace orvo::core

std::size_t std::hash<orvo::core::Uuid>::operator()(const orvo::core::Uuid& id) const noexcept {
  std::uint64_t lo = 0;
  std::uint64_t hi = 0;
  std::memcpy(&lo, id.bytes().data(), 8);
  std::memcpy(&hi, id.bytes().data() + 8, 8);
  return static_cast<std::size_t>(lo ^ (hi * 0x9E3779B97F4A7C15ULL));
}
