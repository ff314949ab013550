#include "jigsaw/uKVJigsawBoardRender.h"

#include "gui/uBlend.h"
#include "gui/uResamplers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

namespace kv {

TKVJigsawBoardRenderer::TKVJigsawBoardRenderer() {
  Scratch.SetDrawMode(dmBlend);
  NewResampler<TLinearResampler>(Scratch);
  ShadowScratch.SetDrawMode(dmBlend);
  TurnCanvas.SetDrawMode(dmBlend);
}

const TCodedImage& TKVJigsawBoardRenderer::Image(const TKVBoardPiece& piece, TKVPieceSprite& sprite, int r) {
  TCodedImage& image = sprite.Images[r & 3];
  if (!image.empty()) return image;
  for (int k = 0; k < 4; ++k)
    if (!sprite.Images[k].empty()) {
      image = TurnCodedImage(sprite.Images[k], piece.RotatedWidth(k), piece.RotatedHeight(k), (r - k) & 3);
      break;
    }
  return image;
}

bool TKVJigsawBoardRenderer::Expand(const TKVBoardPiece& piece, TKVPieceSprite& sprite, int r) {
  const TCodedImage& coded = Image(piece, sprite, r);
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
                                       TKVPieceSprite& sprite, TPoint origin) {
  const int r = piece.Rotation & 3;
  const TCodedImage& coded = Image(piece, sprite, r);
  const int32_t w = piece.DisplayWidth(), h = piece.DisplayHeight();
  if (coded.empty() || w <= 0 || h <= 0) return;
  TImageSpans& spans = sprite.Spans[r];
  // Read again should the piece's size ever differ from the one the spans were read for.
  if (spans.RowStart.size() != static_cast<std::size_t>(h) + 1) spans = ReadSpans(coded, w, h);
  BlendSpans(painter, coded, spans, w, h, origin.X + piece.X, origin.Y + piece.Y, piece.Marked ? 128 : 255);
}

void TKVJigsawBoardRenderer::BlendRun(const uint8_t* source, TColor32* dest, int32_t count, TCombineMode mode,
                                      int masterAlpha) {
  Run.resize(static_cast<std::size_t>(count));
  std::memcpy(Run.data(), source, Run.size() * 4);
  CombineLine(Run.data(), dest, count, mode, masterAlpha);
}

void TKVJigsawBoardRenderer::BlendMixed(const uint8_t* source, TColor32* dest, int32_t count) {
  int32_t i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= count; i += 4) {
    __m128i* target = reinterpret_cast<__m128i*>(dest + i);
    _mm_storeu_si128(target, BlendPixel4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * i)),
                                         _mm_loadu_si128(target)));
  }
#endif
  for (; i < count; ++i) {
    TColor32 f;
    std::memcpy(&f, source + 4 * i, 4);
    dest[i] = BlendPixel(f, dest[i], f >> 24);
  }
}

void TKVJigsawBoardRenderer::BlendSpans(const TKVPainter& painter, const TCodedImage& coded,
                                        const TImageSpans& spans, int32_t w, int32_t h, int32_t left,
                                        int32_t top, int masterAlpha) {
  const TRect clip = IntersectRect(painter.Clip(), TRect{left, top, left + w, top + h});
  if (clip.IsEmpty() || !spans.Read()) return;
  TBitmap32& target = painter.Target();
  const TCombineMode mode = Scratch.CombineMode();
  const bool plain = mode == cmBlend && masterAlpha >= 255;
  const uint8_t* data = coded.data();
  for (int32_t y = clip.Top; y < clip.Bottom; ++y) {
    const auto row = static_cast<std::size_t>(y - top);
    TColor32* line = target.ScanLine(y);
    for (uint32_t k = spans.RowStart[row]; k < spans.RowStart[row + 1]; ++k) {
      const TImageSpan& span = spans.Spans[k];
      const int32_t x0 = left + span.X;
      const int32_t from = std::max(x0, clip.Left), to = std::min(x0 + span.Length, clip.Right);
      if (from >= to) continue;
      const uint8_t* source = data + span.Offset + static_cast<std::size_t>(from - x0) * 4;
      if (plain && span.Opaque)
        std::memcpy(line + from, source, static_cast<std::size_t>(to - from) * 4);
      else if (plain)
        BlendMixed(source, line + from, to - from);
      else
        BlendRun(source, line + from, to - from, mode, masterAlpha);
    }
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
    const TCodedImage& coded = Image(piece, sprite, r);
    if (coded.empty()) return;
    const std::size_t pixels =
        sprite.ShadowPixels > 0 ? static_cast<std::size_t>(sprite.ShadowPixels) : words;
    shadow.assign(std::max(pixels, words), 0);
    const bool owed = (sprite.OwedShadows & 1u << r) != 0;
    // An owed shadow is the build's: made from the image, which stays as it is. Any other is the expanded
    // image, blurred in place.
    if (owed) OwedShadowSource.assign(words, 0);
    uint32_t* image = owed ? OwedShadowSource.data() : shadow.data();
    TRLE::Decode(std::span<const uint8_t>(coded.data(), coded.size()), std::span<uint32_t>(image, words));
    if (owed)
      MakeShadow(image, shadow.data(), w, h, ShadowGrey, AverageTable());
    else
      BlurShadow(shadow.data(), shadow.data(), w, h, ShadowGrey, AverageTable());
    sprite.OwedShadows = static_cast<uint8_t>(sprite.OwedShadows & ~(1u << r));
  }
  ShadowScratch.SetSize(w, h);
  const std::size_t copied = std::min(words, shadow.size());
  std::memcpy(ShadowScratch.Bits(), shadow.data(), copied * sizeof(uint32_t));
  if (copied < words) std::memset(ShadowScratch.Bits() + copied, 0, (words - copied) * sizeof(uint32_t));
  painter.Draw(ShadowScratch, origin.X + piece.X + ShadowOffset, origin.Y + piece.Y + ShadowOffset);
}

void TKVJigsawBoardRenderer::DrawTurnFrame(const TKVPainter& painter, const TKVBoardPiece& piece,
                                           TKVPieceSprite& sprite, TPoint origin) {
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

TColor32 TKVJigsawBoardRenderer::ImagePixel(const TKVBoardPiece& piece, TKVPieceSprite& sprite, int32_t x,
                                            int32_t y) {
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

} // namespace kv
