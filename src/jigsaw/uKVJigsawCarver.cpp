#include "jigsaw/uKVJigsawCarver.h"

#include "jigsaw/uKVMaskCodes.h"
#include "jigsaw/uRoundHalfEven.h"

#include <algorithm>

namespace kv {

namespace {

uint8_t ClampedBevel(uint8_t bevelLevel) {
  return std::min<uint8_t>(bevelLevel, 7);
}

} // namespace

const std::array<uint8_t, 256>& TKVJigsawCarver::AlphaTable(uint8_t bevelLevel) {
  // Every template draw needs one; the extended-precision rounding is worth doing once per level.
  static const std::array<std::array<uint8_t, 256>, 8> tables = [] {
    std::array<std::array<uint8_t, 256>, 8> all{};
    for (uint8_t level = 0; level < all.size(); ++level) {
      const long double factor = 1.0L - 0.1L * level;
      for (int v = 0; v < 256; ++v)
        all[level][static_cast<std::size_t>(v)] =
            static_cast<uint8_t>(std::clamp<int64_t>(RoundExact(factor * v), 0, 255));
    }
    return all;
  }();
  return tables[ClampedBevel(bevelLevel)];
}

// One pass over the mask as a single interpreter loop: the instructions share the row and column state.
void TKVJigsawCarver::DrawEdgeTemplate(const TKVPieceTemplate& pieceTemplate, TBitmap32& dest, int32_t x,
                                       int32_t y, int32_t side) const {
  const std::vector<uint8_t>& mask = pieceTemplate.Masks[side < 2 ? 0 : 1];
  if (mask.empty()) return;
  const std::array<uint8_t, 256>& alpha = AlphaTable(BevelLevel);
  const TColor32 contour = static_cast<TColor32>(176 - 17 * ClampedBevel(BevelLevel)) << 24;
  const TColor32 outline = Color32(OutlineColor);
  const int32_t width = dest.Width(), height = dest.Height();
  const std::size_t size = mask.size();
  std::size_t pos = 0;

  for (int32_t row = 0; row < pieceTemplate.Height; ++row) {
    const int32_t py = y + row;
    if (py >= height) return;
    const bool rowInside = py >= 0;
    TColor32* line = rowInside ? dest.ScanLine(py) : nullptr;
    // Pixel access for one instruction: only pixels inside dest are touched.
    auto apply = [&](int32_t px, auto&& change) {
      if (rowInside && px >= 0 && px < width) line[px] = change(line[px]);
    };
    int32_t col = 0;
    while (col < pieceTemplate.Width) {
      if (pos >= size) return; // a mask that ends early ends the template
      uint8_t b = mask[pos++];
      bool reread = true;
      while (reread) {
        reread = false;
        const int32_t px = x + col;
        if (b > MaskCode::ClearBase) {
          const int32_t n = b - MaskCode::ClearBase;
          // HorzLine(px, py, px + n, 0), clipped: n + 1 pixels.
          if (rowInside) {
            const int32_t from = std::max(px, 0), to = std::min(px + n, width - 1);
            if (from <= to) std::fill(line + from, line + to + 1, 0u);
          }
          col += n;
        } else if (b > MaskCode::HighlightBase) {
          const bool shadow = b > MaskCode::ShadowBase;
          const int32_t n = shadow ? b - MaskCode::ShadowBase : b - MaskCode::HighlightBase;
          const TColor32 colour = shadow ? 0x00000000u : 0x00FFFFFFu;
          for (int32_t k = 0; k < n; ++k) {
            if (pos >= size) return;
            const uint8_t v = mask[pos++];
            if (!OutlineOption)
              apply(px + k, [&](TColor32 p) {
                return BlendReg(static_cast<TColor32>(alpha[v]) << 24 | colour, p) | 0xFF000000u;
              });
          }
          col += n;
        } else {
          const int32_t n = b;
          if (pos >= size) return;
          const uint8_t m = mask[pos++];
          if (m == MaskCode::Keep) {
            col += n;
          } else if (m == MaskCode::Contour) {
            if (OutlineOption) {
              const TCombineMode previous = dest.CombineMode();
              dest.SetCombineMode(cmMerge);
              dest.HorzLineBlend(px, py, px + n, outline);
              dest.SetCombineMode(previous);
            } else {
              for (int32_t k = 0; k < n; ++k)
                apply(px + k, [&](TColor32 p) { return BlendReg(contour, p) | 0xFF000000u; });
            }
            col += n;
          } else if (m == MaskCode::Fringe) {
            for (int32_t k = 0; k < n; ++k) {
              if (pos >= size) return;
              const uint8_t v = mask[pos++];
              const TColor32 fringe = OutlineOption ? 0u : static_cast<TColor32>(alpha[v] | 32) << 24;
              apply(px + k, [&](TColor32) { return fringe; });
            }
            col += n;
          } else {
            b = m; // not a mode: the byte is the next instruction
            reread = true;
          }
        }
      }
    }
  }
}

void TKVJigsawCarver::BuildPieceBitmap(const TBitmap32& source, TBitmap32& dest, int32_t x, int32_t y,
                                       const TKVLayout& cell, const TKVPieceEdges& edges) const {
  const int32_t cw = cell.CellWidth, ch = cell.CellHeight;
  TPieceFrame frame;
  frame.TopMargin = edges.Top ? edges.Top->Height / 2 : 0;
  frame.LeftMargin = edges.Left ? edges.Left->Width / 2 : 0;
  const int32_t bottomMargin = edges.Bottom ? edges.Bottom->Height / 2 : 0;
  const int32_t rightMargin = edges.Right ? edges.Right->Width / 2 : 0;
  frame.Width = cw + frame.LeftMargin + rightMargin;
  frame.Height = ch + frame.TopMargin + bottomMargin;
  frame.Right = frame.LeftMargin + cw;
  frame.Bottom = frame.TopMargin + ch;
  frame.Lines = cw > 100 ? 4 : cw >= 50 ? 3 : 2;
  frame.Base = cw > 100 ? 0 : cw >= 50 ? 50 : 30;
  const int32_t w = frame.Width, h = frame.Height;

  // Opaque copy of the piece's rectangle; parts outside the source stay transparent. A new size comes
  // cleared, and a rectangle inside the source (every piece of a cut) overwrites all of it anyway.
  const int32_t x0 = std::max(0, -x), y0 = std::max(0, -y);
  const int32_t x1 = std::min(w, source.Width() - x), y1 = std::min(h, source.Height() - y);
  const bool covered = x0 == 0 && y0 == 0 && x1 == w && y1 == h;
  if (!dest.SetSize(w, h) && !covered) dest.Clear(0);
  dest.SetDrawMode(dmBlend);
  dest.SetCombineMode(cmBlend);
  for (int32_t row = y0; row < y1; ++row)
    if (x1 > x0)
      std::copy(source.ScanLine(y + row) + x + x0, source.ScanLine(y + row) + x + x1,
                dest.ScanLine(row) + x0);

  DrawSides(dest, frame, edges);

  // Corners outside the cell body between two templates.
  const int32_t leftMargin = frame.LeftMargin, topMargin = frame.TopMargin, r = frame.Right, b = frame.Bottom;
  if (edges.Top) {
    if (edges.Left) dest.FillRectClipped(0, 0, leftMargin, topMargin, 0);
    if (edges.Right) dest.FillRectClipped(r, 0, w, topMargin, 0);
  }
  if (edges.Bottom) {
    if (edges.Left) dest.FillRectClipped(0, b, leftMargin, h, 0);
    if (edges.Right) dest.FillRectClipped(r, b, w, h, 0);
  }
}

void TKVJigsawCarver::DrawSides(TBitmap32& dest, const TPieceFrame& frame, const TKVPieceEdges& edges) const {
  const int32_t leftMargin = frame.LeftMargin, topMargin = frame.TopMargin, r = frame.Right, b = frame.Bottom;
  const int32_t lines = frame.Lines, base = frame.Base;
  auto lineAlpha = [&](int32_t k) { return static_cast<TColor32>(28 * lines + base - 28 * (k - 1)) << 24; };
  const TKVPieceTemplate* tTop = edges.Top;
  const TKVPieceTemplate* tBottom = edges.Bottom;
  const TKVPieceTemplate* tRight = edges.Right;
  const TKVPieceTemplate* tLeft = edges.Left;
  const TColor32 outline = Color32(OutlineColor);
  const TColor32 white = 0x00FFFFFFu;
  // Top
  if (tTop) {
    DrawEdgeTemplate(*tTop, dest, leftMargin, topMargin - tTop->Height / 2, 0);
  } else if (OutlineOption) {
    dest.HorzLineBlend(leftMargin, topMargin, r, outline);
  } else {
    dest.SetCombineMode(cmMerge);
    dest.HorzLineBlend(leftMargin, topMargin, r, 0xFF010101u);
    for (int32_t k = 1; k <= lines; ++k)
      dest.HorzLineBlend(leftMargin + k, topMargin + k, r - k, lineAlpha(k) | white);
    dest.SetCombineMode(cmBlend);
  }
  // Right
  if (tRight) {
    DrawEdgeTemplate(*tRight, dest, r - tRight->Width / 2, topMargin, 1);
  } else if (OutlineOption) {
    dest.VertLineBlend(r - 1, topMargin, b, outline);
  } else {
    dest.SetCombineMode(cmMerge);
    dest.VertLineBlend(r - 1, topMargin, b, 0xFF010101u);
    for (int32_t k = 1; k <= lines; ++k) dest.VertLineBlend(r - 1 - k, topMargin + k, b - k, lineAlpha(k));
    dest.SetCombineMode(cmBlend);
  }
  // Bottom. The border line ends at R - 1: column R belongs to the right neighbour, and the right template,
  // drawn before this side, can no longer clear it.
  if (tBottom) {
    DrawEdgeTemplate(*tBottom, dest, leftMargin, b - tBottom->Height / 2, 2);
  } else if (OutlineOption) {
    dest.HorzLineBlend(leftMargin, b - 1, r - 1, outline);
  } else {
    dest.SetCombineMode(cmMerge);
    dest.HorzLineBlend(leftMargin, b - 1, r - 1, 0xFF010101u);
    for (int32_t k = 1; k <= lines; ++k) dest.HorzLineBlend(leftMargin + k, b - 1 - k, r - k, lineAlpha(k));
    dest.SetCombineMode(cmBlend);
  }
  // Left
  if (tLeft) {
    DrawEdgeTemplate(*tLeft, dest, leftMargin - tLeft->Width / 2, topMargin, 3);
  } else if (OutlineOption) {
    dest.VertLineBlend(leftMargin, topMargin, b - 1, outline);
  } else {
    dest.SetCombineMode(cmMerge);
    dest.VertLineBlend(leftMargin, topMargin, b - 1, 0xFF010101u);
    for (int32_t k = 1; k <= lines; ++k)
      dest.VertLineBlend(leftMargin + k, topMargin + k, b - 1 - k, lineAlpha(k) | white);
    dest.SetCombineMode(cmBlend);
  }
}

} // namespace kv
