// The picture work the data layer leaves to the picture codecs: the size of a stored picture, converting
// extra BMP pictures to JPEG for the package, and the package's thumbnail.
#pragma once

#include "data/uImageInfo.h"
#include "data/uKVStream.h"
#include "data/uPackageServices.h"
#include "gui/uBitmap32.h"

#include <cstdint>
#include <span>

namespace kv {

// The size of a picture of the given kind from its headers: ReadJpegSize or ReadBmpSize.
TImageInfo ReadPictureSize(std::span<const uint8_t> data, TImageKind kind);

// A complete BMP file turned into a complete JPEG file at the encoder's default quality; EImageError for a
// BMP that cannot be decoded.
TMemoryStream ConvertBmpToJpeg(const TMemoryStream& bmp);

// services with the codecs' picture work: ReadPictureSize measures the package's pictures, ConvertBmpToJpeg
// stores extra BMP pictures as JPEG.
TPackageServices PictureConverterServices(TPackageServices services = {});

// The size of a package thumbnail for a picture: unchanged when both sides are at most 64; otherwise the
// factor f starts at 1 and shrinks by f := f * 0.95 until both Round(side * f) are below 64 (sides taken as
// unsigned 16-bit, Round to nearest with ties to even). A non-empty side never shrinks to 0.
struct TThumbnailSize {
  int32_t Width = 0;
  int32_t Height = 0;
};
TThumbnailSize ThumbnailSize(int32_t width, int32_t height);

// The picture resized to ThumbnailSize with linear resampling, as a 32-bit BMP file (rewound).
TMemoryStream MakeThumbnail(const TBitmap32& picture);
// The picture resized to size: for a picture decoded at a reduced scale, the thumbnail of its stored size.
TMemoryStream MakeThumbnail(TBitmap32 picture, TThumbnailSize size);

} // namespace kv
