#include "gui/uTextRender.h"

#include "platform/uCp1252.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace kv {

namespace {

constexpr int Dpi = 96;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Code points of a UTF-8 string made by Cp1252ToUtf8 (one to three bytes a character).
std::vector<uint32_t> CodePoints(std::string_view cp1252) {
  const std::string utf8 = Cp1252ToUtf8(cp1252);
  std::vector<uint32_t> out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<uint8_t>(utf8[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;
    uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : c & 0x0F;
    for (int k = 1; k < n && i + k < utf8.size(); ++k)
      cp = cp << 6 | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}

struct TFaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using TFacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, TFaceDeleter>;

} // namespace

std::string MapFontName(const std::string& name) {
  static const char* const windowsUiNames[] = {
      "",       "ms sans serif", "microsoft sans serif", "ms shell dlg", "ms shell dlg 2", "system",
      "tahoma", "segoe ui"};
  const std::string lower = Lower(name);
  for (const char* ui : windowsUiNames)
    if (lower == ui) return "DejaVu Sans";
  return name;
}

// A glyph as drawn: its coverage (0 or 1 per pixel, row by row), where it sits against the pen and the
// baseline, and how far it moves the pen.
struct TGlyph {
  bool Loaded = false;
  int Advance = 0;
  int Left = 0, Top = 0;
  int Width = 0, Rows = 0;
  std::vector<uint8_t> Covered;
};

struct TFontRasterizer::TImpl {
  FT_Library Library = nullptr;
  bool FontconfigReady = false;
  // Faces by file and index, and the face chosen for a name and style (null: none found).
  std::map<std::pair<std::string, int>, TFacePtr> Faces;
  std::map<std::tuple<std::string, bool, bool>, FT_Face> Chosen;
  // Glyphs by face, size and code point: hinting a glyph costs far more than drawing it.
  std::map<std::tuple<FT_Face, int, uint32_t>, TGlyph> Glyphs;
  std::mutex Lock;

  TImpl() {
    if (FT_Init_FreeType(&Library) != 0) Library = nullptr;
    FontconfigReady = FcInit() == FcTrue;
  }
  ~TImpl() {
    Chosen.clear();
    Faces.clear();
    if (Library) FT_Done_FreeType(Library);
    if (FontconfigReady) FcFini();
  }

  FT_Face Find(const TFont32& font) {
    if (!Library || !FontconfigReady) return nullptr;
    const bool bold = font.Style & fsBold, italic = font.Style & fsItalic;
    const std::string family = MapFontName(font.Name);
    const auto key = std::make_tuple(Lower(family), bold, italic);
    if (const auto it = Chosen.find(key); it != Chosen.end()) return it->second;

    FT_Face face = nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        face = Open(reinterpret_cast<const char*>(file), index);
      }
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    Chosen[key] = face;
    return face;
  }

  FT_Face Open(const std::string& file, int index) {
    const auto key = std::make_pair(file, index);
    if (const auto it = Faces.find(key); it != Faces.end()) return it->second.get();
    FT_Face face = nullptr;
    if (FT_New_Face(Library, file.c_str(), index, &face) != 0) return nullptr;
    Faces.emplace(key, TFacePtr(face));
    return face;
  }

  // The face at the font's size, or null when there is none or the size is not positive.
  FT_Face Sized(const TFont32& font) {
    if (font.Size <= 0) return nullptr;
    FT_Face face = Find(font);
    if (!face) return nullptr;
    if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(font.Size) * 64, Dpi, Dpi) != 0) return nullptr;
    return face;
  }

  // The glyph of cp in the sized face; not Loaded when the face has no glyph for it.
  const TGlyph& Glyph(FT_Face face, int size, uint32_t cp) {
    const auto key = std::make_tuple(face, size, cp);
    if (const auto it = Glyphs.find(key); it != Glyphs.end()) return it->second;
    TGlyph& glyph = Glyphs[key];
    if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) return glyph;
    const FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP || slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
      FT_Render_Glyph(slot, FT_RENDER_MODE_MONO);
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.Loaded = true;
    glyph.Advance = static_cast<int>((slot->advance.x + 32) >> 6);
    glyph.Left = slot->bitmap_left;
    glyph.Top = slot->bitmap_top;
    glyph.Width = static_cast<int>(bitmap.width);
    glyph.Rows = static_cast<int>(bitmap.rows);
    glyph.Covered.resize(static_cast<std::size_t>(glyph.Width) * static_cast<std::size_t>(glyph.Rows));
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      const unsigned char* bits = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
      for (unsigned col = 0; col < bitmap.width; ++col)
        glyph.Covered[row * bitmap.width + col] = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                                                      ? (bits[col >> 3] >> (7 - (col & 7))) & 1
                                                      : bits[col] >= 128;
    }
    return glyph;
  }

  static int Ascent(FT_Face face) { return static_cast<int>((face->size->metrics.ascender + 63) >> 6); }
  static int Descent(FT_Face face) { return static_cast<int>((-face->size->metrics.descender + 63) >> 6); }
};

