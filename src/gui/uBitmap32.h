// The 32-bit straight-alpha ARGB surface every picture of the game is composed on, its colour value and the
// conversions from platform colours.
#pragma once

#include "core/uKVErrors.h"
#include "core/uKVTypes.h"
#include "data/uKVStream.h"
#include "gui/uDecodedPicture.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kv {

// A ARGB value A << 24 | R << 16 | G << 8 | B; in memory B, G, R, A. Alpha is straight (not premultiplied).
using TColor32 = uint32_t;

inline constexpr TColor32 clBlack32 = 0xFF000000u;
inline constexpr TColor32 clWhite32 = 0xFFFFFFFFu;
inline constexpr TColor32 clTransparent32 = 0x00000000u;

// Resolves a system colour reference ($FF0000nn) to its $00BBGGRR value; other values come back unchanged.
TColor ColorToRGB(TColor color);

// Platform colour to TColor32: system colours resolved, R and B swapped, alpha 255.
TColor32 Color32(TColor color);

constexpr TColor32 Color32(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return static_cast<TColor32>(a) << 24 | static_cast<TColor32>(r) << 16 | static_cast<TColor32>(g) << 8 | b;
}

// TColor32 to platform colour $00BBGGRR; alpha is dropped.
constexpr TColor WinColor(TColor32 color) {
  return static_cast<TColor>((color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF));
}

constexpr uint8_t AlphaComponent(TColor32 color) {
  return static_cast<uint8_t>(color >> 24);
}
constexpr uint8_t RedComponent(TColor32 color) {
  return static_cast<uint8_t>(color >> 16);
}
constexpr uint8_t GreenComponent(TColor32 color) {
  return static_cast<uint8_t>(color >> 8);
}
constexpr uint8_t BlueComponent(TColor32 color) {
  return static_cast<uint8_t>(color);
}

// Keeps RGB and replaces alpha; alpha is clamped to 0..255.
constexpr TColor32 SetAlpha(TColor32 color, int alpha) {
  const uint32_t a = alpha < 0 ? 0u : alpha > 255 ? 255u : static_cast<uint32_t>(alpha);
  return (color & 0x00FFFFFFu) | a << 24;
}

// F over B weighted by F's alpha on all four channels, without shortcuts: w = 0 gives B, w = 255 does not
// give F exactly ($FFFFFFFF over $FF000000 is $FFFEFEFE).
constexpr TColor32 BlendReg(TColor32 f, TColor32 b) {
  const uint32_t w = f >> 24;
  const uint32_t rb =
      (w * (f & 0x00FF00FFu) + (256 - w) * (b & 0x00FF00FFu) + 0x00800080u) >> 8 & 0x00FF00FFu;
  const uint32_t ag =
      (w * (f >> 8 & 0x00FF00FFu) + (256 - w) * (b >> 8 & 0x00FF00FFu) + 0x00800080u) & 0xFF00FF00u;
  return rb | ag;
}

enum TDrawMode { dmOpaque, dmBlend, dmCustom, dmTransparent };
enum TCombineMode { cmBlend, cmMerge };

// The most pixels one surface holds; a larger size is refused before anything is allocated.
inline constexpr uint64_t MaxSurfacePixels = uint64_t{1} << 28;

// Failures of the surface: "Can't allocate the DIB handle", "Source rectangle is invalid". A surface that
// cannot be had keeps the size asked for, so that a tool can say what was too large to draw.
class EBitmapError : public Exception {
public:
  using Exception::Exception;
  EBitmapError(int width, int height, bool tooLarge)
      : Exception("Can't allocate the DIB handle"), Width(width), Height(height), TooLarge(tooLarge) {}
  // The size of the surface that could not be allocated; 0 x 0 for the other failures.
  int Width = 0;
  int Height = 0;
  bool TooLarge = false; // more than MaxSurfacePixels; otherwise the memory ran out
};

class TBitmap32;

// Samples a source surface at a position in its pixel space, where pixel (i, j) covers [i, i+1) x [j, j+1).
// A resampler belongs to one surface: it is installed with TBitmap32::SetResampler or NewResampler.
class TCustomResampler {
public:
  virtual ~TCustomResampler() = default;

  // The class name, e.g. "TLinearResampler".
  virtual std::string ClassName() const = 0;
  virtual std::unique_ptr<TCustomResampler> Clone() const = 0;

