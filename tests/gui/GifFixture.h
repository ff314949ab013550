// One-frame GIF files written with giflib's encoder for the picture tests.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include <gif_lib.h>

namespace kvtest {

inline int WriteGifToVector(GifFileType* gif, const GifByteType* data, int count) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + count);
  return count;
}

struct GifLayout {
  int ScreenWidth = 4, ScreenHeight = 3;
  int Left = 0, Top = 0, Width = 4, Height = 3;
  bool Interlace = false;
  int Transparent = NO_TRANSPARENT_COLOR;
  int Background = 0;
  std::vector<uint8_t> Indices; // Width * Height, top row first
};

inline const GifColorType Colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {255, 0, 255}};

// A one-frame GIF89a written by giflib's encoder, with a graphics control extension when a transparent
// index is given.
inline std::vector<uint8_t> MakeGif(const GifLayout& s) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteGifToVector, &error);
  if (gif == nullptr) throw std::runtime_error("giflib cannot open an encoder");
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = GifMakeMapObject(4, Colours);
  EGifPutScreenDesc(gif, s.ScreenWidth, s.ScreenHeight, 8, s.Background, map);
  if (s.Transparent != NO_TRANSPARENT_COLOR) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.TransparentColor = s.Transparent;
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
  }
  EGifPutImageDesc(gif, s.Left, s.Top, s.Width, s.Height, s.Interlace, nullptr);
  std::vector<int> order;
  if (s.Interlace) {
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = starts[pass]; y < s.Height; y += steps[pass]) order.push_back(y);
  } else {
    for (int y = 0; y < s.Height; ++y) order.push_back(y);
  }
  for (int y : order) {
    std::vector<GifPixelType> line(s.Indices.begin() + y * s.Width, s.Indices.begin() + (y + 1) * s.Width);
    EGifPutLine(gif, line.data(), s.Width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

} // namespace kvtest
