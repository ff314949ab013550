#include "gui/uBitmap32.h"

#include "core/uScopeGuard.h"
#include "gui/uBlend.h"
#include "gui/uResamplers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace kv {

namespace {

// The classic Windows default system colours ($00BBGGRR), indexed by system colour number.
constexpr TColor Rgb(int r, int g, int b) {
  return static_cast<TColor>(r | g << 8 | b << 16);
}
constexpr std::array<TColor, 31> SystemColors = {
    Rgb(200, 200, 200), //  0 scroll bar
    Rgb(0, 0, 0),       //  1 desktop background
    Rgb(153, 180, 209), //  2 active caption
    Rgb(191, 205, 219), //  3 inactive caption
    Rgb(240, 240, 240), //  4 menu
    Rgb(255, 255, 255), //  5 window
    Rgb(100, 100, 100), //  6 window frame
    Rgb(0, 0, 0),       //  7 menu text
    Rgb(0, 0, 0),       //  8 window text
    Rgb(0, 0, 0),       //  9 caption text
    Rgb(180, 180, 180), // 10 active border
    Rgb(244, 247, 252), // 11 inactive border
    Rgb(171, 171, 171), // 12 application workspace
    Rgb(51, 153, 255),  // 13 highlight
    Rgb(255, 255, 255), // 14 highlight text
    Rgb(240, 240, 240), // 15 button face
    Rgb(160, 160, 160), // 16 button shadow
    Rgb(109, 109, 109), // 17 grey text
    Rgb(0, 0, 0),       // 18 button text
    Rgb(67, 78, 84),    // 19 inactive caption text
    Rgb(255, 255, 255), // 20 button highlight
    Rgb(105, 105, 105), // 21 3-D dark shadow
    Rgb(227, 227, 227), // 22 3-D light
    Rgb(0, 0, 0),       // 23 tooltip text
    Rgb(255, 255, 225), // 24 tooltip background
    Rgb(0, 0, 0),       // 25 (unused)
    Rgb(0, 102, 204),   // 26 hot-tracked item
    Rgb(185, 209, 234), // 27 active caption gradient
    Rgb(215, 228, 242), // 28 inactive caption gradient
    Rgb(51, 153, 255),  // 29 menu highlight
    Rgb(240, 240, 240), // 30 menu bar
};

} // namespace

TColor ColorToRGB(TColor color) {
  const auto value = static_cast<uint32_t>(color);
  if ((value & 0xFF000000u) != 0xFF000000u) return color;
  const uint32_t index = value & 0xFFu;
  // Numbers outside the table have no colour on the platform either; black is what it reports for them.
  if ((value & 0x00FFFF00u) != 0 || index >= SystemColors.size()) return 0;
  return SystemColors[index];
}

TColor32 Color32(TColor color) {
  const auto rgb = static_cast<uint32_t>(ColorToRGB(color));
  return 0xFF000000u | (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
}

void TCustomResampler::SampleRow(const TBitmap32& source, const TRect& area, double x0, double dx, float y,
                                 int count, TColor32* out) const {
  for (int i = 0; i < count; ++i) out[i] = GetSample(source, area, static_cast<float>(x0 + i * dx), y);
}

// ---------------------------------------------------------------------------------------------------------

TBitmap32::TBitmap32() : FResampler(std::make_unique<TNearestResampler>()) {}

TBitmap32::TBitmap32(int width, int height) : TBitmap32() {
  SetSize(width, height);
}

TBitmap32::TBitmap32(const TBitmap32& other) : TBitmap32() {
  Assign(&other);
}

TBitmap32& TBitmap32::operator=(const TBitmap32& other) {
  if (this != &other) Assign(&other);
  return *this;
}

TBitmap32::TBitmap32(TBitmap32&& other) : TBitmap32() {
  *this = std::move(other);
}

TBitmap32& TBitmap32::operator=(TBitmap32&& other) {
  if (this == &other) return *this;
  FWidth = std::exchange(other.FWidth, 0);
  FHeight = std::exchange(other.FHeight, 0);
  FBits = std::move(other.FBits);
  other.FBits.clear();
  CopyProperties(other);
  std::swap(FResampler, other.FResampler);
  Changed();
  return *this;
}

TBitmap32::~TBitmap32() = default;

bool TBitmap32::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == FWidth && height == FHeight) return false;
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (count > MaxSurfacePixels) throw EBitmapError(width, height, true);
  if (count == 0) {
    FBits = {};
  } else if (count <= FBits.capacity() && count >= FBits.capacity() / 2) {
    // Surfaces resized again and again (scratch bitmaps) keep their storage.
    FBits.assign(static_cast<std::size_t>(count), 0);
  } else {
    std::vector<TColor32> bits;
    try {
      bits.assign(static_cast<std::size_t>(count), 0);
    } catch (const std::bad_alloc&) {
      throw EBitmapError(width, height, false);
    }
    FBits = std::move(bits);
  }
  FWidth = width;
  FHeight = height;
  Changed();
  return true;
}

