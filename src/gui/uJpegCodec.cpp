#include "gui/uJpegCodec.h"

#include "data/uKVErrors.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace kv {

namespace {

// A progressive file may hold any number of scans, each costing a pass over the whole picture; real
// encoders write about ten.
constexpr int MaxScans = 1000;
constexpr uint64_t HuffmanPixelsPerByte = 8 * 64 * 8; // eight times the least a byte can describe

struct TJpegErrorManager {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

// libjpeg's default ends the process; this one returns to the caller's setjmp.
extern "C" void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  std::longjmp(err->Jump, 1);
}

// Warnings (corrupt data libjpeg can continue past) are not fatal and not printed.
extern "C" void EmitMessage(j_common_ptr, int) {}

extern "C" void LimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans) {
    auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    std::snprintf(err->Message, sizeof err->Message, "too many progressive scans");
    std::longjmp(err->Jump, 1);
  }
}

void InitErrors(TJpegErrorManager& err) {
  jpeg_std_error(&err.Pub);
  err.Pub.error_exit = ErrorExit;
  err.Pub.emit_message = EmitMessage;
  err.Message[0] = 0;
}

[[noreturn]] void Fail(const char* message) {
  throw EImageError(std::string("JPEG error: ") + message);
}

inline uint8_t Mul255(unsigned a, unsigned b) {
  return static_cast<uint8_t>((a * b + 127) / 255);
}

struct TDecompressGuard {
  jpeg_decompress_struct* Info;
  ~TDecompressGuard() { jpeg_destroy_decompress(Info); }
};

struct TCompressGuard {
  jpeg_compress_struct* Info;
  unsigned char** Buffer;
  ~TCompressGuard() {
    jpeg_destroy_compress(Info);
    std::free(*Buffer);
  }
};

} // namespace

int32_t JpegScaledSize(int32_t size, int eighths) {
  if (size <= 0) return 0;
  return static_cast<int32_t>((static_cast<int64_t>(size) * eighths + FullJpegScale - 1) / FullJpegScale);
}

int JpegScaleFor(int32_t width, int32_t height, int32_t minWidth, int32_t minHeight) {
  for (int eighths = 1; eighths < FullJpegScale; ++eighths) {
    const int32_t w = JpegScaledSize(width, eighths), h = JpegScaledSize(height, eighths);
    if (w < minWidth || h < minHeight) continue;
    // A tiny picture can come out at its own size from a reduced scale, with averaged pixels.
    return w == width && h == height ? FullJpegScale : eighths;
  }
  return FullJpegScale;
}

namespace {

// eighths 1..8, or 0 to take the scale JpegScaleFor picks for the header's size and minWidth x minHeight.
TDecodedPicture Decode(std::span<const uint8_t> data, int eighths, int32_t minWidth, int32_t minHeight) {
  if (data.empty()) Fail("the picture data is empty");
  jpeg_decompress_struct cinfo{};
  TJpegErrorManager err{};
  jpeg_progress_mgr progress{};
  TDecodedPicture picture;
  std::vector<uint8_t> row;
  bool tooLarge = false;

  InitErrors(err);
  cinfo.err = &err.Pub;
  jpeg_create_decompress(&cinfo);
  TDecompressGuard guard{&cinfo};
  if (setjmp(err.Jump)) Fail(err.Message);

  progress.progress_monitor = LimitScans;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  const int scale =
      eighths != 0 ? eighths
                   : JpegScaleFor(static_cast<int32_t>(std::min<JDIMENSION>(cinfo.image_width, INT32_MAX)),
                                  static_cast<int32_t>(std::min<JDIMENSION>(cinfo.image_height, INT32_MAX)),
                                  minWidth, minHeight);
  // The full size keeps libjpeg's defaults, so that its pixels are those of every full decode.
  if (scale < FullJpegScale) {
    cinfo.scale_num = static_cast<unsigned>(scale);
    cinfo.scale_denom = FullJpegScale;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  const uint64_t pixels = static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height;
  if (pixels > MaxPicturePixels) tooLarge = true;
  // Huffman coding spends at least a bit on every 8 x 8 block, and libjpeg fills a picture whose data ends
  // early: a frame far larger than its data could describe is not allocated.
  if (!cinfo.arith_code && pixels > (static_cast<uint64_t>(data.size()) + 1) * HuffmanPixelsPerByte)
    tooLarge = true;
  if (!tooLarge) {
    jpeg_start_decompress(&cinfo);
    const auto width = static_cast<std::size_t>(cinfo.output_width);
    picture.Width = static_cast<int32_t>(cinfo.output_width);
    picture.Height = static_cast<int32_t>(cinfo.output_height);
    picture.Pixels.resize(width * cinfo.output_height);
    row.resize(width * static_cast<std::size_t>(cinfo.output_components));
    // Photoshop stores CMYK inverted and says so in its Adobe marker.
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
      const std::size_t y = cinfo.output_scanline;
      JSAMPROW rows[1] = {row.data()};
      if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
      uint32_t* dst = picture.Pixels.data() + y * width;
      if (cmyk) {
        for (std::size_t x = 0; x < width; ++x) {
          const uint8_t* p = row.data() + 4 * x;
          unsigned c = p[0], m = p[1], yl = p[2], k = p[3];
          if (!inverted) c = 255 - c, m = 255 - m, yl = 255 - yl, k = 255 - k;
          dst[x] = 0xFF000000u | static_cast<uint32_t>(Mul255(c, k)) << 16 |
                   static_cast<uint32_t>(Mul255(m, k)) << 8 | Mul255(yl, k);
        }
      } else {
        for (std::size_t x = 0; x < width; ++x) {
          const uint8_t* p = row.data() + 3 * x;
          dst[x] = 0xFF000000u | static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
        }
      }
    }
    jpeg_finish_decompress(&cinfo);
  }
  if (tooLarge) Fail("the picture is too large");
  return picture;
}

} // namespace

