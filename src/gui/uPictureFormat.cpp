#include "gui/uPictureFormat.h"

#include "core/uKVErrors.h"
#include "core/uScopeGuard.h"
#include "gui/uBmpCodec.h"
#include "gui/uGifCodec.h"
#include "gui/uJpegCodec.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

namespace kv {

namespace {

bool MarkerAt6(std::span<const uint8_t> data, const char* marker) {
  if (data.size() < 10) return false;
  for (int i = 0; i < 4; ++i)
    if (std::tolower(data[6 + i]) != marker[i]) return false;
  return true;
}

TPictureKind LoadInto(TBitmap32& bitmap, TLoadedPicture loaded) {
  if (loaded.Kind == pkPNG) return pkPNG;
  bitmap.BeginUpdate();
  TScopeExit end([&bitmap] { bitmap.EndUpdate(); });
  bitmap.Assign(loaded.Picture);
  if (loaded.HasTransparentColor) bitmap.ClearKeyColor(loaded.TransparentColor);
  return loaded.Kind;
}

} // namespace

TPictureKind DetectPictureKind(std::span<const uint8_t> data) {
  if (MarkerAt6(data, "jfif") || MarkerAt6(data, "exif")) return pkJPEG;
  if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return pkJPEG;
  return pkBMP;
}

TPictureKind DetectPictureKind(TStream& stream) {
  const int64_t start = stream.Position();
  uint8_t head[10] = {};
  const std::size_t n = stream.Read(head, sizeof head);
  stream.SetPosition(start);
  return DetectPictureKind(std::span<const uint8_t>(head, n));
}

TPictureKind PictureKindFromFileName(const std::string& fileName) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".jpg" || ext == ".jpeg") return pkJPEG;
  if (ext == ".bmp") return pkBMP;
  if (ext == ".gif") return pkGIF;
  if (ext == ".png") return pkPNG;
  return pkUnknown;
}

TLoadedPicture DecodePicture(std::span<const uint8_t> data, TPictureKind kind) {
  TLoadedPicture result;
  result.Kind = kind;
  switch (kind) {
  case pkJPEG:
    result.Picture = DecodeJpeg(data);
    break;
  case pkBMP:
    result.Picture = DecodeBmp(data);
    break;
  case pkGIF: {
    TGifPicture gif = DecodeGif(data);
    result.Picture = std::move(gif.Picture);
    result.HasTransparentColor = gif.HasTransparentColor;
    result.TransparentColor = gif.TransparentColor;
    break;
  }
  case pkPNG:
    break;
  default:
    throw EImageError("Unknown picture format");
  }
  return result;
}

TLoadedPicture LoadPicture(TStream& stream) {
  const TPictureKind kind = DetectPictureKind(stream);
  if (kind == pkBMP) {
    // A BMP knows its own length and leaves the stream after its pixels.
    TLoadedPicture result;
    result.Kind = pkBMP;
    result.Picture = ReadBmp(stream);
    return result;
  }
  const std::vector<uint8_t> bytes = stream.ReadBytes(stream.Remaining());
  return DecodePicture(bytes, kind);
}

TLoadedPicture LoadPicture(const std::string& fileName) {
  const TPictureKind kind = PictureKindFromFileName(fileName);
  if (kind == pkUnknown)
    throw EImageError("Unknown picture file extension (" +
                      std::filesystem::path(fileName).extension().string() + ")");
  TMemoryStream data;
  data.LoadFromFile(fileName);
  return DecodePicture(data.Bytes(), kind);
}

TPictureKind LoadPicture(TBitmap32& bitmap, TStream& stream) {
  return LoadInto(bitmap, LoadPicture(stream));
}

TPictureKind LoadPicture(TBitmap32& bitmap, const std::string& fileName) {
  return LoadInto(bitmap, LoadPicture(fileName));
}

} // namespace kv