  // Sample at (x, y). A position outside area (a rectangle within the surface) gives the surface's
  // OuterColor; neighbours of a position inside are taken from the nearest pixel of area.
  virtual TColor32 GetSample(const TBitmap32& source, const TRect& area, float x, float y) const = 0;

  // Fills count pixels of one row with samples: pixel i samples at (x0 + i * dx, y). The default calls
  // GetSample per pixel.
  virtual void SampleRow(const TBitmap32& source, const TRect& area, double x0, double dx, float y, int count,
                         TColor32* out) const;
};

// Font of the text operations. Size in points; the rasteriser maps Name to an available face.
enum : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TFont32 {
  std::string Name = "MS Sans Serif";
  int Size = 8;
  uint8_t Style = 0; // fsBold | fsItalic | fsUnderline | fsStrikeOut
  bool operator==(const TFont32&) const = default;
};

class TBitmap32 {
public:
  TBitmap32();
  TBitmap32(int width, int height);
  // Copies pixels and properties (not OnChange).
  TBitmap32(const TBitmap32& other);
  TBitmap32& operator=(const TBitmap32& other);
  TBitmap32(TBitmap32&& other);
  TBitmap32& operator=(TBitmap32&& other);
  ~TBitmap32();

  // Size and pixels
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  TRect BoundsRect() const { return TRect{0, 0, FWidth, FHeight}; }
  TColor32* Bits() { return FBits.data(); }
  const TColor32* Bits() const { return FBits.data(); }
  TColor32* ScanLine(int y) { return FBits.data() + static_cast<std::size_t>(y) * FWidth; }
  const TColor32* ScanLine(int y) const { return FBits.data() + static_cast<std::size_t>(y) * FWidth; }

  // Negative sizes count as 0. Unchanged size: nothing happens, false. Otherwise a zero-filled array of the
  // new size, OnChange, true. Raises EBitmapError("Can't allocate the DIB handle").
  bool SetSize(int width, int height);
  bool SetSizeFrom(const TBitmap32& other) { return SetSize(other.Width(), other.Height()); }
  bool SetSizeFrom(const TDecodedPicture& picture) { return SetSize(picture.Width, picture.Height); }

  void Clear(TColor32 color = 0);

  // No bounds check: callers guarantee 0 <= x < Width, 0 <= y < Height.
  TColor32 PixelAt(int x, int y) const { return FBits[static_cast<std::size_t>(y) * FWidth + x]; }
  void SetPixel(int x, int y, TColor32 color) { FBits[static_cast<std::size_t>(y) * FWidth + x] = color; }
  // OuterColor outside the surface.
  TColor32 PixelSafe(int x, int y) const;

  // Fills columns x1..x2-1, rows y1..y2-1. FillRect does not clip.
  void FillRect(int x1, int y1, int x2, int y2, TColor32 color);
  void FillRectClipped(int x1, int y1, int x2, int y2, TColor32 color);
  // Clipped; weight = alpha of color, this surface's CombineMode.
  void FillRectBlend(int x1, int y1, int x2, int y2, TColor32 color);
  // One-pixel outline on the inside edge of the rectangle, opaque, clipped.
  void FrameRect(const TRect& rect, TColor32 color);
  void FrameRect(int x1, int y1, int x2, int y2, TColor32 color) { FrameRect(TRect{x1, y1, x2, y2}, color); }

  // Lines with both end points included, clipped.
  void HorzLine(int x1, int y, int x2, TColor32 color);
  void HorzLineBlend(int x1, int y, int x2, TColor32 color);
  void VertLine(int x, int y1, int y2, TColor32 color);
  void VertLineBlend(int x, int y1, int y2, TColor32 color);

