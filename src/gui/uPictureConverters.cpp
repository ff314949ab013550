#include "gui/uPictureConverters.h"

#include "gui/uBmpCodec.h"
#include "gui/uJpegCodec.h"
#include "gui/uResamplers.h"

#include <cmath>
#include <optional>

namespace kv {

namespace {

constexpr int ThumbnailLimit = 64;

// Nearest integer, ties to even (the default rounding mode).
int32_t Round(double value) {
  return static_cast<int32_t>(std::nearbyint(value));
}

} // namespace

TImageInfo ReadPictureSize(std::span<const uint8_t> data, TImageKind kind) {
  return kind == TImageKind::ikJPEG ? ReadJpegSize(data) : ReadBmpSize(data);
}

TMemoryStream ConvertBmpToJpeg(const TMemoryStream& bmp) {
  // Row by row: a large bitmap is never held decoded next to its file image.
  std::optional<TJpegRowEncoder> encoder;
  VisitBmpRows(
      bmp.Bytes(), [&](int32_t width, int32_t height) { encoder.emplace(width, height, DefaultJpegQuality); },
      [&](int32_t, const uint32_t* row) { encoder->WriteRow(row); });
  TMemoryStream result;
  encoder->Finish(result);
  result.SetPosition(0);
  return result;
}

TPackageServices PictureConverterServices(TPackageServices services) {
  services.SizeReader = ReadPictureSize;
  services.BmpToJpeg = ConvertBmpToJpeg;
  return services;
}

TThumbnailSize ThumbnailSize(int32_t width, int32_t height) {
  const auto w = static_cast<uint16_t>(width), h = static_cast<uint16_t>(height);
  double f = 1;
  if (w > ThumbnailLimit || h > ThumbnailLimit) {
    do f *= 0.95;
    while (!(Round(w * f) < ThumbnailLimit && Round(h * f) < ThumbnailLimit));
  }
  TThumbnailSize size{Round(w * f), Round(h * f)};
  // A very long, thin picture would otherwise lose its short side altogether.
  if (w > 0 && size.Width == 0) size.Width = 1;
  if (h > 0 && size.Height == 0) size.Height = 1;
  return size;
}

TMemoryStream MakeThumbnail(const TBitmap32& picture) {
  return MakeThumbnail(picture, ThumbnailSize(picture.Width(), picture.Height()));
}

TMemoryStream MakeThumbnail(TBitmap32 source, TThumbnailSize size) {
  TBitmap32 thumbnail(size.Width, size.Height);
  if (!source.Empty() && !thumbnail.Empty()) {
    NewResampler<TLinearResampler>(source);
    source.SetDrawMode(dmOpaque);
    source.DrawStretched(thumbnail, thumbnail.BoundsRect(), source.BoundsRect());
  }
  TMemoryStream result;
  thumbnail.SaveToStream(result);
  result.SetPosition(0);
  return result;
}

} // namespace kv
