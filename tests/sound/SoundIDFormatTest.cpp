#include "core/uKVErrors.h"
#include "sound/usound_id_fmt.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kv;
using kvtest::Bytes;

TEST(SoundIDFormatAssoc, WritesTaggedPairsAndAnEnd) {
  TSoundIDFormatAssoc table;
  table.Add(256, 2);
  table.Add(-1, 4);
  TMemoryStream stream;
  table.SaveToStream(stream);
  const auto expected = Bytes()
                            .i32(44449)
                            .i32(8)
                            .i32(256)
                            .u8(2)
                            .raw({0, 0, 0})
                            .i32(44449)
                            .i32(8)
                            .i32(-1)
                            .u8(4)
                            .raw({0, 0, 0})
                            .i32(44448)
                            .i32(0)
                            .data();
  EXPECT_EQ(stream.Bytes(), expected);

  TSoundIDFormatAssoc empty;
  TMemoryStream end;
  empty.SaveToStream(end);
  EXPECT_EQ(end.Bytes(), Bytes().i32(44448).i32(0).data());
}

TEST(SoundIDFormatAssoc, ReadsFromTheStartSkippingOtherTagsAndPadding) {
  auto stream = Bytes()
                    .i32(44449)
                    .i32(8)
                    .i32(7)
                    .u8(1)
                    .raw({9, 9, 9})
                    .i32(12345)
                    .i32(3)
                    .raw({1, 2, 3})
                    .i32(44449)
                    .i32(5)
                    .i32(8)
                    .u8(3)
                    .i32(44449)
                    .i32(12)
                    .i32(7)
                    .u8(2)
                    .raw({0, 0, 0, 0, 0, 0, 0})
                    .i32(44448)
                    .i32(0)
                    .i32(44449)
                    .i32(8)
                    .i32(99)
                    .u8(4)
                    .raw({0, 0, 0}) // after the end: not read
                    .stream();
  stream.SetPosition(20);
  TSoundIDFormatAssoc table;
  table.Add(1000, 1); // reading clears
  table.LoadFromStream(stream);
  ASSERT_EQ(table.Items.size(), 3u);
  EXPECT_EQ(table.FormatOf(7), 1); // the first pair of an id
  EXPECT_EQ(table.FormatOf(8), 3);
  EXPECT_EQ(table.FormatOf(99), 0);
  EXPECT_EQ(table.FormatOf(1000), 0);

  TMemoryStream again;
  table.SaveToStream(again);
  TSoundIDFormatAssoc copy;
  copy.LoadFromStream(again);
  ASSERT_EQ(copy.Items.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(copy.Items[i].SoundID, table.Items[i].SoundID);
    EXPECT_EQ(copy.Items[i].Format, table.Items[i].Format);
  }
}

TEST(SoundIDFormatAssoc, BrokenTablesAreReadErrors) {
  const struct {
    const char* Name;
    std::vector<uint8_t> Data;
  } cases[] = {
      {"empty", {}},
      {"no end", Bytes().i32(44449).i32(8).i32(1).u8(1).raw({0, 0, 0}).data()},
      {"tag without size", Bytes().i32(44449).data()},
      {"negative size", Bytes().i32(1).i32(-4).i32(44448).i32(0).data()},
      {"size beyond the stream", Bytes().i32(1).i32(0x7FFFFFFF).i32(44448).i32(0).data()},
      {"pair too short", Bytes().i32(44449).i32(4).i32(1).i32(44448).i32(0).data()},
      {"pair cut short", Bytes().i32(44449).i32(8).i32(1).u8(1).data()},
  };
  for (const auto& c : cases) {
    TMemoryStream stream(c.Data);
    TSoundIDFormatAssoc table;
    EXPECT_THROW(table.LoadFromStream(stream), EReadError) << c.Name;
  }
}
