#include "gui/uGifCodec.h"

#include "core/uKVErrors.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gif_lib.h>

namespace kv {

namespace {

constexpr uint64_t PixelsPerByte = 8 * 4096 / 3 + 1;

struct TSource {
  std::span<const uint8_t> Data;
  std::size_t Pos = 0;
};

extern "C" int ReadSource(GifFileType* gif, GifByteType* buffer, int count) {
  auto* source = static_cast<TSource*>(gif->UserData);
  if (count <= 0) return 0;
  const std::size_t n =
      std::min<std::size_t>(static_cast<std::size_t>(count), source->Data.size() - source->Pos);
  if (n > 0) std::memcpy(buffer, source->Data.data() + source->Pos, n);
  source->Pos += n;
  return static_cast<int>(n);
}

[[noreturn]] void Fail(const std::string& reason) {
  throw EImageError("GIF image is not valid: " + reason);
}

[[noreturn]] void Fail(int code) {
  const char* text = GifErrorString(code);
  Fail(text ? text : "unknown error " + std::to_string(code));
}

struct TGifCloser {
  GifFileType* Gif;
  ~TGifCloser() {
    int error = 0;
    DGifCloseFile(Gif, &error);
  }
};

uint32_t Color(const ColorMapObject* map, int index) {
  if (!map || index < 0 || index >= map->ColorCount) return 0xFF000000u;
  const GifColorType& c = map->Colors[index];
  return 0xFF000000u | static_cast<uint32_t>(c.Red) << 16 | static_cast<uint32_t>(c.Green) << 8 | c.Blue;
}

} // namespace

TGifPicture DecodeGif(std::span<const uint8_t> data) {
  TSource source{data, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, ReadSource, &error);
  if (!gif) Fail(error);
  TGifCloser closer{gif};

  int transparentIndex = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) Fail(gif->Error);
    if (type == TERMINATE_RECORD_TYPE) Fail("the file holds no picture");
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) Fail(gif->Error);
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        GraphicsControlBlock control;
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
          transparentIndex = control.TransparentColor;
      }
      while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) Fail(gif->Error);
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;

    if (DGifGetImageDesc(gif) == GIF_ERROR) Fail(gif->Error);
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0) Fail("the frame is empty");
    // Some encoders leave the logical screen 0 x 0 or smaller than the frame; the frame then decides.
    const int screenWidth = std::max(gif->SWidth, desc.Left + desc.Width);
    const int screenHeight = std::max(gif->SHeight, desc.Top + desc.Height);
    const uint64_t screenPixels = static_cast<uint64_t>(screenWidth) * static_cast<uint64_t>(screenHeight);
    if (screenPixels > MaxPicturePixels) Fail("the picture is too large");
    // An LZW code of at least 3 bits stands for at most 4096 pixels: a screen far larger than the data
    // could fill is not allocated.
    if (screenPixels > (static_cast<uint64_t>(data.size() - source.Pos) + 1) * PixelsPerByte)
      Fail("the picture data is too short for its size");
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;

    TGifPicture result;
    if (transparentIndex != NO_TRANSPARENT_COLOR) {
      result.HasTransparentColor = true;
      result.TransparentColor = Color(map, transparentIndex);
    }
    TDecodedPicture& picture = result.Picture;
    picture.Width = screenWidth;
    picture.Height = screenHeight;
    picture.Pixels.assign(static_cast<std::size_t>(screenWidth) * static_cast<std::size_t>(screenHeight),
                          result.HasTransparentColor ? result.TransparentColor
                                                     : Color(gif->SColorMap, gif->SBackGroundColor));

    // Interlaced frames arrive in four passes: every 8th row from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1.
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(desc.Height));
    if (desc.Interlace) {
      const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < desc.Height; y += steps[pass]) order.push_back(y);
    } else {
      for (int y = 0; y < desc.Height; ++y) order.push_back(y);
    }
    std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
    for (int y : order) {
      if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) Fail(gif->Error);
      uint32_t* dst =
          picture.Pixels.data() + static_cast<std::size_t>(desc.Top + y) * screenWidth + desc.Left;
      for (int x = 0; x < desc.Width; ++x) dst[x] = Color(map, line[static_cast<std::size_t>(x)]);
    }
    return result;
  }
}

TGifPicture ReadGif(TStream& stream) {
  const std::vector<uint8_t> bytes = stream.ReadBytes(stream.Remaining());
  return DecodeGif(bytes);
}

} // namespace kv
