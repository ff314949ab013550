// Theme pictures cut into parts by their split type, found by name, and read from theme streams, hostile
// ones included.
#include "gui/ThemeFixtures.h"
#include "gui/uKVThemeBitmaps.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kv::TBitmap32;
using kv::TKVThemeBitmapCollection;
using kv::TKVThemeBitmapItem;
using kv::TRect;
using kvtest::Distinct;
using kvtest::ThemeItemLayout;

// The pixels of rect r of picture, row by row.
std::vector<kv::TColor32> PixelsOf(const TBitmap32& picture, const TRect& r) {
  std::vector<kv::TColor32> pixels;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) pixels.push_back(picture.PixelAt(x, y));
  return pixels;
}

std::vector<kv::TColor32> PixelsOf(const TBitmap32& part) {
  return PixelsOf(part, part.BoundsRect());
}

// Each part of an item is the given rectangle of its picture (an empty rectangle: an empty part).
void ExpectParts(const TKVThemeBitmapItem& item, const std::vector<TRect>& rects, const TBitmap32& source) {
  ASSERT_EQ(item.Parts().size(), rects.size());
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const TBitmap32& part = item.Parts()[i];
    SCOPED_TRACE("part " + std::to_string(i));
    EXPECT_EQ(part.DrawMode(), kv::dmBlend);
    if (rects[i].IsEmpty()) {
      EXPECT_TRUE(part.Empty());
      continue;
    }
    EXPECT_EQ(part.Width(), rects[i].Width());
    EXPECT_EQ(part.Height(), rects[i].Height());
    EXPECT_EQ(PixelsOf(part), PixelsOf(source, rects[i]));
  }
}

struct TSplitCase {
  const char* Name;
  ThemeItemLayout Layout;
  int32_t SplitCount;
  std::vector<TRect> Parts;
};

