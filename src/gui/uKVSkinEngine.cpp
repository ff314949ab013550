#include "gui/uKVSkinEngine.h"

#include "gui/uKVDefaultThemeBitmaps.h"
#include "gui/uKVThemeBitmaps.h"

#include <algorithm>
#include <array>

namespace kv {

namespace {

// Draws part at (x, y), cut off at the clip rectangle cut (the last copy of a tile).
void DrawCut(const TKVPainter& painter, const TBitmap32& part, int64_t x, int64_t y, const TRect& cut) {
  const auto ix = static_cast<int32_t>(x), iy = static_cast<int32_t>(y);
  const TRect whole{ix, iy, ix + part.Width(), iy + part.Height()};
  if (!painter.Touches(IntersectRect(whole, cut))) return;
  if (cut.Left <= whole.Left && cut.Top <= whole.Top && cut.Right >= whole.Right &&
      cut.Bottom >= whole.Bottom)
    painter.Draw(part, ix, iy);
  else
    painter.Clipped(cut).Draw(part, ix, iy);
}

// The first copy of a tile of the given extent, starting at start, that can reach past visibleStart.
int64_t FirstVisibleTile(int64_t start, int64_t extent, int64_t visibleStart) {
  if (visibleStart <= start) return start;
  return start + (visibleStart - start) / extent * extent;
}

// Cap a at (left, y), copies of tile b from its right edge on, the last one cut off where cap c begins at
// right - width(c); no tiles when the caps leave no room.
void DrawRow(const TKVPainter& target, const TBitmap32& a, const TBitmap32& b, const TBitmap32& c,
             int32_t left, int32_t right, int32_t y) {
  target.Draw(a, left, y);
  if (b.Width() > 0 && b.Height() > 0) {
    const int64_t stop = int64_t{right} - c.Width();
    const TRect cut{INT32_MIN, y, static_cast<int32_t>(std::max<int64_t>(stop, INT32_MIN)), y + b.Height()};
    // Copies left of the clip change nothing; start with the first one that may.
    for (int64_t x = FirstVisibleTile(int64_t{left} + a.Width(), b.Width(), target.Clip().Left);
         x < stop && x < target.Clip().Right; x += b.Width())
      DrawCut(target, b, x, y, cut);
  }
  target.Draw(c, right - c.Width(), y);
}

// The same downwards from top to bottom at x.
void DrawColumn(const TKVPainter& target, const TBitmap32& a, const TBitmap32& b, const TBitmap32& c,
                int32_t x, int32_t top, int32_t bottom) {
  target.Draw(a, x, top);
  if (b.Width() > 0 && b.Height() > 0) {
    const int64_t stop = int64_t{bottom} - c.Height();
    const TRect cut{x, INT32_MIN, x + b.Width(), static_cast<int32_t>(std::max<int64_t>(stop, INT32_MIN))};
    for (int64_t y = FirstVisibleTile(int64_t{top} + a.Height(), b.Height(), target.Clip().Top);
         y < stop && y < target.Clip().Bottom; y += b.Height())
      DrawCut(target, b, x, y, cut);
  }
  target.Draw(c, x, bottom - c.Height());
}

} // namespace

TKVCustomGamesSkin::TKVCustomGamesSkin() : FTheme(std::make_unique<TKVThemeBitmapCollection>()) {}

TKVCustomGamesSkin::~TKVCustomGamesSkin() = default;

const TBitmap32& TKVCustomGamesSkin::GetPart(const std::string& name, int32_t index) {
  const TKVThemeBitmapItem* item = FTheme->FindItem(name);
  return item ? item->Part(index) : FTheme->EmptyPart();
}

void TKVCustomGamesSkin::DrawFrame(const TKVPainter& target, const TRect& rect, const std::string& name) {
  std::array<const TBitmap32*, NineSliceParts> p{};
  const bool single = !name.empty() && name[0] == '@';
  if (single) {
    const std::string item = name.substr(1);
    for (int32_t i = 0; i < NineSliceParts; ++i) p[i] = &GetPart(item, i);
  } else {
    const char* edges[] = {"_top", "_left", "_right", "_bottom"};
    for (int32_t e = 0; e < 4; ++e)
      for (int32_t i = 0; i < 3; ++i) p[e * 3 + i] = &GetPart(name + edges[e], i);
    p[12] = &GetPart(name + "_background", 0);
  }
  auto w = [&p](int i) { return p[i]->Width(); };
  auto h = [&p](int i) { return p[i]->Height(); };
  const int32_t x1 = rect.Left, y1 = rect.Top, x2 = rect.Right, y2 = rect.Bottom;

  DrawRow(target, *p[0], *p[1], *p[2], x1, x2, y1);
  if (single) {
    DrawRow(target, *p[9], *p[10], *p[11], x1, x2, y2 - h(9));
    DrawColumn(target, *p[3], *p[4], *p[5], x1, y1 + h(0), y2 - h(9));
    DrawColumn(target, *p[6], *p[7], *p[8], x2 - w(6), y1 + h(0), y2 - h(11));
  } else {
    DrawRow(target, *p[9], *p[10], *p[11], x1 + w(5), x2 - w(11), y2 - h(9));
    DrawColumn(target, *p[3], *p[4], *p[5], x1, y1 + h(0), y2);
    DrawColumn(target, *p[6], *p[7], *p[8], x2 - w(6), y1 + h(0), y2);
  }
  const TRect centre{x1 + w(3), y1 + h(0), x2 - w(6), y2 - h(9)};
  if (!centre.IsEmpty() && target.Touches(centre)) DrawStretchedPart(target, *p[12], centre);
}

void TKVCustomGamesSkin::DrawPart(const TKVPainter& target, const TRect& rect, int32_t index,
                                  const std::string& name) {
  const TBitmap32& part = GetPart(name, index);
  if (!rect.IsEmpty() && target.Touches(rect)) DrawStretchedPart(target, part, rect);
}

void TKVCustomGamesSkin::DrawStretchedPart(const TKVPainter& target, const TBitmap32& part, const TRect& rect) {
  const bool sameSize = rect.Width() == part.Width() && rect.Height() == part.Height();
  const int64_t pixels = int64_t{rect.Width()} * rect.Height();
  // Past the target's edges DrawStretched samples from the first visible pixel on: no copy for those.
  if (part.Empty() || sameSize || pixels > MaxStretchedPixels ||
      !ContainsRect(target.Target().BoundsRect(), rect)) {
    target.DrawStretched(part, rect);
    return;
  }
  auto found = std::find_if(FStretched.begin(), FStretched.end(), [&](const TStretchedPart& s) {
    return s.Part == &part && s.PartBits == part.Bits() && s.Image.Width() == rect.Width() &&
           s.Image.Height() == rect.Height();
  });
  if (found == FStretched.end()) {
    int64_t kept = pixels;
    for (const TStretchedPart& s : FStretched) kept += int64_t{s.Image.Width()} * s.Image.Height();
    for (auto oldest = FStretched.begin(); kept > MaxStretchedPixels && oldest != FStretched.end();) {
      kept -= int64_t{oldest->Image.Width()} * oldest->Image.Height();
      oldest = FStretched.erase(oldest);
    }
    TStretchedPart& added = FStretched.emplace_back();
    added.Part = &part;
    added.PartBits = part.Bits();
    added.Image.SetSize(rect.Width(), rect.Height());
    part.Resample(added.Image);
    found = std::prev(FStretched.end());
  } else if (found != std::prev(FStretched.end())) {
    std::rotate(found, found + 1, FStretched.end());
    found = std::prev(FStretched.end());
  }
  TBitmap32& image = found->Image;
  image.SetDrawMode(part.DrawMode());
  image.SetCombineMode(part.CombineMode());
  image.SetMasterAlpha(part.MasterAlpha());
  target.Draw(image, rect.Left, rect.Top);
}

void TKVCustomGamesSkin::LoadDefaultTheme() {
  FStretched.clear();
  BuildDefaultTheme(*FTheme);
}

void TKVCustomGamesSkin::LoadThemeOrDefault(TStream& stream) {
  FStretched.clear();
  if (stream.Size() > 0) {
    stream.SetPosition(0);
    FTheme->LoadThemeStream(stream);
  }
  if (FTheme->Count() == 0 || stream.Size() == 0) LoadDefaultTheme();
}

} // namespace kv
