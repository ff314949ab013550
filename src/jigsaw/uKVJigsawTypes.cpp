#include "jigsaw/uKVJigsawTypes.h"

#include <algorithm>

namespace kv {

void TPiece::SetImage(int k, std::vector<uint8_t> coded) {
  Images[k] = std::move(coded);
  ImageSizes[k] = static_cast<int32_t>(Images[k].size());
}

TJigsawPieceState PieceState(const TPiece& piece) {
  TJigsawPieceState state;
  state.LeftEdge = piece.LeftEdge;
  state.TopEdge = piece.TopEdge;
  state.RightEdge = piece.RightEdge;
  state.BottomEdge = piece.BottomEdge;
  state.X = piece.X;
  state.Y = piece.Y;
  state.CorrectX = piece.CorrectX;
  state.CorrectY = piece.CorrectY;
  state.StartX = piece.StartX;
  state.StartY = piece.StartY;
  state.Width = piece.Width;
  state.Height = piece.Height;
  state.Rotation = piece.Rotation;
  state.StartRotation = piece.StartRotation;
  state.Joined = piece.Joined;
  return state;
}

void ApplyPieceState(TPiece& piece, const TJigsawPieceState& state) {
  piece.LeftEdge = state.LeftEdge;
  piece.TopEdge = state.TopEdge;
  piece.RightEdge = state.RightEdge;
  piece.BottomEdge = state.BottomEdge;
  piece.X = state.X;
  piece.Y = state.Y;
  piece.CorrectX = state.CorrectX;
  piece.CorrectY = state.CorrectY;
  piece.StartX = state.StartX;
  piece.StartY = state.StartY;
  piece.Width = state.Width;
  piece.Height = state.Height;
  piece.Rotation = state.Rotation;
  piece.StartRotation = state.StartRotation;
  piece.Joined = state.Joined;
}

const TAverageTable& AverageTable() {
  static const TAverageTable table = [] {
    TAverageTable t{};
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<uint8_t>(i / 25);
    return t;
  }();
  return table;
}

namespace {

// In place: every sum reads the buffer as it is at that moment, so earlier outputs feed later ones.
void BlurInPlace(uint32_t* pixels, int32_t width, int32_t height, uint32_t colour,
                 const TAverageTable& table) {
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint32_t sum = 0;
      for (int32_t yy = std::max(0, y - 2); yy <= std::min(height - 1, y + 2); ++yy) {
        const uint32_t* row = pixels + static_cast<std::size_t>(yy) * width;
        for (int32_t xx = std::max(0, x - 2); xx <= std::min(width - 1, x + 2); ++xx) sum += row[xx] >> 24;
      }
      pixels[static_cast<std::size_t>(y) * width + x] = static_cast<uint32_t>(table[sum]) << 24 | colour;
    }
}

} // namespace

void MakeShadow(const uint32_t* pixels, uint32_t* shadow, int32_t width, int32_t height, uint8_t grey,
                const TAverageTable& table) {
  if (width <= 0 || height <= 0) return;
  const uint32_t colour = static_cast<uint32_t>(grey) * 0x010101u;
  const std::size_t w = static_cast<std::size_t>(width);
  // Running sums over rows (5 wide), then over columns; pixels outside count 0. The storage is kept
  // between calls: every piece of a game gets a shadow.
  thread_local std::vector<uint16_t> rowSums;
  thread_local std::vector<uint32_t> column;
  thread_local std::vector<uint16_t> zeros;
  rowSums.resize(w * static_cast<std::size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* row = pixels + y * w;
    uint16_t* sums = rowSums.data() + y * w;
    auto alpha = [&](int32_t x) -> uint32_t { return x >= 0 && x < width ? row[x] >> 24 : 0; };
    uint32_t sum = alpha(0) + alpha(1);
    int32_t x = 0;
    for (; x < std::min(width, 3); ++x) {
      sum += alpha(x + 2);
      sums[x] = static_cast<uint16_t>(sum);
      sum -= alpha(x - 2);
    }
    for (; x + 2 < width; ++x) {
      sum += row[x + 2] >> 24;
      sums[x] = static_cast<uint16_t>(sum);
      sum -= row[x - 2] >> 24;
    }
    for (; x < width; ++x) {
      sum += alpha(x + 2);
      sums[x] = static_cast<uint16_t>(sum);
      sum -= alpha(x - 2);
    }
  }
  column.assign(w, 0);
  zeros.assign(w, 0);
  uint32_t* col = column.data();
  for (int32_t y = 0; y < std::min(height, 2); ++y)
    for (std::size_t x = 0; x < w; ++x) col[x] += rowSums[y * w + x];
  // One pass per row: add the row entering the window, write, drop the row leaving it.
  for (int32_t y = 0; y < height; ++y) {
    const uint16_t* add = y + 2 < height ? rowSums.data() + (y + 2) * w : zeros.data();
    const uint16_t* remove = y - 2 >= 0 ? rowSums.data() + (y - 2) * w : zeros.data();
    uint32_t* out = shadow + y * w;
    for (std::size_t x = 0; x < w; ++x) {
      const uint32_t sum = col[x] + add[x];
      out[x] = static_cast<uint32_t>(table[sum]) << 24 | colour;
      col[x] = sum - remove[x];
    }
  }
}

void BlurShadow(uint32_t* pixels, uint32_t* shadow, int32_t width, int32_t height, uint8_t grey,
                const TAverageTable& table) {
  if (width <= 0 || height <= 0) return;
  const uint32_t colour = static_cast<uint32_t>(grey) * 0x010101u;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < count; ++i) pixels[i] = (pixels[i] & 0xFF000000u) | colour;
  if (shadow == pixels)
    BlurInPlace(pixels, width, height, colour, table);
  else
    MakeShadow(pixels, shadow, width, height, grey, table);
}

} // namespace kv
