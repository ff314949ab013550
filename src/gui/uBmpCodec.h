// Windows BMP files: every header, depth and compression the format allows on reading; a 32-bit image with
// alpha on writing, so that a save and a load keep all four channels.
#pragma once

#include "data/uImageInfo.h"
#include "data/uKVStream.h"
#include "gui/uDecodedPicture.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace kv {

// The size from the headers alone: a file header "BM", then a BITMAPCOREHEADER or a BITMAPINFOHEADER (or a
// later, longer one); the height as its absolute value. Raises EImageError ("Invalid BMP image: ...") when
// the headers are damaged or describe an empty picture; the pixel data is not looked at.
TImageInfo ReadBmpSize(std::span<const uint8_t> data);

// Decodes the BMP file image at the start of data: BITMAPCOREHEADER, BITMAPINFOHEADER and its longer
// successors; 1, 4, 8, 16, 24 and 32 bits; uncompressed, BI_BITFIELDS and BI_RLE4/BI_RLE8; bottom-up and
// top-down. A 32-bit image keeps its fourth byte (or its alpha mask) as alpha; every other depth is opaque.
// consumed, when given, receives the number of bytes the image occupies. Raises EImageError on anything
// that is not a readable BMP.
TDecodedPicture DecodeBmp(std::span<const uint8_t> data, std::size_t* consumed = nullptr);

// The same checks and pixels row by row, top first: onStart with the size, then onRow for every row. Only an
// RLE bitmap is decoded whole; any other is read a row at a time from data.
void VisitBmpRows(std::span<const uint8_t> data,
                  const std::function<void(int32_t width, int32_t height)>& onStart,
                  const std::function<void(int32_t y, const uint32_t* row)>& onRow);

// Reads a BMP file image at the stream's position and leaves the position after its pixel data.
TDecodedPicture ReadBmp(TStream& stream);

// Writes a bottom-up, uncompressed 32-bit BMP (BITMAPINFOHEADER) whose fourth byte is the alpha.
// pixels holds width * height values A << 24 | R << 16 | G << 8 | B, top row first.
void WriteBmp(TStream& stream, int32_t width, int32_t height, const uint32_t* pixels);
void WriteBmp(TStream& stream, const TDecodedPicture& picture);
// The same as 24 bits per pixel without alpha (blue, green, red), each row padded to four bytes.
void WriteBmp24(TStream& stream, int32_t width, int32_t height, const uint32_t* pixels);

} // namespace kv
