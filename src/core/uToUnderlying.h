// The number behind a scoped enumeration, for the places where it leaves the program's types: a message, a
// sound id, a text.
#pragma once

#include <type_traits>

namespace kv {

template <class E>
requires std::is_enum_v<E>
constexpr std::underlying_type_t<E> ToUnderlying(E value) {
  return static_cast<std::underlying_type_t<E>>(value);
}

} // namespace kv
