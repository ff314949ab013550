// JPEG pictures through libjpeg: decoding to opaque ARGB pixels and encoding without alpha.
#pragma once

#include "data/uImageInfo.h"
#include "data/uKVStream.h"
#include "gui/uBitmap32.h"
#include "gui/uDecodedPicture.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kv {

// libjpeg's own default quality, used wherever the program asks for "the encoder's default".
inline constexpr int DefaultJpegQuality = 75;

// The size from the headers alone (libjpeg's header reader): raises EImageError ("Invalid JPEG image: ...")
// when they cannot be read or describe an empty picture.
TImageInfo ReadJpegSize(std::span<const uint8_t> data);

// Decodes a JPEG file image held in data: colour, grayscale and CMYK/YCCK (Adobe's inverted CMYK
// included) give RGB with alpha 255. Corrupt data that libjpeg can continue past only warns; anything it
// cannot decode, pictures larger than MaxPicturePixels and pictures far larger than their data could
// describe raise EImageError.
TDecodedPicture DecodeJpeg(std::span<const uint8_t> data);
// Reads the JPEG file image from the stream's position to its end.
TDecodedPicture ReadJpeg(TStream& stream);

// libjpeg decodes at eighths of the full size, doing the reduction in its inverse DCT: far less work and
// memory than a full decode that is scaled down afterwards. A picture of size x eighths / 8 comes out
// ceil(size * eighths / 8) pixels wide (or high).
inline constexpr int FullJpegScale = 8;
int32_t JpegScaledSize(int32_t size, int eighths);
// The smallest scale in eighths (1..8) whose output of a width x height picture is not below minWidth x
// minHeight in both directions; 8, the full size, when no smaller scale is, or when the smallest that is
// gives the full size anyway. Never above the full size.
int JpegScaleFor(int32_t width, int32_t height, int32_t minWidth, int32_t minHeight);
// Decodes at eighths / 8 of the full size (1..8; 8 gives exactly what DecodeJpeg gives). Size limits and
// errors as DecodeJpeg.
TDecodedPicture DecodeJpegScaled(std::span<const uint8_t> data, int eighths);
// Decodes at the scale JpegScaleFor picks for the picture's size (from its header) and the minimum.
TDecodedPicture DecodeJpegAtLeast(std::span<const uint8_t> data, int32_t minWidth, int32_t minHeight);

// What a strict check of a JPEG file image found: its size and its EXIF orientation (1 = upright as stored;
// 2..8 as EXIF numbers them: 6 wants a quarter turn clockwise, 8 one anticlockwise).
struct TJpegCheck {
  int32_t Width = 0;
  int32_t Height = 0;
  int Orientation = 1;
};
// Decodes the whole picture without keeping it, as the package tools do before they store a picture: any
// warning of the decoder (data cut short, corrupt data) is an error here, while the player shows what can be
// decoded. Raises EImageError naming the fault.
TJpegCheck CheckJpeg(std::span<const uint8_t> data);
// The picture turned as its EXIF orientation says and encoded anew at quality (with no EXIF data), for a
// picture whose orientation is not 1. Checks as strictly as CheckJpeg; holds three bytes a pixel.
TMemoryStream UprightJpeg(std::span<const uint8_t> data, int quality);

// A baseline JPEG encoder fed a row at a time, top first (alpha ignored): a picture made row by row is never
// held whole. Raises EImageError.
class TJpegRowEncoder {
public:
  TJpegRowEncoder(int32_t width, int32_t height, int quality = DefaultJpegQuality);
  ~TJpegRowEncoder();
  TJpegRowEncoder(const TJpegRowEncoder&) = delete;
  TJpegRowEncoder& operator=(const TJpegRowEncoder&) = delete;
  // width values A << 24 | R << 16 | G << 8 | B.
  void WriteRow(const uint32_t* argb);
  // After the last row: the file image, at the stream's position.
  void Finish(TStream& stream);

private:
  struct TState;
  std::unique_ptr<TState> S;
};

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
