// Extra pictures: the player's own pictures that an exported game carries after its package, and their
// merge into the package at start-up, where they replace the package's playable pictures.
//
// Block layout: uint16 3240, then records of uint16 tag, int32 length L and body:
//   3242 picture: uint32 ImageID, byte ImgType, byte ImgFormat, L bytes of the image file (L = 0: no body)
//   3241 end: no body, L = 0
//   other tags: L bytes, skipped
#pragma once

#include "data/uExecData.h"
#include "data/uKVStream.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kv {

enum class TImageFormat : uint8_t { ifBMP = 0, ifJPEG = 1 };
enum class TExtJigsawImageType : uint8_t { itPicture = 0, itWallpaper = 1 };

inline constexpr uint16_t ExtraBlockMarker = 3240;
inline constexpr uint16_t ExtraBlockEndTag = 3241;
inline constexpr uint16_t ExtraPictureTag = 3242;

struct TExtJigsawImage {
  TMemoryStream Stream; // a complete BMP or JPEG file
  TImageFormat ImgFormat = TImageFormat::ifBMP;
  TExtJigsawImageType ImgType = TExtJigsawImageType::itPicture;
  uint32_t ImageID = 0; // 0: the package draws a fresh id

  // Replaces the entry's data with this picture as a JPEG file, rewound. BMP data goes through converter;
  // without one, or with an unknown format, raises EImageError: the package holds JPEG only.
  void CopyTo(TBMPData& entry, const TBmpToJpegConverter& converter) const;
  // The JPEG file this picture becomes in the package.
  TMemoryStream JpegData(const TBmpToJpegConverter& converter) const;
};

class TExtJigsawImages {
public:
  TExtJigsawImage& Add();
  void Clear() { Items.clear(); }
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  TExtJigsawImage& operator[](std::size_t index) { return Items.at(index); }
  const TExtJigsawImage& operator[](std::size_t index) const { return Items.at(index); }

  // Copies the items of another collection.
  void Assign(const TExtJigsawImages& source) { Items = source.Items; }

  // Replaces the collection with the pictures of a block read from the stream's start. Without the marker
  // 3240 the collection stays empty. A length past the end of the data, a negative length or a record
  // header cut short raises EReadError and leaves the collection as it was.
  void LoadFromStream(TStream& stream);
  // Writes the block at the stream's position: marker, one record per picture, end record. Pictures without
  // data are left out (a record of length 0 carries no body, so they could not be read back).
  void SaveToStream(TStream& stream) const;

  // Merges the collection into the package: the package's playable pictures are replaced by the pictures
  // of the collection (range 0..24), wallpapers are kept and the start wallpaper still points at the same
  // entry. Nothing happens when the collection is empty. All conversions are made before the package is
  // touched, so a picture that cannot be converted leaves the package unchanged. BMP pictures are converted
  // with the package services' BmpToJpeg.
  void AssignTo(TJigsawProject2& project) const;

private:
  std::vector<TExtJigsawImage> Items;
};

// Reads the extra-picture block in stream and merges it into project; nothing when the stream is empty.
void LoadExtraPictures(TStream& stream, TJigsawProject2& project);

} // namespace kv
