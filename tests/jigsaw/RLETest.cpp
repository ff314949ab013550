#include "jigsaw/uRLE.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> WordsToBytes(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> bytes(words.size() * 4);
  if (!words.empty()) std::memcpy(bytes.data(), words.data(), bytes.size());
  return bytes;
}

std::vector<uint32_t> BytesToWords(const std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> words(bytes.size() / 4);
  if (!words.empty()) std::memcpy(words.data(), bytes.data(), words.size() * 4);
  return words;
}

} // namespace

TEST(RLETest, AllNonZeroPixelsCodeAsOneLiteralRun) {
  const int w = 7, h = 5;
  std::vector<uint32_t> pixels(w * h);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | static_cast<uint32_t>(i);
  const auto coded = kv::TRLE::Compress(WordsToBytes(pixels));
  ASSERT_EQ(coded.size(), 4u + 4u * w * h);
  EXPECT_EQ(BytesToWords(coded)[0], static_cast<uint32_t>(w * h));
}

TEST(RLETest, FullyTransparentImageCodesAsEightBytes) {
  const std::vector<uint32_t> pixels(1000, 0);
  const auto coded = kv::TRLE::Compress(WordsToBytes(pixels));
  EXPECT_EQ(BytesToWords(coded), (std::vector<uint32_t>{1000, 0}));
}

TEST(RLETest, RecordsFollowTheRunsAndRoundTrip) {
  // Transparent pixels with colour bits are literal; only all-zero words form zero runs.
  const std::vector<uint32_t> pixels{0, 0, 0x00FFFFFF, 5, 0, 0xFF000000u, 0, 0, 0};
  const auto coded = kv::TRLE::Compress(WordsToBytes(pixels));
  EXPECT_EQ(BytesToWords(coded), (std::vector<uint32_t>{2, 0, 2, 0x00FFFFFF, 5, 1, 0, 1, 0xFF000000u, 3, 0}));
  EXPECT_EQ(kv::TRLE::Decompress(coded, pixels.size() * 4), WordsToBytes(pixels));
  std::vector<uint32_t> decoded(pixels.size(), 0xDEADBEEF);
  EXPECT_EQ(kv::TRLE::Decode(coded, decoded), pixels.size());
  EXPECT_EQ(decoded, pixels);
}

TEST(RLETest, TrailingBytesAreKeptAfterTheRecords) {
  for (std::size_t tail = 0; tail < 4; ++tail) {
    std::vector<uint8_t> source = WordsToBytes({0, 0, 7});
    for (std::size_t i = 0; i < tail; ++i) source.push_back(static_cast<uint8_t>(0xA0 + i));
    kv::TRLE coder;
    coder.SetSource(source.data(), source.size());
    coder.Compress();
    ASSERT_EQ(coder.CodedLength(), 8u + 8u + tail) << tail;
    const std::vector<uint8_t> coded = coder.Data();
    EXPECT_TRUE(std::equal(coded.end() - tail, coded.end(), source.end() - tail));
    kv::TRLE decoder;
    decoder.SetCoded(coded.data(), source.size(), coded.size());
    decoder.Decompress();
    EXPECT_EQ(decoder.Data(), source) << tail;
  }
}

TEST(RLETest, HostileCodedDataNeverOverrunsEitherBuffer) {
  struct Case {
    const char* name;
    std::vector<uint8_t> coded;
    std::vector<uint32_t> expected; // first words of a 4-word destination
  };
  const std::vector<Case> cases{
      {"literal count past the coded data", WordsToBytes({100, 9, 8}), {9, 8, 0xEE, 0xEE}},
      {"zero run past the destination", WordsToBytes({0xFFFFFFFF, 0}), {0, 0, 0, 0}},
      {"literal past the destination", WordsToBytes({6, 1, 2, 3, 4, 5, 6}), {1, 2, 3, 4}},
      {"count of zero", WordsToBytes({0, 5, 1, 7}), {1, 7, 0xEE, 0xEE}},
      {"truncated record", {3, 0, 0, 0, 1, 0}, {0xEE, 0xEE, 0xEE, 0xEE}},
      {"empty", {}, {0xEE, 0xEE, 0xEE, 0xEE}},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> destination(4, 0xEE);
    kv::TRLE::Decode(c.coded, destination);
    EXPECT_EQ(destination, c.expected) << c.name;
    // Copy the coded bytes to an exact-size heap block so that a sanitizer sees any over-read.
    const std::vector<uint8_t> exact(c.coded);
    const auto bytes = kv::TRLE::Decompress(exact, 16 + 3);
    EXPECT_EQ(bytes.size(), 19u) << c.name;
  }
}

// The piece builder codes each image twice from one search for runs: as it is and read backwards. Both must
// equal the plain coder's output for the words in that order, across the four-word steps of the search.
TEST(RLETest, RunsWrittenForwardsAndBackwardsMatchThePlainCoder) {
  std::vector<std::vector<uint32_t>> cases = {
      {},
      {0},
      {7},
      {0, 0, 0, 0, 0, 0, 0, 0, 0},
      {1, 2, 3, 4, 5, 6, 7, 8, 9},
      {0, 1, 0, 2, 0, 0, 3, 3, 3, 3, 3, 0, 0, 0, 0, 0, 4},
      {0xFF000000u, 0, 0, 0, 0x00FFFFFFu, 0x00000001u, 0, 5, 5, 5, 5, 5, 5, 5, 0, 0},
  };
  // A piece-like row pattern: clear margins around an opaque body, of every length up to 40 words.
  for (uint32_t length = 1; length <= 40; ++length) {
    std::vector<uint32_t> words(length, 0);
    for (uint32_t i = length / 4; i < length - length / 3; ++i) words[i] = 0xFF000000u | i;
    cases.push_back(words);
  }
  for (const auto& words : cases) {
    kv::TRLE::TRuns runs;
    kv::TRLE::FindRuns(words, runs);
    std::vector<uint32_t> backwards(words.rbegin(), words.rend());
    for (bool reversed : {false, true}) {
      const std::vector<uint8_t> expected = kv::TRLE::Compress(WordsToBytes(reversed ? backwards : words));
      ASSERT_EQ(runs.CodedLength, expected.size()) << words.size() << " words";
      std::vector<uint8_t> coded(runs.CodedLength, 0xAB);
      kv::TRLE::WriteRuns(words, runs, reversed, coded.data());
      EXPECT_EQ(coded, expected) << words.size() << " words, reversed " << reversed;
    }
  }
}