  // This surface drawn onto dest with its top-left corner at (x, y), by this surface's DrawMode,
  // CombineMode and MasterAlpha.
  void Draw(TBitmap32& dest, int x, int y) const;
  // The same, writing only the pixels of dest inside clip; those pixels are exactly what the unclipped draw
  // writes there.
  void Draw(TBitmap32& dest, int x, int y, const TRect& clip) const;
  // srcRect of this surface onto dstRect of dest; different sizes are resampled with this surface's
  // Resampler. Raises EBitmapError("Source rectangle is invalid") when srcRect is not within this surface.
  void DrawStretched(TBitmap32& dest, const TRect& dstRect, const TRect& srcRect) const;
  void DrawStretched(TBitmap32& dest, const TRect& dstRect, const TRect& srcRect, const TRect& clip) const;
  void DrawStretched(TBitmap32& dest, const TRect& dstRect) const {
    DrawStretched(dest, dstRect, BoundsRect());
  }
  // The whole surface resampled onto the whole of dest, the samples stored as they are: drawing the result
  // at dstRect's corner writes the pixels DrawStretched onto a dstRect of dest's size writes wherever that
  // rectangle lies inside its target.
  void Resample(TBitmap32& dest) const;
  // Rows firstRow .. endRow - 1 of the same, sampled with resampler (a clone of this surface's own, for
  // instance), without signalling dest's change: threads may fill separate rows of one dest at once, each
  // with a resampler of its own.
  void ResampleRows(TBitmap32& dest, int32_t firstRow, int32_t endRow,
                    const TCustomResampler& resampler) const;

  // Text in this surface's Font; the text is single-byte Windows-1252.
  void RenderText(int x, int y, const std::string& text, TColor32 color);
  int TextWidth(const std::string& text) const;
  int TextHeight(const std::string& text) const;

  // Quarter turns (clockwise on screen for Rotate90); without a destination the surface turns in place.
  void Rotate90(TBitmap32* dest = nullptr);
  void Rotate180(TBitmap32* dest = nullptr);
  void Rotate270(TBitmap32* dest = nullptr);

  // Size, pixels and properties of source (OnChange stays); nullptr empties the surface.
  void Assign(const TBitmap32* source);
  void Assign(const TBitmap32& source) { Assign(&source); }
  // Size and pixels of a decoded picture.
  void Assign(const TDecodedPicture& picture);
  // The same, taking over the decoded pixels instead of copying them: a large picture is held once.
  void Assign(TDecodedPicture&& picture);

  // Windows BMP file image; saving writes 32 bits with alpha.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

  // Every pixel whose low 24 bits equal those of key becomes 0.
  void ClearKeyColor(TColor32 key);

  // Nested suspension of OnChange; the outermost EndUpdate fires it when something changed meanwhile.
  void BeginUpdate();
  void EndUpdate();
  // Fires OnChange now, or at the outermost EndUpdate.
  void Changed();
  int UpdateCount() const { return FUpdateCount; }
  std::function<void(TBitmap32&)> OnChange;

  // Properties
  TDrawMode DrawMode() const { return FDrawMode; }
  void SetDrawMode(TDrawMode value);
  TCombineMode CombineMode() const { return FCombineMode; }
  void SetCombineMode(TCombineMode value);
  int MasterAlpha() const { return FMasterAlpha; }
  // Clamped to 0..255.
  void SetMasterAlpha(int value);
  TColor32 OuterColor() const { return FOuterColor; }
  void SetOuterColor(TColor32 value) { FOuterColor = value; }
  TCustomResampler& Resampler() const { return *FResampler; }
  // Replaces (and frees) the current resampler; nullptr restores a nearest-neighbour one.
  void SetResampler(std::unique_ptr<TCustomResampler> resampler);
  TFont32& Font() { return FFont; }
  const TFont32& Font() const { return FFont; }
  void SetFont(const TFont32& font) { FFont = font; }

private:
  void CopyProperties(const TBitmap32& source);
  void RotateQuarter(int turns, TBitmap32* dest);

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  std::vector<TColor32> FBits;
  TDrawMode FDrawMode = dmOpaque;
  TCombineMode FCombineMode = cmBlend;
  int FMasterAlpha = 255;
  TColor32 FOuterColor = 0;
  std::unique_ptr<TCustomResampler> FResampler;
  TFont32 FFont;
  int FUpdateCount = 0;
  bool FChangedWhileLocked = false;
};

// Creates a resampler for bitmap, which becomes (and owns) the bitmap's resampler; returns it.
template <class R, class... Args> R& NewResampler(TBitmap32& bitmap, Args&&... args) {
  static_assert(std::is_base_of_v<TCustomResampler, R>);
  auto resampler = std::make_unique<R>(std::forward<Args>(args)...);
  R& result = *resampler;
  bitmap.SetResampler(std::move(resampler));
  return result;
}

} // namespace kv
