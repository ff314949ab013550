#include "data/uLittleEndian.h"

#include <array>
#include <gtest/gtest.h>

using namespace kv;

TEST(LittleEndian, LoadsTheLowByteFirstWithTheSignOfTheType) {
  const std::array<uint8_t, 6> bytes{0x00, 0xFE, 0xFF, 0xFF, 0x80, 0x7F};
  EXPECT_EQ(LoadLE<uint8_t>(bytes.data() + 1), 0xFE);
  EXPECT_EQ(LoadLE<uint16_t>(bytes.data() + 1), 0xFFFE);
  EXPECT_EQ(LoadLE<int16_t>(bytes.data() + 1), -2);
  EXPECT_EQ(LoadLE<int16_t>(bytes.data() + 3), static_cast<int16_t>(0x80FF));
  EXPECT_EQ(LoadLE<uint32_t>(bytes.data() + 1), 0x80FFFFFEu);
  EXPECT_EQ(LoadLE<int32_t>(bytes.data() + 1), static_cast<int32_t>(0x80FFFFFEu));
  EXPECT_EQ(LoadLE<int32_t>(bytes.data() + 2), 0x7F80FFFF);
  EXPECT_EQ(LoadLE<uint32_t>(bytes.data()), 0xFFFFFE00u);
}

TEST(LittleEndian, StoresWhatItLoads) {
  struct Case {
    int64_t Value;
    std::array<uint8_t, 8> Bytes;
  };
  const Case cases[] = {
      {0, {}},
      {1, {1}},
      {-1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {0x0102030405060708, {8, 7, 6, 5, 4, 3, 2, 1}},
      {INT64_MIN, {0, 0, 0, 0, 0, 0, 0, 0x80}},
  };
  for (const Case& c : cases) {
    std::array<uint8_t, 8> out{};
    StoreLE<int64_t>(c.Value, out.data());
    EXPECT_EQ(out, c.Bytes) << c.Value;
    EXPECT_EQ(LoadLE<int64_t>(out.data()), c.Value);

    std::array<uint8_t, 5> narrow{0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    StoreLE<int32_t>(static_cast<int32_t>(c.Value), narrow.data());
    // Only the four bytes of the value are written.
    EXPECT_EQ(narrow[4], 0xAA);
    EXPECT_TRUE(std::equal(narrow.begin(), narrow.begin() + 4, c.Bytes.begin())) << c.Value;
    EXPECT_EQ(LoadLE<int32_t>(narrow.data()), static_cast<int32_t>(c.Value));
  }
}

static_assert(LoadLE<uint16_t>(std::array<uint8_t, 2>{0x34, 0x12}.data()) == 0x1234);
