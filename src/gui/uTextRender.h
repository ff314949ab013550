// The font rasteriser behind the surface's text operations: faces found by fontconfig for a font name and
// style, glyphs rendered by FreeType without anti-aliasing.
#pragma once

#include "gui/uBitmap32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kv {

// Windows user-interface face names ("MS Sans Serif", "MS Shell Dlg", "Tahoma", ...) and an empty name
// become "DejaVu Sans"; any other name is handed to fontconfig as it is.
std::string MapFontName(const std::string& name);

struct TTextExtent {
  int Width = 0;
  int Height = 0;
};

// Process-wide and used from the user-interface thread; the FreeType library and the faces live as long as
// the process. Sizes are points at 96 dots per inch. Text is single-byte Windows-1252.
class TFontRasterizer {
public:
  static TFontRasterizer& Instance();
  ~TFontRasterizer();
  TFontRasterizer(const TFontRasterizer&) = delete;
  TFontRasterizer& operator=(const TFontRasterizer&) = delete;

  // Whether a face can be found for the font; without one text draws nothing and measures 0.
  bool HasFace(const TFont32& font);
  // Width: the sum of the glyph advances. Height: the line height (ascent + descent), whatever the text.
  TTextExtent Measure(const TFont32& font, std::string_view text);
  // Sets every pixel a glyph covers (coverage 0 or 255) to color, with the top of the line at (x, y);
  // clipped to the surface.
  void Draw(TBitmap32& target, int x, int y, const TFont32& font, std::string_view text, TColor32 color);

private:
  TFontRasterizer();
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

} // namespace kv
