// GIF pictures through giflib: the first frame on its logical screen, with its transparent colour.
#pragma once

#include "data/uKVStream.h"
#include "gui/uDecodedPicture.h"

#include <cstdint>
#include <span>

namespace kv {

struct TGifPicture {
  // The logical screen with the first frame placed on it, every pixel opaque. Screen pixels the frame does
  // not cover take the transparent colour when the frame has one, else the background colour.
  TDecodedPicture Picture;
  // The frame's transparent colour (graphics control extension), as an opaque TColor32; the caller removes
  // it with ClearKeyColor.
  bool HasTransparentColor = false;
  uint32_t TransparentColor = 0;
};

// Decodes the first frame of a GIF file image held in data; interlaced frames are put in row order.
// Raises EImageError on data giflib cannot read and on screens larger than MaxPicturePixels.
TGifPicture DecodeGif(std::span<const uint8_t> data);
// Reads the GIF file image from the stream's position to its end.
TGifPicture ReadGif(TStream& stream);

} // namespace kv