void TBitmap32::Clear(TColor32 color) {
  std::fill(FBits.begin(), FBits.end(), color);
  Changed();
}

TColor32 TBitmap32::PixelSafe(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return FOuterColor;
  return PixelAt(x, y);
}

void TBitmap32::FillRect(int x1, int y1, int x2, int y2, TColor32 color) {
  // An inverted rectangle would make the row fill run past its end.
  if (x2 <= x1 || y2 <= y1) return;
  for (int y = y1; y < y2; ++y) std::fill(ScanLine(y) + x1, ScanLine(y) + x2, color);
  Changed();
}

void TBitmap32::FillRectClipped(int x1, int y1, int x2, int y2, TColor32 color) {
  const TRect r = IntersectRect(TRect{x1, y1, x2, y2}, BoundsRect());
  if (r.IsEmpty()) return;
  FillRect(r.Left, r.Top, r.Right, r.Bottom, color);
}

void TBitmap32::FillRectBlend(int x1, int y1, int x2, int y2, TColor32 color) {
  const TRect r = IntersectRect(TRect{x1, y1, x2, y2}, BoundsRect());
  if (r.IsEmpty() || AlphaComponent(color) == 0) return;
  for (int y = r.Top; y < r.Bottom; ++y)
    CombineColorLine(color, ScanLine(y) + r.Left, r.Width(), FCombineMode);
  Changed();
}

void TBitmap32::FrameRect(const TRect& rect, TColor32 color) {
  if (rect.IsEmpty()) return;
  const TRect clip = IntersectRect(rect, BoundsRect());
  if (clip.IsEmpty()) return;
  BeginUpdate();
  if (rect.Top >= 0 && rect.Top < FHeight) HorzLine(rect.Left, rect.Top, rect.Right - 1, color);
  if (rect.Bottom - 1 != rect.Top && rect.Bottom - 1 >= 0 && rect.Bottom - 1 < FHeight)
    HorzLine(rect.Left, rect.Bottom - 1, rect.Right - 1, color);
  if (rect.Left >= 0 && rect.Left < FWidth) VertLine(rect.Left, rect.Top, rect.Bottom - 1, color);
  if (rect.Right - 1 != rect.Left && rect.Right - 1 >= 0 && rect.Right - 1 < FWidth)
    VertLine(rect.Right - 1, rect.Top, rect.Bottom - 1, color);
  EndUpdate();
}

namespace {

// Clips the inclusive span a..b (in either order) to 0..limit-1; false when nothing is left.
bool ClipSpan(int& a, int& b, int limit) {
  if (a > b) std::swap(a, b);
  a = std::max(a, 0);
  b = std::min(b, limit - 1);
  return a <= b;
}

} // namespace

void TBitmap32::HorzLine(int x1, int y, int x2, TColor32 color) {
  if (y < 0 || y >= FHeight || !ClipSpan(x1, x2, FWidth)) return;
  std::fill(ScanLine(y) + x1, ScanLine(y) + x2 + 1, color);
  Changed();
}

void TBitmap32::HorzLineBlend(int x1, int y, int x2, TColor32 color) {
  if (y < 0 || y >= FHeight || !ClipSpan(x1, x2, FWidth) || AlphaComponent(color) == 0) return;
  CombineColorLine(color, ScanLine(y) + x1, x2 - x1 + 1, FCombineMode);
  Changed();
}

void TBitmap32::VertLine(int x, int y1, int y2, TColor32 color) {
  if (x < 0 || x >= FWidth || !ClipSpan(y1, y2, FHeight)) return;
  for (int y = y1; y <= y2; ++y) ScanLine(y)[x] = color;
  Changed();
}

void TBitmap32::VertLineBlend(int x, int y1, int y2, TColor32 color) {
  if (x < 0 || x >= FWidth || !ClipSpan(y1, y2, FHeight) || AlphaComponent(color) == 0) return;
  for (int y = y1; y <= y2; ++y) CombineColorLine(color, ScanLine(y) + x, 1, FCombineMode);
  Changed();
}

void TBitmap32::Draw(TBitmap32& dest, int x, int y) const {
  DrawStretched(dest, TRect{x, y, x + FWidth, y + FHeight}, BoundsRect());
}

void TBitmap32::Draw(TBitmap32& dest, int x, int y, const TRect& clip) const {
  DrawStretched(dest, TRect{x, y, x + FWidth, y + FHeight}, BoundsRect(), clip);
}

void TBitmap32::DrawStretched(TBitmap32& dest, const TRect& dstRect, const TRect& srcRect) const {
  DrawStretched(dest, dstRect, srcRect, dest.BoundsRect());
}

