#include "gui/uJpegCodec.h"

#include "core/uKVErrors.h"
#include "data/uImageInfo.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include <jpeglib.h>
// after jpeglib.h, which it needs
#include <jerror.h>

namespace kv {

namespace {

// A progressive file may hold any number of scans, each costing a pass over the whole picture; real
// encoders write about ten.
constexpr int MaxScans = 1000;
// Huffman coding spends at least a bit on every 8 x 8 block of every component: eight times the pixels
// the least a byte can describe. Arithmetic coding can spend less than a bit on a block, so no hard bound
// holds; a byte for every 1024 blocks is still far beyond any honest picture.
constexpr uint64_t HuffmanPixelsPerByte = 8 * 64 * 8;
constexpr uint64_t ArithmeticPixelsPerByte = 1024 * 64;

struct TJpegErrorManager {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
  // A strict reader turns the first warning into an error.
  bool Strict = false;
};

// libjpeg's default ends the process; this one returns to the caller's setjmp.
extern "C" void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  std::longjmp(err->Jump, 1);
}

// Warnings (corrupt data libjpeg can continue past) are not printed; a lenient reader goes on, a strict one
// stops with the warning as its error.
extern "C" void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
  ++cinfo->err->num_warnings;
  if (!err->Strict) return;
  if (cinfo->err->msg_code == JWRN_JPEG_EOF)
    std::snprintf(err->Message, sizeof err->Message, "the picture data is cut short");
  else
    (*cinfo->err->format_message)(cinfo, err->Message);
  std::longjmp(err->Jump, 1);
}

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

// The EXIF orientation (1..8) from an APP1 "Exif" marker's first IFD; 1 when there is none or it is
// damaged.
int ExifOrientation(const jpeg_decompress_struct& cinfo) {
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 || std::memcmp(m->data, "Exif\0\0", 6) != 0)
      continue;
    const std::span<const uint8_t> tiff(m->data + 6, m->data_length - 6);
    if (tiff.size() < 8) return 1;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    auto u16 = [&](std::size_t at) {
      return static_cast<uint32_t>(little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1]);
    };
    auto u32 = [&](std::size_t at) {
      return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    if (u16(2) != 42) return 1;
    const std::size_t ifd = u32(4);
    if (ifd > tiff.size() - 2) return 1;
    const std::size_t entries = u16(ifd);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::size_t at = ifd + 2 + 12 * i;
      if (at > tiff.size() - 12) return 1;
      if (u16(at) != 0x0112) continue;
      // SHORT, one value, held in the entry itself.
      if (u16(at + 2) != 3 || u32(at + 4) != 1) return 1;
      const uint32_t value = u16(at + 8);
      return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
  }
  return 1;
}

// The data ends with the end-of-image marker (zero padding after it allowed).
bool EndsComplete(std::span<const uint8_t> data) {
  std::size_t n = data.size();
  while (n > 0 && data[n - 1] == 0) --n;
  return n >= 2 && data[n - 2] == 0xFF && data[n - 1] == 0xD9;
}

struct TJpegRowRequest {
  // 1..8, or 0 for the scale JpegScaleFor picks for the header's size and MinWidth x MinHeight.
  int Eighths = FullJpegScale;
  int32_t MinWidth = 0;
  int32_t MinHeight = 0;
  // Warnings of the decoder are errors.
  bool Strict = false;
  bool ReadOrientation = false;
  // The output size, the stored size and the stored picture's orientation, before the first row.
  std::function<void(int32_t width, int32_t height, TImageInfo stored, int orientation)> OnStart;
  // Each output row, top first, as opaque ARGB.
  std::function<void(int32_t y, const uint32_t* row)> OnRow;
};

