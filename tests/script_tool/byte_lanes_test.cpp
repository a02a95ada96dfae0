#include "script_tool/byte_lanes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every byte of the range comes as a fresh lane exactly once, holding that
// byte, whatever the text's length about the block size and wherever the
// range starts.
TEST(ForEachBlock, HandsOverEachByteOfTheRangeOnce) {
  for (std::size_t size = 0; size <= 3 * kBlockSize + 1; ++size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
    for (std::size_t from = 0; from <= size; ++from) {
      std::vector<int> seen(size, 0);
      ForEachBlock(text, from, [&](const ByteBlock& block, std::size_t offset, std::uint32_t fresh) {
        for (std::size_t lane = 0; lane < kBlockSize; ++lane) {
          if ((fresh >> lane & 1) == 0) continue;
          EXPECT_LT(offset + lane, size);
          if (offset + lane >= size) continue;
          ++seen[offset + lane];
          EXPECT_EQ(block[lane], static_cast<unsigned char>(text[offset + lane]));
        }
        return false;
      });
      for (std::size_t i = 0; i < size; ++i) {
        EXPECT_EQ(seen[i], i >= from ? 1 : 0) << "size " << size << ", from " << from << ", byte " << i;
      }
    }
  }
}

TEST(ForEachBlock, StopsWhenAsked) {
  int blocks = 0;
  ForEachBlock(std::string(100, 'x'), 0, [&](const ByteBlock&, std::size_t, std::uint32_t) {
    ++blocks;
    return true;
  });
  EXPECT_EQ(blocks, 1);
}

TEST(LaneBits, ABitPerLaneInLaneOrder) {
  const std::string text = "a\\b/\x80\xFF" "cdefghi\\jk";
  ByteBlock block;
  std::memcpy(&block, text.data(), kBlockSize);
  EXPECT_EQ(LaneBits((block == '\\') | (block == '/')), 0b0010000000001010u);
  EXPECT_EQ(LaneBits(block >= 0x80), 0b110000u);
  EXPECT_EQ(LaneBits(block == 'k'), 0b1000000000000000u);
}

}  // namespace
