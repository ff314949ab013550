#include "jigsaw/uKVJigsawBoardRender.h"

#include "gui/uBlend.h"
#include "gui/uResamplers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <span>

namespace kv {

TKVJigsawBoardRenderer::TKVJigsawBoardRenderer() {
  Scratch.SetDrawMode(dmBlend);
  NewResampler<TLinearResampler>(Scratch);
  ShadowScratch.SetDrawMode(dmBlend);
  TurnCanvas.SetDrawMode(dmBlend);
}

bool TKVJigsawBoardRenderer::Expand(const TKVBoardPiece& piece, const TKVPieceSprite& sprite, int r) {
  const TCodedImage& coded = sprite.Images[r & 3];
  const int32_t w = piece.RotatedWidth(r), h = piece.RotatedHeight(r);
  if (coded.empty() || w <= 0 || h <= 0) return false;
  // Resized only when the size changes; every word is written below.
  Scratch.SetSize(w, h);
  const std::size_t words = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  const std::size_t written = TRLE::Decode(std::span<const uint8_t>(coded.data(), coded.size()),
                                           std::span<uint32_t>(Scratch.Bits(), words));
  // A short coded image leaves the rest clear rather than showing the previous piece.
  if (written < words) std::memset(Scratch.Bits() + written, 0, (words - written) * sizeof(uint32_t));
  return true;
}

void TKVJigsawBoardRenderer::DrawPiece(const TKVPainter& painter, const TKVBoardPiece& piece,
                                       const TKVPieceSprite& sprite, TPoint origin) {
  const TCodedImage& coded = sprite.Images[piece.Rotation & 3];
  const int32_t w = piece.DisplayWidth(), h = piece.DisplayHeight();
  if (coded.empty() || w <= 0 || h <= 0) return;
  BlendCoded(painter, coded, w, h, origin.X + piece.X, origin.Y + piece.Y, piece.Marked ? 128 : 255);
}

void TKVJigsawBoardRenderer::BlendRun(const uint8_t* source, TColor32* dest, int32_t count, TCombineMode mode,
                                      int masterAlpha) {
  if (mode != cmBlend || masterAlpha < 255) {
    Run.resize(static_cast<std::size_t>(count));
    std::memcpy(Run.data(), source, Run.size() * 4);
    CombineLine(Run.data(), dest, count, mode, masterAlpha);
    return;
  }
  // A piece is opaque inside and soft only at its rim: opaque spans blend to themselves and are copied, the
  // rest is blended pixel by pixel (a transparent pixel leaves the target as it is).
  auto opaque = [&](int32_t i) { return source[4 * i + 3] == 0xFF; };
  for (int32_t i = 0; i < count;) {
    int32_t j = i;
#if defined(__SSE2__)
    const __m128i alphaBits = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; j + 4 <= count; j += 4) {
      const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * j));
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(words, alphaBits), alphaBits)) != 0xFFFF) break;
    }
#endif
    while (j < count && opaque(j)) ++j;
    if (j > i) {
      std::memcpy(dest + i, source + 4 * i, static_cast<std::size_t>(j - i) * 4);
      i = j;
      continue;
    }
    for (; j < count && !opaque(j); ++j) {
      TColor32 f;
      std::memcpy(&f, source + 4 * j, 4);
      if (const uint32_t a = f >> 24; a != 0) dest[j] = LerpReg(f, dest[j], a);
    }
    i = j;
  }
}

void TKVJigsawBoardRenderer::BlendCoded(const TKVPainter& painter, const TCodedImage& coded, int32_t w,
                                        int32_t h, int32_t left, int32_t top, int masterAlpha) {
  const TRect clip = IntersectRect(painter.Clip(), TRect{left, top, left + w, top + h});
  if (clip.IsEmpty()) return;
  TBitmap32& target = painter.Target();
  const TCombineMode mode = Scratch.CombineMode();
  const uint8_t* data = coded.data();
  const std::size_t size = coded.size();
  std::size_t in = 0;
  // The place of the next pixel: row and column of the image.
  int32_t row = 0, col = 0;
  const int32_t lastRow = std::min(h, clip.Bottom - top);
  // The records as TRLE::Decode reads them; pixels past a short image stay clear, as do zero runs, which
  // blending would leave as they are.
  while (row < lastRow && size - in >= 8) {
    uint32_t count = 0, first = 0;
    std::memcpy(&count, data + in, 4);
    std::memcpy(&first, data + in + 4, 4);
    in += 4;
    if (first == 0) {
      in += 4;
      const int64_t next = int64_t{col} + count;
      row = static_cast<int32_t>(std::min<int64_t>(row + next / w, h));
      col = static_cast<int32_t>(next % w);
      continue;
    }
    const std::size_t available = (size - in) / 4;
    const std::size_t n = std::min<std::size_t>(count, available);
    // The run row by row, each part clipped.
    for (std::size_t done = 0; done < n && row < lastRow;) {
      const int32_t length =
          static_cast<int32_t>(std::min<std::size_t>(n - done, static_cast<std::size_t>(w - col)));
      const int32_t y = top + row, x0 = left + col;
      const int32_t from = std::max(x0, clip.Left), to = std::min(x0 + length, clip.Right);
      if (y >= clip.Top && from < to)
        BlendRun(data + in + (done + static_cast<std::size_t>(from - x0)) * 4, target.ScanLine(y) + from,
                 to - from, mode, masterAlpha);
      done += static_cast<std::size_t>(length);
      col += length;
      if (col == w) {
        col = 0;
        ++row;
      }
    }
    in += n * 4;
    if (n < count) break; // the record claims more than there is; nothing after it can be trusted
  }
  target.Changed();
}

