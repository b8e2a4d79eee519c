#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <tl/expected.hpp>

namespace orvo::core {

// A 16-byte UUID value.
class Uuid {
 public:
  using Bytes = std::array<std::uint8_t, 16>;

  constexpr Uuid() = default;
  constexpr explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

  // A random version-4 UUID with the RFC 4122 variant. The entropy source failing is fatal:
  // throws FatalError("could not retrieve random bytes for uuid: {}").
  [[nodiscard]] static Uuid new_v4();

  // Parses the simple (32 digits), hyphenated, braced and "urn:uuid:" forms, digits in either
  // case. On refusal returns the fault's description, e.g. "invalid group count: expected 5,
  // found 4".
  [[nodiscard]] static tl::expected<Uuid, std::string> parse(std::string_view text);

  // The 36-character hyphenated lower-case form.
  [[nodiscard]] std::string to_string() const;

  [[nodiscard]] const Bytes& bytes() const { return bytes_; }
  friend bool operator==(const Uuid&, const Uuid&) = default;

 private:
  Bytes bytes_{};
};

// The identity of one project.
class ProjectId {
 public:
  constexpr ProjectId() = default;
  constexpr explicit ProjectId(Uuid uuid) : uuid_(uuid) {}

  // A fresh random identifier (same failure as Uuid::new_v4).
  [[nodiscard]] static ProjectId create() { return ProjectId(Uuid::new_v4()); }

  [[nodiscard]] const Uuid& uuid() const { return uuid_; }
  [[nodiscard]] std::string to_string() const { return uuid_.to_string(); }
  friend bool operator==(const ProjectId&, const ProjectId&) = default;

 private:
  Uuid uuid_;
};

}  // namespace orvo::core

template <>
struct std::hash<orvo::core::Uuid> {
  std::size_t operator()(const orvo::core::Uuid& id) const noexcept;
};

template <>
struct std::hash<orvo::core::ProjectId> {
  std::size_t operator()(const orvo::core::ProjectId& id) const noexcept {
    return std::hash<orvo::core::Uuid>{}(id.uuid());
  }
};