TEST(ThemeSplit, EachSplitTypeCutsItsRectangles) {
  const TRect none{};
  const std::vector<TSplitCase> cases = {
      {"horizontal three-slice",
       {"h", kv::stHorizontal3, Distinct(20, 10), 3, 2, 5, 1},
       1,
       {{0, 2, 3, 9}, {3, 2, 15, 9}, {15, 2, 20, 9}}},
      {"horizontal, left cap only",
       {"h", kv::stHorizontal3, Distinct(20, 10), 3, 0, 0, 0},
       1,
       {{0, 0, 3, 10}, {3, 0, 20, 10}, none}},
      {"horizontal without caps cuts nothing",
       {"h", kv::stHorizontal3, Distinct(20, 10)},
       1,
       {none, none, none}},
      {"horizontal states share the rectangle",
       {"h", kv::stHorizontal3, Distinct(20, 10), 3, 0, 5, 0},
       2,
       {{0, 0, 3, 10}, {3, 0, 15, 10}, {15, 0, 20, 10}, {0, 0, 3, 10}, {3, 0, 15, 10}, {15, 0, 20, 10}}},
      {"vertical three-slice",
       {"v", kv::stVertical3, Distinct(6, 20), 0, 4, 0, 3},
       1,
       {{0, 0, 6, 4}, {0, 4, 6, 17}, {0, 17, 6, 20}}},
      {"vertical, bottom cap only",
       {"v", kv::stVertical3, Distinct(6, 20), 0, 0, 0, 3},
       1,
       {none, {0, 0, 6, 17}, {0, 17, 6, 20}}},
      {"vertical with a left offset takes the columns from it",
       {"v", kv::stVertical3, Distinct(6, 20), 2, 4, 0, 3},
       1,
       {{2, 0, 6, 4}, {2, 4, 6, 17}, {2, 17, 6, 20}}},
      {"vertical cuts only its first state",
       {"v", kv::stVertical3, Distinct(6, 20), 0, 4, 0, 3},
       2,
       {{0, 0, 6, 4}, {0, 4, 6, 17}, {0, 17, 6, 20}, none, none, none}},
      {"single", {"s", kv::stSingle, Distinct(7, 5)}, 1, {{0, 0, 7, 5}}},
      {"grid of 13 with three cells",
       {"g", kv::stGrid13, Distinct(12, 5), 0, 0, 0, 0, 4, 5},
       1,
       {{0, 0, 4, 5},
        {4, 0, 8, 5},
        {8, 0, 12, 5},
        none,
        none,
        none,
        none,
        none,
        none,
        none,
        none,
        none,
        none}},
      {"grid rows left to right, remainders dropped",
       {"g", kv::stGrid13, Distinct(9, 9), 0, 0, 0, 0, 4, 4},
       1,
       {{0, 0, 4, 4},
        {4, 0, 8, 4},
        {0, 4, 4, 8},
        {4, 4, 8, 8},
        none,
        none,
        none,
        none,
        none,
        none,
        none,
        none,
        none}},
      {"grid of cells wider than the picture",
       {"g", kv::stGrid13, Distinct(3, 3), 0, 0, 0, 0, 4, 4},
       1,
       std::vector<TRect>(13)},
      {"grid of zero width",
       {"g", kv::stGrid13, Distinct(3, 3), 0, 0, 0, 0, 0, 4},
       1,
       std::vector<TRect>(13)},
      {"unknown split type", {"x", 6, Distinct(3, 3)}, 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TKVThemeBitmapCollection theme;
    TKVThemeBitmapItem& item = kvtest::AddThemeItem(theme, c.Layout);
    item.SplitCount = c.SplitCount;
    item.Split();
    ExpectParts(item, c.Parts, c.Layout.Picture);
  }
}

TEST(ThemeSplit, NineSliceOfBorderFourFromFortyByThirty) {
  TKVThemeBitmapCollection theme;
  TKVThemeBitmapItem& item = kvtest::AddThemeItem(theme, {"b", kv::stNineSlice, Distinct(40, 30)});
  item.Border = 4;
  item.Split();
  const std::vector<TRect> rects = {{0, 0, 4, 4},    {4, 0, 36, 4},  {36, 0, 40, 4},  {0, 4, 4, 26},
                                    {0, 4, 4, 26},   {0, 4, 4, 26},  {36, 4, 40, 26}, {36, 4, 40, 26},
                                    {36, 4, 40, 26}, {0, 26, 4, 30}, {4, 26, 36, 30}, {36, 26, 40, 30},
                                    {4, 4, 36, 26}};
  ExpectParts(item, rects, item.Bitmap());
  // Corners 4 x 4, top and bottom edges 32 x 4, sides 4 x 22, centre 32 x 22.
  EXPECT_EQ(item.Part(1).Width(), 32);
  EXPECT_EQ(item.Part(4).Height(), 22);
  EXPECT_EQ(item.Part(12).Width(), 32);
  EXPECT_EQ(item.Part(12).Height(), 22);
}

TEST(ThemeSplit, NineSliceStatesLieSideBySide) {
  TKVThemeBitmapCollection theme;
  const TBitmap32 picture = Distinct(30, 8);
  TKVThemeBitmapItem& item =
      kvtest::AddThemeItem(theme, {"b", kv::stNineSlice, picture, 0, 0, 0, 0, 10, 8, 2});
  item.SplitCount = 3;
  item.Split();
  ASSERT_EQ(item.Parts().size(), 39u);
  for (int s = 0; s < 3; ++s) {
    SCOPED_TRACE(s);
    EXPECT_EQ(PixelsOf(item.Part(13 * s)), PixelsOf(picture, {10 * s, 0, 10 * s + 2, 2}));
    EXPECT_EQ(PixelsOf(item.Part(13 * s + 11)), PixelsOf(picture, {10 * s + 8, 6, 10 * s + 10, 8}));
    EXPECT_EQ(PixelsOf(item.Part(13 * s + 12)), PixelsOf(picture, {10 * s + 2, 2, 10 * s + 8, 6}));
  }
  EXPECT_THROW(item.Part(39), kv::EListError);
}

TEST(ThemeSplit, NineSliceKeysOutItsTransparentColour) {
  // Platform colour $000000FF is red: every pixel with red's RGB becomes 0, whatever its alpha.
  TBitmap32 picture = Distinct(6, 6);
  picture.SetPixel(0, 0, 0xFFFF0000u);
  picture.SetPixel(3, 3, 0x40FF0000u);
  picture.SetPixel(5, 5, 0xFFFE0000u);
  for (const bool keyed : {true, false}) {
    SCOPED_TRACE(keyed);
    TKVThemeBitmapCollection theme;
    TKVThemeBitmapItem& item =
        kvtest::AddThemeItem(theme, {"b", kv::stNineSlice, picture, 0, 0, 0, 0, -1, -1, 2});
    if (keyed) item.TransparentColor = 0x000000FF;
    item.Split();
    EXPECT_EQ(item.Part(0).PixelAt(0, 0), keyed ? 0u : 0xFFFF0000u);
    EXPECT_EQ(item.Part(12).PixelAt(1, 1), keyed ? 0u : 0x40FF0000u);
    EXPECT_EQ(item.Part(11).PixelAt(1, 1), 0xFFFE0000u);
    EXPECT_EQ(item.Part(12).PixelAt(0, 0), picture.PixelAt(2, 2));
    // The picture itself keeps its colours.
    EXPECT_EQ(item.Bitmap().PixelAt(0, 0), 0xFFFF0000u);
  }
  // Other split types do not key.
  TKVThemeBitmapCollection theme;
  TKVThemeBitmapItem& single = kvtest::AddThemeItem(theme, {"s", kv::stSingle, picture});
  single.TransparentColor = 0x000000FF;
  single.Split();
  EXPECT_EQ(single.Part(0).PixelAt(0, 0), 0xFFFF0000u);
}

TEST(ThemeSplit, RefusesGridsWithMoreCellsThanPartsAndPartsPastThePicture) {
  struct TFailure {
    const char* Name;
    ThemeItemLayout Layout;
    std::string Message;
  };
  const std::vector<TFailure> failures = {
      {"14 cells for 13 parts",
       {"g", kv::stGrid13, Distinct(14, 1), 0, 0, 0, 0, 1, 1},
       "List index out of bounds (13)"},
      {"26 cells for 25 parts",
       {"g", kv::stGrid25, Distinct(13, 2), 0, 0, 0, 0, 1, 1},
       "List index out of bounds (25)"},
      {"three-slice wider than its picture",
       {"h", kv::stHorizontal3, Distinct(10, 4), 2, 0, 2, 0, 11, 4},
       "Theme picture \"h\" is too small for its parts"},
      {"three-slice taller than its picture",
       {"v", kv::stVertical3, Distinct(4, 10), 0, 2, 0, 2, 4, 65535},
       "Theme picture \"v\" is too small for its parts"},
      {"nine-slice border past the picture",
       {"n", kv::stNineSlice, Distinct(6, 6), 0, 0, 0, 0, -1, -1, 7},
       "Theme picture \"n\" is too small for its parts"},
      {"nine-slice state past the picture",
       {"n", kv::stNineSlice, Distinct(6, 6), 0, 0, 0, 0, 7, 6, 1},
       "Theme picture \"n\" is too small for its parts"},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.Name);
    TKVThemeBitmapCollection theme;
    TKVThemeBitmapItem& item = kvtest::AddThemeItem(theme, f.Layout);
    try {
      item.Split();
      ADD_FAILURE() << "no error";
    } catch (const kv::Exception& e) {
      EXPECT_EQ(e.what(), f.Message);
    }
    EXPECT_FALSE(item.IsSplit());
    EXPECT_TRUE(item.Parts().empty());
  }
  // The largest grids that fit.
  TKVThemeBitmapCollection theme;
  TKVThemeBitmapItem& grid =
      kvtest::AddThemeItem(theme, {"g", kv::stGrid25, Distinct(5, 5), 0, 0, 0, 0, 1, 1});
  grid.Split();
  EXPECT_EQ(grid.Part(24).PixelAt(0, 0), grid.Bitmap().PixelAt(4, 4));
}

