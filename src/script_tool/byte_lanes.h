#pragma once
// Sixteen bytes of a text tested or changed at once. The path rules and the
// target index look at every byte of every path of a script of 100,000
// lines, and a test per byte was most of their time.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Sixteen bytes as one value: ==, <, |, & and ^ act on every lane at once, a
// comparison giving 0 (false) or all bits set (true) in each lane. GCC's
// vector extension: SSE2 on x64; plain words where there are no vectors.
// Blocks go by reference only: passed by value they would change the calling
// convention between the x86 builds with and without SSE.
typedef unsigned char ByteBlock __attribute__((vector_size(16)));
inline constexpr std::size_t kBlockSize = sizeof(ByteBlock);

// A bit per lane of a comparison's result: lane k as bit k.
template <typename LaneTruths>
std::uint32_t LaneBits(const LaneTruths& truths) {
  static_assert(sizeof(LaneTruths) == kBlockSize, "sixteen lanes");
  std::uint64_t words[2];
  std::memcpy(words, &truths, sizeof words);
  // The multiplication gathers the high bit of each of eight lanes into the
  // top byte, the first lane lowest.
  const auto gathered = [](std::uint64_t word) {
    return static_cast<std::uint32_t>(((word & 0x8080808080808080ull) * 0x0002040810204081ull) >> 56);
  };
  return gathered(words[0]) | (gathered(words[1]) << 8);
}

// The lane of the lowest bit set in bits, which must not be 0.
inline std::size_t LowestLane(std::uint32_t bits) { return static_cast<std::size_t>(__builtin_ctz(bits)); }

// Calls visit(block, offset, fresh) until it returns true, over blocks that
// together hold text[from, end): lane k of block is text[offset + k], and
// fresh has bit k set for each lane of that range that no earlier block
// held. Blocks are whole where the text allows it: the last one ends at the
// end of the text and may overlap the one before; a text shorter than a
// block comes as one block, its lanes past the end 0.
template <typename Visitor>
void ForEachBlock(std::string_view text, std::size_t from, Visitor&& visit) {
  if (from >= text.size()) return;
  ByteBlock block{};
  if (text.size() < kBlockSize) {
    std::memcpy(&block, text.data(), text.size());
    visit(block, std::size_t{0}, ((1u << text.size()) - 1) & ~((1u << from) - 1));
    return;
  }
  std::size_t at = from;
  for (; at + kBlockSize <= text.size(); at += kBlockSize) {
    std::memcpy(&block, text.data() + at, kBlockSize);
    if (visit(block, at, 0xFFFFu)) return;
  }
  if (at < text.size()) {
    const std::size_t last = text.size() - kBlockSize;
    std::memcpy(&block, text.data() + last, kBlockSize);
    visit(block, last, 0xFFFFu & ~((1u << (at - last)) - 1));
  }
}
