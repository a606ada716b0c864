#pragma once
// Sums of 32-bit values that come from other plug-ins and the player, which
// may hold anything: they wrap as the host's 32-bit arithmetic does, where
// signed overflow would be undefined.

#include <cstdint>

namespace quillet {

constexpr std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
constexpr std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace quillet