TEST(ThemeFind, NamesMatchWithoutCaseAndTheLaterItemWins) {
  TKVThemeBitmapCollection theme;
  kvtest::AddThemeItem(theme, {"Button", kv::stSingle, kvtest::Solid(2, 2, 0xFF0000FFu)});
  kvtest::AddThemeItem(theme, {"other", kv::stSingle, kvtest::Solid(2, 2, 0xFF00FF00u)});
  TKVThemeBitmapItem& later =
      kvtest::AddThemeItem(theme, {"BUTTON", kv::stSingle, kvtest::Solid(2, 2, 0xFFFF0000u)});
  // An item that gives no parts is passed over.
  kvtest::AddThemeItem(theme, {"button", 9, kvtest::Solid(2, 2, 0xFFFFFFFFu)});
  EXPECT_FALSE(later.IsSplit());
  for (const char* name : {"button", "BuTtOn", "BUTTON"}) EXPECT_EQ(theme.FindItem(name), &later) << name;
  EXPECT_TRUE(later.IsSplit());
  EXPECT_EQ(theme.FindItem("butto"), nullptr);
  EXPECT_EQ(theme.FindItem(""), nullptr);
  EXPECT_TRUE(theme.EmptyPart().Empty());
}

TEST(ThemeFind, AnItemIsCutOnlyOnce) {
  TKVThemeBitmapCollection theme;
  TKVThemeBitmapItem& item =
      kvtest::AddThemeItem(theme, {"s", kv::stSingle, kvtest::Solid(2, 2, 0xFF0000FFu)});
  ASSERT_EQ(theme.FindItem("s"), &item);
  item.Bitmap().Clear(0xFFFFFFFFu);
  EXPECT_EQ(theme.FindItem("s")->Part(0).PixelAt(0, 0), 0xFF0000FFu);
  item.ClearParts();
  EXPECT_EQ(theme.FindItem("s")->Part(0).PixelAt(0, 0), 0xFFFFFFFFu);
}

