#pragma once

#include <type_traits>

namespace orvo::ui {

// Set to true for an enumeration whose values are bits (`1u << n`) and combinations of them, to
// give it the bit-set operators below.
template <class E>
inline constexpr bool kIsFlagSet = false;

template <class E>
concept FlagSet = std::is_enum_v<E> && kIsFlagSet<E>;

template <FlagSet E>
constexpr E operator|(E a, E b) {
  using Bits = std::underlying_type_t<E>;
  return static_cast<E>(static_cast<Bits>(a) | static_cast<Bits>(b));
}

template <FlagSet E>
constexpr E operator&(E a, E b) {
  using Bits = std::underlying_type_t<E>;
  return static_cast<E>(static_cast<Bits>(a) & static_cast<Bits>(b));
}

template <FlagSet E>
constexpr E operator~(E a) {
  using Bits = std::underlying_type_t<E>;
  return static_cast<E>(static_cast<Bits>(~static_cast<Bits>(a)));
}

// Whether every flag of `wanted` is set in `held`.
template <FlagSet E>
constexpr bool contains(E held, E wanted) {
  return (held & wanted) == wanted;
}

}  // namespace orvo::ui