TFontRasterizer::TFontRasterizer() : Impl(std::make_unique<TImpl>()) {}
TFontRasterizer::~TFontRasterizer() = default;

TFontRasterizer& TFontRasterizer::Instance() {
  static TFontRasterizer instance;
  return instance;
}

bool TFontRasterizer::HasFace(const TFont32& font) {
  std::lock_guard guard(Impl->Lock);
  return Impl->Sized(font) != nullptr;
}

TTextExtent TFontRasterizer::Measure(const TFont32& font, std::string_view text) {
  std::lock_guard guard(Impl->Lock);
  FT_Face face = Impl->Sized(font);
  if (!face) return {};
  TTextExtent extent;
  extent.Height = TImpl::Ascent(face) + TImpl::Descent(face);
  for (uint32_t cp : CodePoints(text)) extent.Width += Impl->Glyph(face, font.Size, cp).Advance;
  return extent;
}

void TFontRasterizer::Draw(TBitmap32& target, int x, int y, const TFont32& font, std::string_view text,
                           TColor32 color) {
  std::lock_guard guard(Impl->Lock);
  FT_Face face = Impl->Sized(font);
  if (!face || target.Empty()) return;
  const int baseline = y + TImpl::Ascent(face);
  auto plot = [&](int px, int py) {
    if (px >= 0 && py >= 0 && px < target.Width() && py < target.Height()) target.SetPixel(px, py, color);
  };
  int pen = x;
  for (uint32_t cp : CodePoints(text)) {
    const TGlyph& glyph = Impl->Glyph(face, font.Size, cp);
    if (!glyph.Loaded) continue;
    const int left = pen + glyph.Left, top = baseline - glyph.Top;
    for (int row = 0; row < glyph.Rows; ++row)
      for (int col = 0; col < glyph.Width; ++col)
        if (glyph.Covered[static_cast<std::size_t>(row) * glyph.Width + col]) plot(left + col, top + row);
    pen += glyph.Advance;
  }
  // Underline and strike-out as solid lines across the advance of the text.
  const auto thickness =
      std::max(1, static_cast<int>(FT_MulFix(face->underline_thickness, face->size->metrics.y_scale) >> 6));
  auto line = [&](int top) {
    for (int row = top; row < top + thickness; ++row)
      for (int px = x; px < pen; ++px) plot(px, row);
  };
  if (font.Style & fsUnderline)
    line(baseline - static_cast<int>(FT_MulFix(face->underline_position, face->size->metrics.y_scale) >> 6));
  if (font.Style & fsStrikeOut) line(baseline - TImpl::Ascent(face) / 3);
}

// ---- The surface's text operations

int TBitmap32::TextWidth(const std::string& text) const {
  return TFontRasterizer::Instance().Measure(Font(), text).Width;
}

int TBitmap32::TextHeight(const std::string& text) const {
  return TFontRasterizer::Instance().Measure(Font(), text).Height;
}

void TBitmap32::RenderText(int x, int y, const std::string& text, TColor32 color) {
  // Drawn white without anti-aliasing into a cleared surface one space wider than the text; the coverage
  // becomes the alpha of the requested colour, and the colour's own alpha the master alpha.
  TFontRasterizer& rasterizer = TFontRasterizer::Instance();
  const TTextExtent extent = rasterizer.Measure(Font(), text + " ");
  if (extent.Width <= 0 || extent.Height <= 0) return;
  TBitmap32 glyphs;
  glyphs.SetSize(extent.Width, extent.Height);
  rasterizer.Draw(glyphs, 0, 0, Font(), text, clWhite32);
  const TColor32 rgb = color & 0x00FFFFFFu;
  TColor32* p = glyphs.Bits();
  for (std::size_t i = 0, n = static_cast<std::size_t>(extent.Width) * extent.Height; i < n; ++i)
    if (p[i] != 0) p[i] = (p[i] & 0xFF) << 24 | rgb;
  glyphs.SetDrawMode(dmBlend);
  glyphs.SetMasterAlpha(AlphaComponent(color));
  glyphs.SetCombineMode(CombineMode());
  glyphs.Draw(*this, x, y);
}

} // namespace kv