void TKVJigsawBoardRenderer::DrawShadow(const TKVPainter& painter, const TKVBoardPiece& piece,
                                        TKVPieceSprite& sprite, TPoint origin) {
  const int r = piece.Rotation & 3;
  const int32_t w = piece.DisplayWidth(), h = piece.DisplayHeight();
  if (w <= 0 || h <= 0) return;
  const std::size_t words = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  TShadowImage& shadow = sprite.Shadows[r];
  if (shadow.empty()) {
    if (sprite.Images[r].empty()) return;
    // The expanded image, blurred in place into the shadow; it stays with the piece.
    const std::size_t pixels =
        sprite.ShadowPixels > 0 ? static_cast<std::size_t>(sprite.ShadowPixels) : words;
    shadow.assign(std::max(pixels, words), 0);
    const std::size_t written =
        TRLE::Decode(std::span<const uint8_t>(sprite.Images[r].data(), sprite.Images[r].size()),
                     std::span<uint32_t>(shadow.data(), words));
    std::fill(shadow.begin() + static_cast<std::ptrdiff_t>(written), shadow.end(), 0u);
    BlurShadow(shadow.data(), shadow.data(), w, h, ShadowGrey, AverageTable());
  }
  ShadowScratch.SetSize(w, h);
  const std::size_t copied = std::min(words, shadow.size());
  std::memcpy(ShadowScratch.Bits(), shadow.data(), copied * sizeof(uint32_t));
  if (copied < words) std::memset(ShadowScratch.Bits() + copied, 0, (words - copied) * sizeof(uint32_t));
  painter.Draw(ShadowScratch, origin.X + piece.X + ShadowOffset, origin.Y + piece.Y + ShadowOffset);
}

void TKVJigsawBoardRenderer::DrawTurnFrame(const TKVPainter& painter, const TKVBoardPiece& piece,
                                           const TKVPieceSprite& sprite, TPoint origin) {
  // Rotation was advanced when the turn started: the frame shows the image before it.
  const int before = (piece.Rotation + 3) & 3;
  if (!Expand(piece, sprite, before)) return;
  const int32_t w = piece.RotatedWidth(before), h = piece.RotatedHeight(before);
  Transformation.Clear();
  Transformation.Rotate(static_cast<float>(piece.PivotX), static_cast<float>(piece.PivotY),
                        static_cast<float>(piece.Angle));
  Transformation.Translate(static_cast<float>(w), static_cast<float>(h));
  Transformation.SetSourceRect(TFloatRect{0, 0, static_cast<float>(w), static_cast<float>(h)});
  TurnCanvas.SetSize(3 * w, 3 * h);
  TurnCanvas.Clear(0);
  Transform(TurnCanvas, Scratch, Transformation);
  painter.Draw(TurnCanvas, origin.X + piece.X - w, origin.Y + piece.Y - h);
}

TColor32 TKVJigsawBoardRenderer::ImagePixel(const TKVBoardPiece& piece, const TKVPieceSprite& sprite,
                                            int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= piece.DisplayWidth() || y >= piece.DisplayHeight()) return 0;
  if (!Expand(piece, sprite, piece.Rotation)) return 0;
  return Scratch.PixelSafe(x, y);
}

TRect TKVJigsawBoardRenderer::ShadowRect(const TKVBoardPiece& piece) {
  return OffsetRect(piece.DisplayRect(), ShadowOffset, ShadowOffset);
}

TRect TKVJigsawBoardRenderer::TurnFrameRect(const TKVBoardPiece& piece) {
  const int before = (piece.Rotation + 3) & 3;
  const int32_t w = piece.RotatedWidth(before), h = piece.RotatedHeight(before);
  return TRect{piece.X - w, piece.Y - h, piece.X + 2 * w, piece.Y + 2 * h};
}

TPoint TKVJigsawBoardRenderer::QuarterTurnShift(const TKVBoardPiece& piece) {
  const int before = (piece.Rotation + 3) & 3;
  const int32_t w = piece.RotatedWidth(before), h = piece.RotatedHeight(before);
  Transformation.Clear();
  Transformation.Rotate(static_cast<float>(piece.PivotX), static_cast<float>(piece.PivotY), -90.0f);
  Transformation.Translate(static_cast<float>(w), static_cast<float>(h));
  const TFloatRect bounds =
      Transformation.GetTransformedBounds(TFloatRect{0, 0, static_cast<float>(w), static_cast<float>(h)});
  // Round to nearest, ties to even (the default rounding mode).
  const auto lx = static_cast<int32_t>(std::nearbyint(static_cast<double>(bounds.Left) - 0.5));
  const auto ly = static_cast<int32_t>(std::nearbyint(static_cast<double>(bounds.Top) - 0.5));
  return TPoint{lx - w, ly - h};
}

} // namespace kv
