// Which decoder a picture needs, by its bytes or by its file name, and loading a picture either way.
#pragma once

#include "data/uKVStream.h"
#include "gui/uBitmap32.h"
#include "gui/uDecodedPicture.h"

#include <cstdint>
#include <span>
#include <string>

namespace kv {

// The kinds of picture file; the numbers are those the skin keeps with an item's raw bytes.
enum TPictureKind : int8_t { pkUnknown = -1, pkJPEG = 0, pkBMP = 1, pkGIF = 2, pkPNG = 3 };

// A stream without a name is JPEG when the four bytes at offset 6 read "jfif" or "exif" (any case), or
// when it starts with a JPEG start-of-image marker (FF D8 FF; JPEG files with other segments first, such
// as a quantisation table, would otherwise be read as BMP and fail); anything else is read as BMP.
TPictureKind DetectPictureKind(std::span<const uint8_t> data);
// The same for the bytes at the stream's position; the position is left unchanged.
TPictureKind DetectPictureKind(TStream& stream);

// By the lower-case extension: ".jpg" and ".jpeg" JPEG, ".bmp" BMP, ".gif" GIF, ".png" PNG (recognised,
// never decoded); anything else pkUnknown.
TPictureKind PictureKindFromFileName(const std::string& fileName);

struct TLoadedPicture {
  TPictureKind Kind = pkUnknown;
  // Empty for PNG, which no decoder reads.
  TDecodedPicture Picture;
  // A GIF frame's transparent colour, for the caller's ClearKeyColor.
  bool HasTransparentColor = false;
  TColor32 TransparentColor = 0;
};

// Decodes the bytes as the given kind (pkPNG gives an empty picture). Raises EImageError for pkUnknown and
// for data the decoder cannot read.
TLoadedPicture DecodePicture(std::span<const uint8_t> data, TPictureKind kind);
// Decodes the stream from its position to its end as DetectPictureKind decides.
TLoadedPicture LoadPicture(TStream& stream);
// Decodes a file as its extension decides. An unknown extension raises EImageError ("Unknown picture file
// extension (.xyz)"); a file that cannot be opened EFOpenError.
TLoadedPicture LoadPicture(const std::string& fileName);

// Loads into a surface: the picture is assigned (alpha 255 except for a 32-bit BMP) and a GIF's transparent
// colour cleared with ClearKeyColor. A PNG leaves the surface unchanged. Returns the kind.
TPictureKind LoadPicture(TBitmap32& bitmap, TStream& stream);
TPictureKind LoadPicture(TBitmap32& bitmap, const std::string& fileName);

} // namespace kv