TEST(ThemeStream, ReadsEveryFieldAndCutsEachItem) {
  const std::vector<ThemeItemLayout> layouts = kvtest::SampleThemeLayouts();
  kv::TMemoryStream stream(kvtest::ThemeStreamBytes(layouts));
  TKVThemeBitmapCollection theme;
  theme.LoadThemeStream(stream);
  EXPECT_EQ(stream.Position(), stream.Size());
  ASSERT_EQ(theme.Count(), static_cast<int32_t>(layouts.size()));
  for (int32_t i = 0; i < theme.Count(); ++i) {
    const TKVThemeBitmapItem& item = theme.Item(i);
    const ThemeItemLayout& layout = layouts[static_cast<std::size_t>(i)];
    SCOPED_TRACE(layout.Name);
    EXPECT_EQ(item.SkinName, layout.Name);
    EXPECT_EQ(item.SplitType, layout.SplitType);
    EXPECT_EQ(item.Left, layout.Left);
    EXPECT_EQ(item.Top, layout.Top);
    EXPECT_EQ(item.Right, layout.Right);
    EXPECT_EQ(item.Bottom, layout.Bottom);
    EXPECT_EQ(item.Width, layout.Width < 0 ? layout.Picture.Width() : layout.Width);
    EXPECT_EQ(item.Height, layout.Height < 0 ? layout.Picture.Height() : layout.Height);
    EXPECT_EQ(item.Border, layout.Border);
    EXPECT_EQ(item.SplitCount, 1);
    EXPECT_EQ(item.TransparentColor, kv::clNone);
    EXPECT_EQ(item.Source(), "");
    EXPECT_EQ(PixelsOf(item.Bitmap()), PixelsOf(layout.Picture));
    EXPECT_TRUE(item.IsSplit());
    EXPECT_FALSE(item.Parts().empty());
  }
  // The writer gives the same bytes back.
  kv::TMemoryStream again;
  theme.SaveThemeStream(again);
  EXPECT_EQ(again.Bytes(), stream.Bytes());
}

TEST(ThemeStream, ZeroItemsLeaveTheThemeEmpty) {
  TKVThemeBitmapCollection theme;
  kvtest::AddThemeItem(theme, {"button", kv::stSingle, kvtest::Solid(2, 2, 0xFF0000FFu)});
  kv::TMemoryStream stream(std::vector<uint8_t>{0, 0});
  theme.LoadThemeStream(stream);
  EXPECT_EQ(theme.Count(), 0);
  EXPECT_EQ(theme.FindItem("button"), nullptr);
}

TEST(ThemeStream, ASourceFileThatExistsReplacesTheStoredPicture) {
  kvtest::TempDir dir;
  kvtest::WriteFileBytes(dir.file("wide.bmp"), kvtest::MakeBmp(9, 3));
  const ThemeItemLayout layout{"s", kv::stSingle, Distinct(2, 2)};
  for (const auto& [source, width] : {std::pair{"wide.bmp", 9}, std::pair{"missing.bmp", 2}}) {
    SCOPED_TRACE(source);
    kv::TMemoryStream stream(kvtest::ThemeStreamBytes({layout}, source));
    TKVThemeBitmapCollection theme;
    theme.BaseFolder = dir.path().string() + "/";
    theme.LoadThemeStream(stream);
    ASSERT_EQ(theme.Count(), 1);
    EXPECT_EQ(theme.Item(0).Source(), source);
    EXPECT_EQ(theme.Item(0).Bitmap().Width(), width);
    // The parts come from the picture in use.
    EXPECT_EQ(theme.Item(0).Part(0).Width(), width);
    EXPECT_EQ(theme.Item(0).RawKind(), width == 9 ? kv::pkBMP : kv::pkUnknown);
  }
}