void TBitmap32::DrawStretched(TBitmap32& dest, const TRect& dstRect, const TRect& srcRect,
                              const TRect& clipRect) const {
  if (Empty() || dest.Empty()) return;
  if (FDrawMode == dmBlend && FMasterAlpha == 0) return;
  if (&dest == this) {
    const TBitmap32 copy(*this);
    copy.DrawStretched(dest, dstRect, srcRect, clipRect);
    return;
  }
  const TRect destClip = IntersectRect(clipRect, dest.BoundsRect());
  if (destClip.IsEmpty()) return;
  const int64_t dw = int64_t{dstRect.Right} - dstRect.Left;
  const int64_t dh = int64_t{dstRect.Bottom} - dstRect.Top;
  const int64_t sw = int64_t{srcRect.Right} - srcRect.Left;
  const int64_t sh = int64_t{srcRect.Bottom} - srcRect.Top;

  if (dw == sw && dh == sh) {
    // Block transfer: clip the source to this surface and the destination to dest, shifting the other.
    if (sw <= 0 || sh <= 0) return;
    int sx = srcRect.Left, sy = srcRect.Top, dx = dstRect.Left, dy = dstRect.Top;
    int w = static_cast<int>(sw), h = static_cast<int>(sh);
    auto clipStart = [](int& a, int& b, int& len) {
      if (a < 0) {
        b -= a;
        len += a;
        a = 0;
      }
    };
    clipStart(sx, dx, w);
    // The destination clip starts at destClip's corner rather than at 0.
    dx -= destClip.Left;
    clipStart(dx, sx, w);
    dx += destClip.Left;
    clipStart(sy, dy, h);
    dy -= destClip.Top;
    clipStart(dy, sy, h);
    dy += destClip.Top;
    w = std::min({w, FWidth - sx, destClip.Right - dx});
    h = std::min({h, FHeight - sy, destClip.Bottom - dy});
    if (w <= 0 || h <= 0) return;
    for (int row = 0; row < h; ++row)
      DrawLine(ScanLine(sy + row) + sx, dest.ScanLine(dy + row) + dx, w, FDrawMode, FCombineMode,
               FMasterAlpha);
    dest.Changed();
    return;
  }

  if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > FWidth || srcRect.Bottom > FHeight || sw < 0 ||
      sh < 0)
    throw EBitmapError("Source rectangle is invalid");
  if (sw == 0 || sh == 0 || dw <= 0 || dh <= 0) return;
  // Rows are sampled from where the unclipped draw starts them, so that a clipped draw writes exactly the
  // pixels of an unclipped one.
  const TRect span = IntersectRect(dstRect, dest.BoundsRect());
  const TRect clip = IntersectRect(span, destClip);
  if (clip.IsEmpty()) return;

  // Destination pixel centres mapped proportionally into the source rectangle.
  const double scaleX = static_cast<double>(sw) / static_cast<double>(dw);
  const double scaleY = static_cast<double>(sh) / static_cast<double>(dh);
  const double x0 = srcRect.Left + (span.Left - dstRect.Left + 0.5) * scaleX;
  const int skip = clip.Left - span.Left;
  const int count = clip.Right - span.Left;
  std::vector<TColor32> row(static_cast<std::size_t>(count));
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const auto v = static_cast<float>(srcRect.Top + (y - dstRect.Top + 0.5) * scaleY);
    FResampler->SampleRow(*this, srcRect, x0, scaleX, v, count, row.data());
    DrawLine(row.data() + skip, dest.ScanLine(y) + clip.Left, clip.Width(), FDrawMode, FCombineMode,
             FMasterAlpha);
  }
  dest.Changed();
}

void TBitmap32::Resample(TBitmap32& dest) const {
  if (Empty() || dest.Empty() || &dest == this) return;
  ResampleRows(dest, 0, dest.Height(), *FResampler);
  dest.Changed();
}

void TBitmap32::ResampleRows(TBitmap32& dest, int32_t firstRow, int32_t endRow,
                             const TCustomResampler& resampler) const {
  if (Empty() || dest.Empty() || &dest == this) return;
  // The positions DrawStretched samples for a destination rectangle wholly inside its target.
  const int32_t dw = dest.Width(), dh = dest.Height();
  const double scaleX = static_cast<double>(FWidth) / static_cast<double>(dw);
  const double scaleY = static_cast<double>(FHeight) / static_cast<double>(dh);
  const double x0 = 0.5 * scaleX;
  for (int32_t y = std::max(firstRow, 0); y < std::min(endRow, dh); ++y) {
    const auto v = static_cast<float>((y + 0.5) * scaleY);
    resampler.SampleRow(*this, BoundsRect(), x0, scaleX, v, dw, dest.ScanLine(y));
  }
}

