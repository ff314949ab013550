// Theme pictures, theme items and theme streams made on the spot for the skin tests and the fuzz seeds.
#pragma once

#include "gui/uBitmap32.h"
#include "gui/uKVThemeBitmaps.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

// An opaque picture whose pixel (x, y) is a distinct value with base in its top byte of RGB, so that
// pictures made with different bases never share a pixel.
inline kv::TBitmap32 Distinct(int w, int h, uint8_t base = 0) {
  kv::TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(
          x, y, 0xFF000000u | static_cast<kv::TColor32>(base) << 16 | static_cast<kv::TColor32>(y * 256 + x));
  return b;
}

inline kv::TBitmap32 Solid(int w, int h, kv::TColor32 color) {
  kv::TBitmap32 b(w, h);
  b.Clear(color);
  return b;
}

// One theme item as a test describes it; a width or height of -1 takes the picture's.
struct ThemeItemLayout {
  std::string Name;
  uint8_t SplitType = kv::stSingle;
  kv::TBitmap32 Picture;
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width = -1, Height = -1;
  int32_t Border = 0;
};

inline kv::TKVThemeBitmapItem& AddThemeItem(kv::TKVThemeBitmapCollection& theme,
                                            const ThemeItemLayout& layout) {
  kv::TKVThemeBitmapItem& item = theme.Add();
  item.SkinName = layout.Name;
  item.SplitType = layout.SplitType;
  item.Bitmap().Assign(layout.Picture);
  item.Left = layout.Left;
  item.Top = layout.Top;
  item.Right = layout.Right;
  item.Bottom = layout.Bottom;
  item.Width = layout.Width < 0 ? layout.Picture.Width() : layout.Width;
  item.Height = layout.Height < 0 ? layout.Picture.Height() : layout.Height;
  item.Border = layout.Border;
  return item;
}

// The theme stream of the given items, written field by field as the package holds it.
inline std::vector<uint8_t> ThemeStreamBytes(const std::vector<ThemeItemLayout>& layouts,
                                             const std::string& source = {}) {
  Bytes b;
  b.u16(static_cast<uint16_t>(layouts.size()));
  for (const auto& s : layouts) {
    kv::TMemoryStream bmp;
    s.Picture.SaveToStream(bmp);
    b.u8(s.SplitType).i32(static_cast<int32_t>(bmp.Size())).raw(bmp.Bytes()).str(source).str(s.Name);
    const int32_t w = s.Width < 0 ? s.Picture.Width() : s.Width,
                  h = s.Height < 0 ? s.Picture.Height() : s.Height;
    for (int32_t v : {s.Left, s.Top, s.Right, s.Bottom, w, h, s.Border}) b.u16(static_cast<uint16_t>(v));
  }
  return b.data();
}

// A small theme of every split type, as a package might carry it.
inline std::vector<ThemeItemLayout> SampleThemeLayouts() {
  std::vector<ThemeItemLayout> layouts;
  layouts.push_back({"window_top", kv::stHorizontal3, Distinct(16, 6, 1), 4, 0, 4, 0});
  layouts.push_back({"window_left", kv::stVertical3, Distinct(3, 8, 2), 0, 1, 0, 3});
  layouts.push_back({"window_right", kv::stVertical3, Distinct(3, 8, 3), 0, 1, 0, 3});
  layouts.push_back({"window_bottom", kv::stHorizontal3, Distinct(8, 3, 4), 1, 0, 1, 0});
  layouts.push_back({"window_background", kv::stSingle, Distinct(5, 4, 5)});
  layouts.push_back({"window_buttons", kv::stGrid13, Distinct(12, 4, 6), 0, 0, 0, 0, 4, 4});
  layouts.push_back({"button", kv::stNineSlice, Distinct(9, 9, 7), 0, 0, 0, 0, -1, -1, 3});
  layouts.push_back({"digits", kv::stGrid25, Distinct(10, 2, 8), 0, 0, 0, 0, 2, 2});
  return layouts;
}

} // namespace kvtest