TEST(ThemeStream, ASourceNameReachesOnlyPicturesBelowTheBaseFolder) {
  kvtest::TempDir dir;
  std::filesystem::create_directories(dir.file("game/skins"));
  kvtest::WriteFileBytes(dir.file("game/skins/wide.bmp"), kvtest::MakeBmp(9, 3));
  kvtest::WriteFileBytes(dir.file("outside.bmp"), kvtest::MakeBmp(7, 3));
  const ThemeItemLayout layout{"s", kv::stSingle, Distinct(2, 2)};
  const std::string base = dir.file("game") + "/";
  const struct {
    std::string Source;
    std::string Base;
    int32_t Width; // 2: the stored picture stays
  } cases[] = {
      {"skins/wide.bmp", base, 9},
      {"../outside.bmp", base, 2},
      {"skins/../../outside.bmp", base, 2},
      {dir.file("outside.bmp"), base, 2},
      {"skins\\..\\..\\outside.bmp", base, 2},
      // Without a base folder, nothing is read from disk (not the working folder either).
      {"skins/wide.bmp", "", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source + " in " + c.Base);
    kv::TMemoryStream stream(kvtest::ThemeStreamBytes({layout}, c.Source));
    TKVThemeBitmapCollection theme;
    theme.BaseFolder = c.Base;
    theme.LoadThemeStream(stream);
    ASSERT_EQ(theme.Count(), 1);
    EXPECT_EQ(theme.Item(0).Bitmap().Width(), c.Width);
  }
}

// An 8-bit RLE bitmap of any size whose pixels are one end-of-bitmap code, followed by as many bytes as
// the decoder wants before it believes such a size.
std::vector<uint8_t> RleBmp(int32_t width, int32_t height) {
  kvtest::Bytes b;
  b.chars("BM").u32(0).u32(0).u32(54 + 8);
  b.u32(40).i32(width).i32(height).u16(1).u16(8).u32(1).u32(2).i32(0).i32(0).u32(2).u32(0);
  const auto padding = static_cast<std::size_t>(int64_t{width} * height / 1024 + 1);
  b.u32(0).u32(0xFFFFFF).raw({0, 1}).raw(std::vector<uint8_t>(padding, 0));
  return b.data();
}

void AddRecord(kvtest::Bytes& stream, uint8_t splitType, const std::vector<uint8_t>& picture,
               const std::string& name) {
  stream.u8(splitType).i32(static_cast<int32_t>(picture.size())).raw(picture).i32(0).str(name);
  for (int i = 0; i < 7; ++i) stream.u16(0);
}

TEST(ThemeStream, AllPicturesTogetherStayWithinTheThemeBudget) {
  // 4096 x 4096 pixels is the whole budget: after a picture of 1000 x 1000 it no longer fits, and is
  // refused before it is decoded. Split type 9 cuts nothing.
  kvtest::Bytes one, two;
  one.u16(1);
  two.u16(2);
  AddRecord(one, 9, RleBmp(1000, 1000), "a");
  AddRecord(two, 9, RleBmp(1000, 1000), "a");
  AddRecord(two, 9, RleBmp(4096, 4096), "b");
  TKVThemeBitmapCollection theme;
  kv::TMemoryStream fits = one.stream(), tooMuch = two.stream();
  theme.LoadThemeStream(fits);
  EXPECT_EQ(theme.Item(0).Bitmap().Width(), 1000);
  EXPECT_THROW(theme.LoadThemeStream(tooMuch), kv::EThemeError);
  EXPECT_EQ(theme.Count(), 1);
}

