// Little-endian integers in byte buffers: every own format and every picture header the data layer looks
// into stores them so. The caller checks that the bytes are there.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace kv {

template <std::integral T> constexpr T LoadLE(const uint8_t* bytes) {
  using U = std::make_unsigned_t<T>;
  U u = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<U>(bytes[i]) << (8 * i));
  return static_cast<T>(u);
}

template <std::integral T> constexpr void StoreLE(T value, uint8_t* bytes) {
  using U = std::make_unsigned_t<T>;
  const auto u = static_cast<U>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(u >> (8 * i));
}

} // namespace kv