// Decodes row by row, holding no more than libjpeg's own buffers and one row: a picture nobody keeps
// (a check) costs next to nothing, and one that is kept costs its pixels once.
void ReadJpegRows(std::span<const uint8_t> data, const TJpegRowRequest& request) {
  if (data.empty()) Fail("the picture data is empty");
  jpeg_decompress_struct cinfo{};
  TJpegErrorManager err{};
  jpeg_progress_mgr progress{};
  std::vector<uint8_t> row;
  std::vector<uint32_t> argb;

  InitErrors(err);
  err.Strict = request.Strict;
  cinfo.err = &err.Pub;
  jpeg_create_decompress(&cinfo);
  TDecompressGuard guard{&cinfo};
  if (setjmp(err.Jump)) Fail(err.Message);

  progress.progress_monitor = LimitScans;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  if (request.ReadOrientation) jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);
  const int scale =
      request.Eighths != 0
          ? request.Eighths
          : JpegScaleFor(static_cast<int32_t>(std::min<JDIMENSION>(cinfo.image_width, INT32_MAX)),
                         static_cast<int32_t>(std::min<JDIMENSION>(cinfo.image_height, INT32_MAX)),
                         request.MinWidth, request.MinHeight);
  // The full size keeps libjpeg's defaults, so that its pixels are those of every full decode.
  if (scale < FullJpegScale) {
    cinfo.scale_num = static_cast<unsigned>(scale);
    cinfo.scale_denom = FullJpegScale;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  const uint64_t pixels = static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height;
  if (pixels > MaxPicturePixels)
    throw EImageError("JPEG error: the picture of " + std::to_string(cinfo.image_width) + " x " +
                      std::to_string(cinfo.image_height) + " pixels is too large (at most " +
                      std::to_string(MaxPicturePixels) + " pixels)");
  // libjpeg fills a picture whose data ends early: a frame far larger than its data could describe is not
  // allocated.
  const uint64_t perByte = cinfo.arith_code ? ArithmeticPixelsPerByte : HuffmanPixelsPerByte;
  if (pixels > (static_cast<uint64_t>(data.size()) + 1) * perByte) {
    if (!EndsComplete(data)) Fail("the picture data is cut short");
    throw EImageError("JPEG error: the picture claims " + std::to_string(cinfo.image_width) + " x " +
                      std::to_string(cinfo.image_height) + " pixels, more than its " +
                      std::to_string(data.size()) + " bytes can describe");
  }
  const int orientation = request.ReadOrientation ? ExifOrientation(cinfo) : 1;
  jpeg_start_decompress(&cinfo);
  const auto width = static_cast<std::size_t>(cinfo.output_width);
  const auto height = static_cast<int32_t>(cinfo.output_height);
  const TImageInfo stored{static_cast<int32_t>(cinfo.image_width), static_cast<int32_t>(cinfo.image_height)};
  if (request.OnStart) request.OnStart(static_cast<int32_t>(width), height, stored, orientation);
  row.resize(width * static_cast<std::size_t>(cinfo.output_components));
  argb.resize(width);
  // Photoshop stores CMYK inverted and says so in its Adobe marker.
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    const auto y = static_cast<int32_t>(cinfo.output_scanline);
    JSAMPROW rows[1] = {row.data()};
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
    if (cmyk) {
      for (std::size_t x = 0; x < width; ++x) {
        const uint8_t* p = row.data() + 4 * x;
        unsigned c = p[0], m = p[1], yl = p[2], k = p[3];
        if (!inverted) c = 255 - c, m = 255 - m, yl = 255 - yl, k = 255 - k;
        argb[x] = 0xFF000000u | static_cast<uint32_t>(Mul255(c, k)) << 16 |
                  static_cast<uint32_t>(Mul255(m, k)) << 8 | Mul255(yl, k);
      }
    } else {
      for (std::size_t x = 0; x < width; ++x) {
        const uint8_t* p = row.data() + 3 * x;
        argb[x] = 0xFF000000u | static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
      }
    }
    if (request.OnRow) request.OnRow(y, argb.data());
  }
  jpeg_finish_decompress(&cinfo);
}

