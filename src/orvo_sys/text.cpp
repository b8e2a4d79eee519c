#include "orvo_sys/text.hpp"

#include <cstddef>
#include <cstdint>

namespace orvo::sys {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at `i`, or 0 when it is invalid. `*valid_prefix`
// receives how many bytes form the longest prefix of a valid sequence: those bytes are
// replaced together by one U+FFFD (at least one byte is always consumed).
std::size_t sequence_length(std::string_view s, std::size_t i, std::size_t* valid_prefix) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
  const std::uint8_t lead = byte(i);
  *valid_prefix = 1;
  if (lead < 0x80) {
    return 1;
  }
  std::size_t need = 0;
  std::uint8_t lo = 0x80;
  std::uint8_t hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  for (std::size_t k = 1; k <= need; ++k) {
    if (i + k >= s.size()) {
      return 0;
    }
    const std::uint8_t b = byte(i + k);
    const std::uint8_t min = k == 1 ? lo : 0x80;
    const std::uint8_t max = k == 1 ? hi : 0xBF;
    if (b < min || b > max) {
      return 0;
    }
    *valid_prefix = k + 1;
  }
  return need + 1;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
  std::size_t prefix = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = sequence_length(bytes, i, &prefix);
    if (n == 0) {
      return false;
    }
    i += n;
  }
  return true;
}

std::string lossy_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t prefix = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = sequence_length(bytes, i, &prefix);
    if (n == 0) {
      out += kReplacement;
      i += prefix;
    } else {
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
  return out;
}

}  // namespace orvo::sys
