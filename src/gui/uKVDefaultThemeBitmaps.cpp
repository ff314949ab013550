#include "gui/uKVDefaultThemeBitmaps.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace kv {

namespace {

constexpr TColor32 Outline = 0xFF404040u;
constexpr TColor32 Light = 0xFFF4F4F4u;
constexpr TColor32 Face = 0xFFC8C8C8u;
constexpr TColor32 Shadow = 0xFF808080u;
constexpr TColor32 Client = 0xFFE4E4E4u;
constexpr TColor32 Cross = 0xFF202020u;
constexpr TColor32 HotCross = 0xFFB02020u;

constexpr int32_t F = DefaultFrameWidth;
constexpr int32_t T = DefaultTitleHeight;
// Rows of the title bar inside the top frame: below the outer bevel, above a two-row gap to the client.
constexpr int32_t BarTop = F;
constexpr int32_t BarBottom = T - 2;

// Title bar colour by row: dark slate, a little lighter towards the top.
TColor32 BarColor(int32_t row) {
  const int32_t step = (BarBottom - row) * 2;
  return Color32(static_cast<uint8_t>(0x30 + step), static_cast<uint8_t>(0x3A + step),
                 static_cast<uint8_t>(0x4C + step));
}

// Frame cross-sections from the outer edge inwards: top and left carry the light bevel, right and bottom
// the shadow. Where two sides meet, the side whose outer edge is nearer wins (a mitred corner).
constexpr TColor32 LightSide[F] = {Outline, Light, Face, Face};
constexpr TColor32 DarkSide[F] = {Outline, Shadow, Face, Face};

// Pixel of the frame at distances to the four outer edges; a pixel F or more inside every edge is none.
TColor32 FrameColor(int32_t left, int32_t top, int32_t right, int32_t bottom, TColor32 inside) {
  const int32_t nearest = std::min({left, top, right, bottom});
  if (nearest >= F) return inside;
  if (right == nearest || bottom == nearest) {
    // Top-right and bottom-left corners: the light side only where it is strictly nearer.
    if (right == nearest && top < right) return LightSide[top];
    if (bottom == nearest && left < bottom) return LightSide[left];
    return DarkSide[nearest];
  }
  return LightSide[nearest];
}

// The top frame with the title bar: a left cap, a tile and a right cap, each F wide.
TBitmap32 WindowTop() {
  const int32_t w = 3 * F;
  TBitmap32 b(w, T);
  for (int32_t y = 0; y < T; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const TColor32 inside = y >= BarTop && y < BarBottom ? BarColor(y) : Face;
      b.SetPixel(x, y, FrameColor(x, y, w - 1 - x, F, inside));
    }
  return b;
}

// A side frame: a one-row top cap, a tile and the bottom corner as its F-row bottom cap.
TBitmap32 WindowSide(bool left) {
  const int32_t h = 2 * F;
  TBitmap32 b(F, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < F; ++x) {
      const int32_t bottom = h - 1 - y;
      b.SetPixel(x, y, left ? FrameColor(x, F, F, bottom, Face) : FrameColor(F, F, F - 1 - x, bottom, Face));
    }
  return b;
}

TBitmap32 WindowBottom() {
  TBitmap32 b(2 * F, F);
  for (int32_t y = 0; y < F; ++y)
    for (int32_t x = 0; x < 2 * F; ++x) b.SetPixel(x, y, DarkSide[F - 1 - y]);
  return b;
}

// A bevelled square, raised or pressed, with its face.
void Bevel(TBitmap32& b, const TRect& r, bool pressed, TColor32 face) {
  b.FillRect(r.Left, r.Top, r.Right, r.Bottom, face);
  const TColor32 hi = pressed ? Shadow : Light, lo = pressed ? Light : Shadow;
  b.FrameRect(r, Outline);
  b.HorzLine(r.Left + 1, r.Top + 1, r.Right - 2, hi);
  b.VertLine(r.Left + 1, r.Top + 1, r.Bottom - 2, hi);
  b.HorzLine(r.Left + 1, r.Bottom - 2, r.Right - 2, lo);
  b.VertLine(r.Right - 2, r.Top + 1, r.Bottom - 2, lo);
}

// Normal, pressed and hot close buttons side by side, 19 x 19 each.
TBitmap32 WindowButtons() {
  constexpr int32_t size = 19;
  TBitmap32 b(3 * size, size);
  for (int32_t cell = 0; cell < 3; ++cell) {
    const int32_t left = cell * size, shift = cell == 1 ? 1 : 0;
    Bevel(b, {left, 0, left + size, size}, cell == 1, cell == 2 ? Light : Face);
    const TColor32 ink = cell == 2 ? HotCross : Cross;
    for (int32_t i = 0; i < 9; ++i)
      for (int32_t d = 0; d < 2; ++d) {
        b.SetPixel(left + 5 + i + d + shift, 5 + i + shift, ink);
        b.SetPixel(left + 13 - i + d + shift, 5 + i + shift, ink);
      }
  }
  return b;
}

// A raised button with clipped corners, cut as a nine-slice with border 3.
TBitmap32 Button() {
  constexpr int32_t size = 12;
  TBitmap32 b(size, size);
  Bevel(b, {0, 0, size, size}, false, Face);
  for (const auto& [x, y] :
       {std::pair{0, 0}, std::pair{size - 1, 0}, std::pair{0, size - 1}, std::pair{size - 1, size - 1}})
    b.SetPixel(x, y, 0);
  return b;
}

TBitmap32 Background() {
  TBitmap32 b(8, 8);
  b.Clear(Client);
  return b;
}

struct TDefaultItem {
  const char* Name;
  uint8_t SplitType;
  TBitmap32 Picture;
  int32_t Left, Top, Right, Bottom, Border;
};

} // namespace

void BuildDefaultTheme(TKVThemeBitmapCollection& theme) {
  std::vector<TDefaultItem> defaults;
  defaults.push_back({"window_top", stHorizontal3, WindowTop(), F, 0, F, 0, 0});
  defaults.push_back({"window_left", stVertical3, WindowSide(true), 0, 1, 0, F, 0});
  defaults.push_back({"window_right", stVertical3, WindowSide(false), 0, 1, 0, F, 0});
  defaults.push_back({"window_bottom", stHorizontal3, WindowBottom(), 1, 0, 1, 0, 0});
  defaults.push_back({"window_background", stSingle, Background(), 0, 0, 0, 0, 0});
  defaults.push_back({"window_buttons", stGrid13, WindowButtons(), 0, 0, 0, 0, 0});
  defaults.push_back({"button", stNineSlice, Button(), 0, 0, 0, 0, 3});

  std::vector<std::unique_ptr<TKVCustomBitmapItem>> items;
  for (auto& d : defaults) {
    auto item = std::make_unique<TKVThemeBitmapItem>(&theme);
    item->Name = d.Name;
    item->SkinName = d.Name;
    item->SplitType = d.SplitType;
    item->Left = d.Left;
    item->Top = d.Top;
    item->Right = d.Right;
    item->Bottom = d.Bottom;
    item->Border = d.Border;
    item->Width = d.SplitType == stGrid13 ? d.Picture.Height() : d.Picture.Width();
    item->Height = d.Picture.Height();
    theme.Lock();
    item->Bitmap().Assign(d.Picture);
    theme.Unlock();
    item->Split();
    items.push_back(std::move(item));
  }
  theme.Items().Replace(std::move(items));
}

} // namespace kv
