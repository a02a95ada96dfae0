#pragma once
// Eight bytes of a text in one 64-bit word, tested or changed all at once:
// the path rules look at every byte of every path of a script of 100,000
// lines, and a call or a branch per byte was most of their time.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

inline constexpr std::uint64_t kEachLane = 0x0101010101010101ull;
inline constexpr std::uint64_t kLaneHighBits = 0x8080808080808080ull;

// The eight bytes of text from index on, in memory order (the first in the
// lowest lane); past the end of text the lanes hold 0.
inline std::uint64_t LoadLanes(std::string_view text, std::size_t index) {
  std::uint64_t lanes = 0;
  if (index + 8 <= text.size()) {
    std::memcpy(&lanes, text.data() + index, 8);
  } else if (index < text.size()) {
    std::memcpy(&lanes, text.data() + index, text.size() - index);
  }
  return lanes;
}

// The high bit (0x80) of each lane that holds 0, and no other bit. Each
// lane's low seven bits plus 0x7F sets its high bit unless they are all 0,
// and no lane carries into the next.
inline std::uint64_t ZeroLanes(std::uint64_t lanes) {
  return ~(((lanes & ~kLaneHighBits) + ~kLaneHighBits) | lanes) & kLaneHighBits;
}

// The high bit of each lane that holds byte.
inline std::uint64_t LanesEqualTo(std::uint64_t lanes, char byte) {
  return ZeroLanes(lanes ^ (kEachLane * static_cast<unsigned char>(byte)));
}

// The high bit of each lane that holds a byte below bound (at most 0x80).
inline std::uint64_t LanesBelow(std::uint64_t lanes, unsigned char bound) {
  const std::uint64_t atLeastBound = (lanes & ~kLaneHighBits) + kEachLane * (0x80 - bound);
  return ~(atLeastBound | lanes) & kLaneHighBits;
}

// The index within its word of the first lane that ZeroLanes or
// LanesEqualTo marked; bits must not be 0.
inline std::size_t FirstMarkedLane(std::uint64_t bits) {
  return static_cast<std::size_t>(__builtin_ctzll(bits)) / 8;
}