TDecodedPicture Decode(std::span<const uint8_t> data, int eighths, int32_t minWidth, int32_t minHeight) {
  TDecodedPicture picture;
  TJpegRowRequest request;
  request.Eighths = eighths;
  request.MinWidth = minWidth;
  request.MinHeight = minHeight;
  request.OnStart = [&](int32_t width, int32_t height, TImageInfo, int) {
    picture.Width = width;
    picture.Height = height;
    picture.Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  };
  request.OnRow = [&](int32_t y, const uint32_t* row) {
    const auto width = static_cast<std::size_t>(picture.Width);
    std::copy_n(row, width, picture.Pixels.data() + static_cast<std::size_t>(y) * width);
  };
  ReadJpegRows(data, request);
  return picture;
}

// Where the pixel at (x, y) of a width x height picture goes when the picture is turned upright by its
// EXIF orientation, in a picture of the size UprightSize gives.
struct TOrientation {
  int Value;
  int32_t Width, Height;
  bool Swaps() const { return Value >= 5; }
  std::size_t Target(int32_t x, int32_t y) const {
    const int32_t w = Width, h = Height;
    int32_t tx = x, ty = y;
    switch (Value) {
    case 2:
      tx = w - 1 - x;
      break;
    case 3:
      tx = w - 1 - x, ty = h - 1 - y;
      break;
    case 4:
      ty = h - 1 - y;
      break;
    case 5:
      tx = y, ty = x;
      break;
    case 6:
      tx = h - 1 - y, ty = x;
      break;
    case 7:
      tx = h - 1 - y, ty = w - 1 - x;
      break;
    case 8:
      tx = y, ty = w - 1 - x;
      break;
    default:
      break;
    }
    const int32_t outWidth = Swaps() ? h : w;
    return static_cast<std::size_t>(ty) * static_cast<std::size_t>(outWidth) + static_cast<std::size_t>(tx);
  }
};

} // namespace

TJpegCheck CheckJpeg(std::span<const uint8_t> data) {
  TJpegCheck check;
  TJpegRowRequest request;
  // Every coefficient is decoded at any scale, so the smallest finds every fault of the data at a fraction
  // of the work.
  request.Eighths = 1;
  request.Strict = true;
  request.ReadOrientation = true;
  request.OnStart = [&](int32_t, int32_t, TImageInfo stored, int orientation) {
    check.Width = stored.Width;
    check.Height = stored.Height;
    check.Orientation = orientation;
  };
  ReadJpegRows(data, request);
  return check;
}

TMemoryStream UprightJpeg(std::span<const uint8_t> data, int quality) {
  // Three bytes a pixel: less than the picture decoded, and all the encoder needs.
  std::vector<uint8_t> rgb;
  std::optional<TOrientation> turn;
  TJpegRowRequest request;
  request.Strict = true;
  request.ReadOrientation = true;
  request.OnStart = [&](int32_t width, int32_t height, TImageInfo, int orientation) {
    turn = TOrientation{orientation, width, height};
    rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  };
  request.OnRow = [&](int32_t y, const uint32_t* row) {
    for (int32_t x = 0; x < turn->Width; ++x) {
      uint8_t* p = rgb.data() + 3 * turn->Target(x, y);
      p[0] = static_cast<uint8_t>(row[x] >> 16);
      p[1] = static_cast<uint8_t>(row[x] >> 8);
      p[2] = static_cast<uint8_t>(row[x]);
    }
  };
  ReadJpegRows(data, request);
  const int32_t width = turn->Swaps() ? turn->Height : turn->Width;
  const int32_t height = turn->Swaps() ? turn->Width : turn->Height;
  TJpegRowEncoder encoder(width, height, quality);
  std::vector<uint32_t> row(static_cast<std::size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* p = rgb.data() + static_cast<std::size_t>(y) * row.size() * 3;
    for (uint32_t& pixel : row) {
      pixel = 0xFF000000u | static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
      p += 3;
    }
    encoder.WriteRow(row.data());
  }
  TMemoryStream result;
  encoder.Finish(result);
  result.SetPosition(0);
  return result;
}