TDecodedPicture DecodeJpeg(std::span<const uint8_t> data) {
  return Decode(data, FullJpegScale, 0, 0);
}

TDecodedPicture DecodeJpegScaled(std::span<const uint8_t> data, int eighths) {
  if (eighths < 1 || eighths > FullJpegScale) Fail("the scale must be 1/8 to 8/8");
  return Decode(data, eighths, 0, 0);
}

TDecodedPicture DecodeJpegAtLeast(std::span<const uint8_t> data, int32_t minWidth, int32_t minHeight) {
  return Decode(data, 0, minWidth, minHeight);
}

TDecodedPicture ReadJpeg(TStream& stream) {
  const std::vector<uint8_t> bytes = stream.ReadBytes(stream.Remaining());
  return DecodeJpeg(bytes);
}

void WriteJpeg(TStream& stream, int32_t width, int32_t height, const uint32_t* pixels, int quality) {
  if (width <= 0 || height <= 0) Fail("an empty picture cannot be encoded");
  if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) Fail("the picture is too large");
  jpeg_compress_struct cinfo{};
  TJpegErrorManager err{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> row(static_cast<std::size_t>(width) * 3);

  InitErrors(err);
  cinfo.err = &err.Pub;
  jpeg_create_compress(&cinfo);
  TCompressGuard guard{&cinfo, &buffer};
  if (setjmp(err.Jump)) Fail(err.Message);

  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint32_t* src =
        pixels + static_cast<std::size_t>(cinfo.next_scanline) * static_cast<std::size_t>(width);
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = row.data() + 3 * static_cast<std::size_t>(x);
      p[0] = static_cast<uint8_t>(src[x] >> 16);
      p[1] = static_cast<uint8_t>(src[x] >> 8);
      p[2] = static_cast<uint8_t>(src[x]);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  stream.WriteBuffer(buffer, size);
}

TMemoryStream EncodeJpeg(const TDecodedPicture& picture, int quality) {
  TMemoryStream result;
  WriteJpeg(result, picture.Width, picture.Height, picture.Pixels.data(), quality);
  result.SetPosition(0);
  return result;
}

void SaveJpegToFile(const std::string& fileName, int32_t width, int32_t height, const uint32_t* pixels,
                    int quality) {
  TMemoryStream data;
  WriteJpeg(data, width, height, pixels, quality);
  WriteFileAtomically(fileName, data.Bytes());
}

void SaveJpegToStream(const TBitmap32& bitmap, TStream& stream, int quality) {
  WriteJpeg(stream, bitmap.Width(), bitmap.Height(), bitmap.Bits(), quality);
}

void SaveJpegToFile(const TBitmap32& bitmap, const std::string& fileName, int quality) {
  SaveJpegToFile(fileName, bitmap.Width(), bitmap.Height(), bitmap.Bits(), quality);
}

} // namespace kv
