#include "data/uExtJigsawImages.h"

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"

#include <limits>
#include <string>

namespace kv {

namespace {

using SF = TKVStreamFunc;

bool IdInUse(const TJigsawProject2& project, uint32_t id) {
  for (const auto& picture : project.Pictures)
    if (picture->ID == id) return true;
  return false;
}

// A stored id is kept only when it is of the class the picture needs and no other entry has it; otherwise
// the package draws a fresh one (two entries with one id would share settings and cuts).
uint32_t IdToUse(const TJigsawProject2& project, uint32_t id, int kind) {
  if (id == 0 || IdInUse(project, id)) return 0;
  const bool rightClass = kind == 1 ? IsWallpaperId(id) : IsPictureId(id);
  return rightClass ? id : 0;
}

} // namespace

// ---- TExtJigsawImage

TMemoryStream TExtJigsawImage::JpegData(const TBmpToJpegConverter& converter) const {
  TMemoryStream result;
  switch (ImgFormat) {
  case TImageFormat::ifJPEG:
    result = Stream;
    break;
  case TImageFormat::ifBMP: {
    if (!converter)
      throw EImageError("An extra BMP picture cannot be stored: no BMP to JPEG converter was handed in.");
    TMemoryStream bmp = Stream;
    bmp.SetPosition(0);
    result = converter(bmp);
    if (result.Empty()) throw EImageError("An extra BMP picture could not be converted to JPEG.");
    break;
  }
  default:
    throw EImageError("Unknown extra picture format.");
  }
  result.SetPosition(0);
  return result;
}

void TExtJigsawImage::CopyTo(TBMPData& entry, const TBmpToJpegConverter& converter) const {
  TMemoryStream data = JpegData(converter);
  entry.Data = std::move(data);
  entry.Data.SetPosition(0);
}

// ---- TExtJigsawImages

TExtJigsawImage& TExtJigsawImages::Add() {
  return Items.emplace_back();
}

void TExtJigsawImages::LoadFromStream(TStream& stream) {
  std::vector<TExtJigsawImage> items;
  stream.SetPosition(0);
  if (stream.Remaining() < 2 || SF::ReadTag(stream) != ExtraBlockMarker) {
    Items.clear();
    return;
  }
  while (stream.Remaining() > 0) {
    if (stream.Remaining() < 6) throw EReadError();
    const uint16_t tag = SF::ReadTag(stream);
    const int32_t length = SF::ReadInteger(stream);
    if (tag == ExtraBlockEndTag) break;
    if (length < 0) throw EReadError();
    if (tag != ExtraPictureTag) {
      stream.Skip(length);
      continue;
    }
    // The id, type and format come before the picture data whatever its length.
    if (stream.Remaining() < 6 || length > stream.Remaining() - 6) throw EReadError();
    TExtJigsawImage item;
    item.ImageID = SF::ReadCardinal(stream);
    item.ImgType = static_cast<TExtJigsawImageType>(SF::ReadByte(stream));
    item.ImgFormat = static_cast<TImageFormat>(SF::ReadByte(stream));
    if (length == 0) continue; // a picture without data has nothing to show
    item.Stream = TMemoryStream(stream.ReadBytes(length));
    items.push_back(std::move(item));
  }
  Items = std::move(items);
}

void TExtJigsawImages::SaveToStream(TStream& stream) const {
  SF::WriteWord(static_cast<int16_t>(ExtraBlockMarker), stream);
  for (const auto& item : Items) {
    const int64_t size = item.Stream.Size();
    if (size == 0) continue;
    if (size > std::numeric_limits<int32_t>::max()) throw EWriteError();
    SF::WriteWord(static_cast<int16_t>(ExtraPictureTag), stream);
    SF::WriteInteger(static_cast<int32_t>(size), stream);
    SF::WriteCardinal(item.ImageID, stream);
    SF::WriteByte(static_cast<uint8_t>(item.ImgType), stream);
    SF::WriteByte(static_cast<uint8_t>(item.ImgFormat), stream);
    stream.WriteBuffer(item.Stream.Memory(), static_cast<std::size_t>(size));
  }
  SF::WriteWord(static_cast<int16_t>(ExtraBlockEndTag), stream);
  SF::WriteInteger(0, stream);
}

void TExtJigsawImages::AssignTo(TJigsawProject2& project) const {
  if (Items.empty()) return;
  std::vector<TMemoryStream> jpegs;
  jpegs.reserve(Items.size());
  for (const auto& item : Items) jpegs.push_back(item.JpegData(project.Services().BmpToJpeg));

  auto& pictures = project.Pictures;
  const int32_t start = project.StartWallpaperIndex;
  const TBMPData* remembered =
      start >= 0 && static_cast<std::size_t>(start) < pictures.size() ? pictures[start].get() : nullptr;
  for (std::size_t i = pictures.size(); i-- > 0;) {
    if (!IsPictureId(pictures[i]->ID)) continue;
    if (pictures[i].get() == remembered) remembered = nullptr;
    pictures.erase(pictures.begin() + static_cast<std::ptrdiff_t>(i));
  }
  for (std::size_t i = 0; remembered && i < pictures.size(); ++i)
    if (pictures[i].get() == remembered) project.StartWallpaperIndex = static_cast<int32_t>(i);

  for (std::size_t p = 0; p < Items.size(); ++p) {
    const TExtJigsawImage& item = Items[p];
    const int kind = item.ImgType == TExtJigsawImageType::itWallpaper ? 1 : 0;
    TBMPData& entry = project.AddPicture(kind, IdToUse(project, item.ImageID, kind));
    entry.Name = "Image#" + std::to_string(p);
    if (TPictureSettings* settings = project.FindPictureSettings(entry.ID)) {
      settings->NumPiecesMin = 0;
      settings->NumPiecesMax = 24;
    }
    entry.Data = std::move(jpegs[p]);
    entry.Data.SetPosition(0);
  }
}

void LoadExtraPictures(TStream& stream, TJigsawProject2& project) {
  if (stream.Size() == 0) return;
  TExtJigsawImages images;
  images.LoadFromStream(stream);
  images.AssignTo(project);
}

} // namespace kv