TImageInfo ReadJpegSize(std::span<const uint8_t> data) {
  const auto bad = [](const std::string& reason) { return EImageError("Invalid JPEG image: " + reason); };
  if (data.empty()) throw bad("no data");
  jpeg_decompress_struct cinfo{};
  TJpegErrorManager err{};
  InitErrors(err);
  cinfo.err = &err.Pub;
  jpeg_create_decompress(&cinfo);
  TDecompressGuard guard{&cinfo};
  if (setjmp(err.Jump)) throw bad(err.Message);
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  const TImageInfo info{static_cast<int32_t>(cinfo.image_width), static_cast<int32_t>(cinfo.image_height)};
  if (info.Width <= 0 || info.Height <= 0) throw bad("empty picture");
  return info;
}

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

struct TJpegRowEncoder::TState {
  jpeg_compress_struct Info{};
  TJpegErrorManager Err{};
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;
  std::vector<uint8_t> Row;
  bool Created = false;

  ~TState() {
    if (Created) jpeg_destroy_compress(&Info);
    std::free(Buffer);
  }
};

// Every call into libjpeg sets its own return point: an error there comes back as EImageError.
#define KV_JPEG_GUARD(state)                                                                                 \
  if (setjmp((state).Err.Jump)) Fail((state).Err.Message)

TJpegRowEncoder::TJpegRowEncoder(int32_t width, int32_t height, int quality) : S(std::make_unique<TState>()) {
  if (width <= 0 || height <= 0) Fail("an empty picture cannot be encoded");
  if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) Fail("the picture is too large");
  S->Row.resize(static_cast<std::size_t>(width) * 3);
  InitErrors(S->Err);
  S->Info.err = &S->Err.Pub;
  jpeg_create_compress(&S->Info);
  S->Created = true;
  KV_JPEG_GUARD(*S);
  jpeg_mem_dest(&S->Info, &S->Buffer, &S->Size);
  S->Info.image_width = static_cast<JDIMENSION>(width);
  S->Info.image_height = static_cast<JDIMENSION>(height);
  S->Info.input_components = 3;
  S->Info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&S->Info);
  jpeg_set_quality(&S->Info, std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(&S->Info, TRUE);
}

TJpegRowEncoder::~TJpegRowEncoder() = default;

void TJpegRowEncoder::WriteRow(const uint32_t* argb) {
  if (S->Info.next_scanline >= S->Info.image_height) Fail("more rows than the picture has");
  uint8_t* p = S->Row.data();
  for (std::size_t x = 0, n = S->Row.size() / 3; x < n; ++x, p += 3) {
    p[0] = static_cast<uint8_t>(argb[x] >> 16);
    p[1] = static_cast<uint8_t>(argb[x] >> 8);
    p[2] = static_cast<uint8_t>(argb[x]);
  }
  KV_JPEG_GUARD(*S);
  JSAMPROW rows[1] = {S->Row.data()};
  jpeg_write_scanlines(&S->Info, rows, 1);
}

void TJpegRowEncoder::Finish(TStream& stream) {
  if (S->Info.next_scanline != S->Info.image_height) Fail("the picture is missing rows");
  {
    KV_JPEG_GUARD(*S);
    jpeg_finish_compress(&S->Info);
  }
  stream.WriteBuffer(S->Buffer, S->Size);
}

#undef KV_JPEG_GUARD

void WriteJpeg(TStream& stream, int32_t width, int32_t height, const uint32_t* pixels, int quality) {
  TJpegRowEncoder encoder(width, height, quality);
  for (int32_t y = 0; y < height; ++y)
    encoder.WriteRow(pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
  encoder.Finish(stream);
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