void TBitmap32::RotateQuarter(int turns, TBitmap32* dest) {
  TBitmap32 temp;
  TBitmap32& target = dest != nullptr && dest != this ? *dest : temp;
  const int w = FWidth, h = FHeight;
  target.BeginUpdate();
  if (turns == 2)
    target.SetSize(w, h);
  else
    target.SetSize(h, w);
  const TColor32* src = Bits();
  TColor32* out = target.Bits();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TColor32 p = src[static_cast<std::size_t>(y) * w + x];
      switch (turns) {
      case 1:
        out[static_cast<std::size_t>(x) * h + (h - 1 - y)] = p;
        break;
      case 2:
        out[static_cast<std::size_t>(h - 1 - y) * w + (w - 1 - x)] = p;
        break;
      default:
        out[static_cast<std::size_t>(w - 1 - x) * h + y] = p;
        break;
      }
    }
  target.Changed();
  target.EndUpdate();
  if (&target == &temp) {
    FBits.swap(temp.FBits);
    FWidth = temp.FWidth;
    FHeight = temp.FHeight;
    Changed();
  }
}

void TBitmap32::Rotate90(TBitmap32* dest) {
  RotateQuarter(1, dest);
}
void TBitmap32::Rotate180(TBitmap32* dest) {
  RotateQuarter(2, dest);
}
void TBitmap32::Rotate270(TBitmap32* dest) {
  RotateQuarter(3, dest);
}

void TBitmap32::CopyProperties(const TBitmap32& source) {
  FDrawMode = source.FDrawMode;
  FCombineMode = source.FCombineMode;
  FMasterAlpha = source.FMasterAlpha;
  FOuterColor = source.FOuterColor;
  FFont = source.FFont;
}

void TBitmap32::Assign(const TBitmap32* source) {
  if (source == this) return;
  BeginUpdate();
  TScopeExit end([this] { EndUpdate(); });
  if (source == nullptr) {
    SetSize(0, 0);
  } else {
    std::vector<TColor32> bits;
    try {
      bits = source->FBits;
    } catch (const std::bad_alloc&) {
      throw EBitmapError(source->FWidth, source->FHeight, false);
    }
    FBits = std::move(bits);
    FWidth = source->FWidth;
    FHeight = source->FHeight;
    CopyProperties(*source);
    FResampler = source->FResampler->Clone();
  }
  Changed();
}

void TBitmap32::Assign(const TDecodedPicture& picture) {
  const uint64_t count = static_cast<uint64_t>(std::max(picture.Width, 0)) * std::max(picture.Height, 0);
  if (picture.Pixels.size() < count) throw EImageError("Bitmap image is not valid");
  BeginUpdate();
  TScopeExit end([this] { EndUpdate(); });
  SetSize(picture.Width, picture.Height);
  std::copy_n(picture.Pixels.begin(), count, FBits.begin());
  Changed();
}

void TBitmap32::Assign(TDecodedPicture&& picture) {
  const uint64_t count = static_cast<uint64_t>(std::max(picture.Width, 0)) * std::max(picture.Height, 0);
  if (count == 0 || count > MaxSurfacePixels || picture.Pixels.size() != count) {
    Assign(std::as_const(picture));
    return;
  }
  static_assert(std::is_same_v<TColor32, uint32_t>);
  FBits = std::move(picture.Pixels);
  picture.Pixels = {};
  FWidth = picture.Width;
  FHeight = picture.Height;
  picture.Width = picture.Height = 0;
  Changed();
}

void TBitmap32::ClearKeyColor(TColor32 key) {
  const TColor32 k = key & 0x00FFFFFFu;
  for (TColor32& p : FBits)
    if ((p & 0x00FFFFFFu) == k) p = 0;
  Changed();
}

void TBitmap32::BeginUpdate() {
  ++FUpdateCount;
}

void TBitmap32::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0 && FChangedWhileLocked) {
    FChangedWhileLocked = false;
    if (OnChange) OnChange(*this);
  }
}

void TBitmap32::Changed() {
  if (FUpdateCount > 0) {
    FChangedWhileLocked = true;
    return;
  }
  if (OnChange) OnChange(*this);
}

void TBitmap32::SetDrawMode(TDrawMode value) {
  if (value == FDrawMode) return;
  FDrawMode = value;
  Changed();
}

void TBitmap32::SetCombineMode(TCombineMode value) {
  if (value == FCombineMode) return;
  FCombineMode = value;
  Changed();
}

void TBitmap32::SetMasterAlpha(int value) {
  value = std::clamp(value, 0, 255);
  if (value == FMasterAlpha) return;
  FMasterAlpha = value;
  Changed();
}

void TBitmap32::SetResampler(std::unique_ptr<TCustomResampler> resampler) {
  FResampler = resampler ? std::move(resampler) : std::make_unique<TNearestResampler>();
  Changed();
}

} // namespace kv