TEST(ThemeStream, HostileStreamsFailWithAReadErrorAndKeepThePreviousTheme) {
  const std::vector<ThemeItemLayout> layouts = {
      {"button", kv::stNineSlice, Distinct(9, 9), 0, 0, 0, 0, -1, -1, 3},
      {"window_top", kv::stHorizontal3, Distinct(8, 4), 2, 0, 2, 0}};
  const std::vector<uint8_t> good = kvtest::ThemeStreamBytes(layouts);
  kv::TMemoryStream bmp;
  layouts[0].Picture.SaveToStream(bmp);
  const std::size_t sourceLength = 3 + 4 + static_cast<std::size_t>(bmp.Size());
  const std::size_t nameLength = sourceLength + 4;
  auto patched = [&good](std::size_t at, int32_t value) {
    std::vector<uint8_t> bytes = good;
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    return bytes;
  };
  kvtest::Bytes hugeStream;
  hugeStream.u16(1);
  // 4096 x 4097 pixels: more than a theme may hold.
  AddRecord(hugeStream, kv::stSingle, RleBmp(4096, 4097), "x");
  kvtest::Bytes notBmp;
  notBmp.u16(1).u8(kv::stSingle).i32(4).chars("GIF8").i32(0).str("x");
  kvtest::Bytes overflow;
  {
    kv::TMemoryStream grid;
    Distinct(14, 1).SaveToStream(grid);
    overflow.u16(1).u8(kv::stGrid13).i32(static_cast<int32_t>(grid.Size())).raw(grid.Bytes()).i32(0).str("g");
    for (int v : {0, 0, 0, 0, 1, 1, 0}) overflow.u16(static_cast<uint16_t>(v));
  }
  struct THostile {
    const char* Name;
    std::vector<uint8_t> Bytes;
    std::string Message = "Stream read error";
  };
  std::vector<THostile> hostile = {
      {"negative picture length", patched(3, -1)},
      {"picture length past the end", patched(3, 0x7FFFFFFF)},
      {"name length past the end", patched(nameLength, 0x7FFFFFF0)},
      {"source length past the end", patched(sourceLength, 1 << 30)},
      {"picture length that cuts the BMP short", patched(3, 20), "Bitmap image is not valid: "},
      {"more items than the stream holds",
       [&] {
         std::vector<uint8_t> bytes = good;
         bytes[0] = 3;
         return bytes;
       }()},
      {"a picture too large for a theme", hugeStream.data(), "Theme pictures are too large"},
      {"a picture that is not a BMP", notBmp.data(), "Bitmap image is not valid: "},
      {"a grid with more cells than parts", overflow.data(), "List index out of bounds (13)"},
  };
  for (std::size_t size = 0; size < good.size(); ++size)
    hostile.push_back(
        {"cut short", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(size))});

  for (const auto& h : hostile) {
    SCOPED_TRACE(std::string(h.Name) + " (" + std::to_string(h.Bytes.size()) + " bytes)");
    TKVThemeBitmapCollection theme;
    kvtest::AddThemeItem(theme, {"previous", kv::stSingle, kvtest::Solid(3, 3, 0xFF123456u)});
    int changes = 0;
    theme.AddChangeListener(&changes, [&changes](kv::TKVCustomBitmapCollection&) { ++changes; });
    kv::TMemoryStream stream(h.Bytes);
    try {
      theme.LoadThemeStream(stream);
      ADD_FAILURE() << "no error";
    } catch (const kv::Exception& e) {
      // Decoder messages go on with the decoder's reason.
      EXPECT_EQ(std::string(e.what()).substr(0, h.Message.size()), h.Message);
    }
    ASSERT_EQ(theme.Count(), 1);
    EXPECT_EQ(theme.Item(0).SkinName, "previous");
    ASSERT_NE(theme.FindItem("previous"), nullptr);
    EXPECT_EQ(theme.FindItem("previous")->Part(0).PixelAt(2, 2), 0xFF123456u);
    EXPECT_EQ(theme.LockCount(), 0);
    EXPECT_EQ(changes, 0);
  }
}

TEST(ThemeStream, NegativeTextLengthsAreEmptyTexts) {
  kvtest::Bytes b;
  kv::TMemoryStream bmp;
  Distinct(2, 2).SaveToStream(bmp);
  b.u16(1).u8(kv::stSingle).i32(static_cast<int32_t>(bmp.Size())).raw(bmp.Bytes()).i32(-5).i32(-1);
  for (int i = 0; i < 7; ++i) b.u16(0);
  kv::TMemoryStream stream = b.stream();
  TKVThemeBitmapCollection theme;
  theme.LoadThemeStream(stream);
  ASSERT_EQ(theme.Count(), 1);
  EXPECT_EQ(theme.Item(0).SkinName, "");
  EXPECT_EQ(theme.Item(0).Source(), "");
}

TEST(ThemeStream, WritingRefusesFieldsTheStreamCannotHold) {
  TKVThemeBitmapCollection theme;
  kvtest::AddThemeItem(theme, {"s", kv::stSingle, Distinct(2, 2)}).Border = 70000;
  kv::TMemoryStream out;
  EXPECT_THROW(theme.SaveThemeStream(out), kv::EWriteError);
  EXPECT_EQ(out.Size(), 0);
}

} // namespace
