// JPEG pictures through libjpeg: decoding to opaque ARGB pixels and encoding without alpha.
#pragma once

#include "data/uKVStream.h"
#include "gui/uBitmap32.h"
#include "gui/uDecodedPicture.h"

#include <cstdint>
#include <span>
#include <string>

namespace kv {

// libjpeg's own default quality, used wherever the program asks for "the encoder's default".
inline constexpr int DefaultJpegQuality = 75;

// Decodes a JPEG file image held in data: colour, grayscale and CMYK/YCCK (Adobe's inverted CMYK
// included) give RGB with alpha 255. Corrupt data that libjpeg can continue past only warns; anything it
// cannot decode, and pictures larger than MaxPicturePixels, raise EImageError.
TDecodedPicture DecodeJpeg(std::span<const uint8_t> data);
// Reads the JPEG file image from the stream's position to its end.
TDecodedPicture ReadJpeg(TStream& stream);

// Encodes width * height pixels (A << 24 | R << 16 | G << 8 | B, top row first; alpha ignored) as a
// baseline JPEG file of the given quality (1..100) and writes it at the stream's position.
void WriteJpeg(TStream& stream, int32_t width, int32_t height, const uint32_t* pixels,
               int quality = DefaultJpegQuality);
TMemoryStream EncodeJpeg(const TDecodedPicture& picture, int quality = DefaultJpegQuality);
void SaveJpegToFile(const std::string& fileName, int32_t width, int32_t height, const uint32_t* pixels,
                    int quality = DefaultJpegQuality);

// The surface as a JPEG file (alpha dropped), at the stream's position or into a file.
void SaveJpegToStream(const TBitmap32& bitmap, TStream& stream, int quality = DefaultJpegQuality);
void SaveJpegToFile(const TBitmap32& bitmap, const std::string& fileName, int quality = DefaultJpegQuality);

} // namespace kv
