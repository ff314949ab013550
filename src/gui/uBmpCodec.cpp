#include "gui/uBmpCodec.h"

#include "core/uKVErrors.h"
#include "data/uLittleEndian.h"
#include "gui/uBitmap32.h"

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <string>

namespace kv {

namespace {

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_ALPHABITFIELDS = 6;

constexpr std::size_t FileHeaderSize = 14;
constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t OpaqueBlack = 0xFF000000u;

[[noreturn]] void Invalid(const std::string& reason) {
  throw EImageError("Bitmap image is not valid: " + reason);
}

uint16_t Word(std::span<const uint8_t> d, std::size_t at) {
  return LoadLE<uint16_t>(d.data() + at);
}

uint32_t DWord(std::span<const uint8_t> d, std::size_t at) {
  return LoadLE<uint32_t>(d.data() + at);
}

bool ValidBitCount(uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::string BitCountFault(uint16_t bits) {
  return "unsupported bit count " + std::to_string(bits);
}

// The file header and the fields every bitmap header shares, as both the size reader and the decoder start.
struct TBmpHeaders {
  uint32_t OffBits = 0;
  uint32_t HeaderSize = 0;
  bool Core = false;
  // As stored: negative in a damaged info header.
  int32_t Width = 0;
  // The absolute value: top-down bitmaps store it negative.
  int32_t Height = 0;
  bool TopDown = false;
  uint16_t BitCount = 0;
};

// The reason the headers cannot be read, or an empty string; each reader words it as its own error. The whole
// bitmap header is there when this succeeds. The bit count is left to the caller to check.
std::string ReadBmpHeaders(std::span<const uint8_t> d, TBmpHeaders& h) {
  if (d.size() < 2 || d[0] != 'B' || d[1] != 'M') return "no \"BM\" signature";
  if (d.size() < FileHeaderSize + 4) return "truncated header";
  h.OffBits = DWord(d, 10);
  h.HeaderSize = DWord(d, FileHeaderSize);
  if (h.HeaderSize != CoreHeaderSize && h.HeaderSize < 16)
    return "unknown header size " + std::to_string(h.HeaderSize);
  if (h.HeaderSize > d.size() - FileHeaderSize) return "truncated header";
  const std::size_t at = FileHeaderSize;
  if (h.HeaderSize == CoreHeaderSize) {
    // BITMAPCOREHEADER: 16-bit unsigned sizes.
    h.Core = true;
    h.Width = Word(d, at + 4);
    h.Height = Word(d, at + 6);
    h.BitCount = Word(d, at + 10);
    return {};
  }
  // BITMAPINFOHEADER and its successors (V2, V3, V4, V5) and the OS/2 2.x header share the first fields.
  h.Width = static_cast<int32_t>(DWord(d, at + 4));
  const auto height = static_cast<int32_t>(DWord(d, at + 8));
  if (height == INT32_MIN) return "height out of range";
  h.TopDown = height < 0;
  h.Height = height < 0 ? -height : height;
  h.BitCount = Word(d, at + 14);
  return {};
}

// One channel described by a bit mask, widened or narrowed to 8 bits.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  int Bits = 0;

  explicit TChannel(uint32_t mask = 0) : Mask(mask) {
    if (mask == 0) return;
    Shift = std::countr_zero(mask);
    Bits = 32 - std::countl_zero(mask) - Shift;
  }
  bool Present() const { return Mask != 0; }
  uint8_t Extract(uint32_t value) const {
    if (Bits == 0) return 0;
    const uint64_t v = (value & Mask) >> Shift;
    if (Bits >= 8) return static_cast<uint8_t>(v >> (Bits - 8));
    const uint64_t max = (uint64_t{1} << Bits) - 1;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

// The shared fields and what only decoding needs.
struct THeader : TBmpHeaders {
  uint32_t Compression = BI_RGB;
  uint32_t ColorsUsed = 0;
  uint32_t Masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
  bool HasMasks = false;
  bool HasAlphaMask = false;
};

class TBmpDecoder {
public:
  explicit TBmpDecoder(std::span<const uint8_t> data) : Data(data) {}

  TDecodedPicture Decode(std::size_t* consumed) {
    const std::size_t pixelsAt = ReadHeaders();
    TDecodedPicture picture;
    std::size_t end = pixelsAt;
    if (Rle()) {
      Allocate(picture);
      end = DecodeRle(
          pixelsAt, [&](uint32_t x, uint32_t row, uint8_t index) { Row(picture, row)[x] = Palette[index]; });
    } else {
      const uint64_t stride = Stride();
      Allocate(picture);
      // A bitmap of width 0 may still claim two billion rows: with no pixels there is nothing to visit.
      if (PixelCount() != 0) {
        const TChannels channels = Channels();
        for (uint32_t r = 0; r < static_cast<uint32_t>(H.Height); ++r)
          DecodeRow(Data.data() + pixelsAt + r * stride, Row(picture, r), channels);
      }
      end =
          pixelsAt + static_cast<std::size_t>(std::min<uint64_t>(stride * H.Height, Data.size() - pixelsAt));
    }
    if (consumed) *consumed = end;
    return picture;
  }

  // The rows top first, one at a time: an uncompressed bitmap is never held decoded as a whole.
  void VisitRows(const std::function<void(int32_t width, int32_t height)>& onStart,
                 const std::function<void(int32_t y, const uint32_t* row)>& onRow) {
    const std::size_t pixelsAt = ReadHeaders();
    const auto width = static_cast<std::size_t>(H.Width);
    if (Rle()) {
      // Palette indices, a byte a pixel: a quarter of the picture decoded. Pixels the data leaves out take
      // entry 0.
      std::vector<uint8_t> indices(width * static_cast<std::size_t>(H.Height), 0);
      DecodeRle(pixelsAt, [&](uint32_t x, uint32_t row, uint8_t index) {
        const uint32_t y = H.TopDown ? row : static_cast<uint32_t>(H.Height) - 1 - row;
        indices[y * width + x] = index;
      });
      onStart(H.Width, H.Height);
      std::vector<uint32_t> line(width);
      for (int32_t y = 0; y < H.Height; ++y) {
        const uint8_t* index = indices.data() + static_cast<std::size_t>(y) * width;
        for (std::size_t x = 0; x < width; ++x) line[x] = Palette[index[x]];
        onRow(y, line.data());
      }
      return;
    }
    onStart(H.Width, H.Height);
    if (PixelCount() == 0) return;
    const uint64_t stride = Stride();
    const TChannels channels = Channels();
    std::vector<uint32_t> row(width);
    for (int32_t y = 0; y < H.Height; ++y) {
      const uint32_t stored = H.TopDown ? static_cast<uint32_t>(y) : static_cast<uint32_t>(H.Height - 1 - y);
      DecodeRow(Data.data() + pixelsAt + stored * stride, row.data(), channels);
      onRow(y, row.data());
    }
  }

private:
  struct TChannels {
    TChannel Red, Green, Blue, Alpha;
  };

  bool Rle() const { return H.Compression == BI_RLE8 || H.Compression == BI_RLE4; }
  uint64_t PixelCount() const { return static_cast<uint64_t>(H.Width) * static_cast<uint64_t>(H.Height); }
  uint64_t Stride() const { return ((static_cast<uint64_t>(H.Width) * H.BitCount + 31) / 32) * 4; }

  // The headers, colour masks and palette, and the checks of the size against the data; returns where the
  // pixel data starts.
  std::size_t ReadHeaders() {
    if (std::string fault = ReadBmpHeaders(Data, H); !fault.empty()) Invalid(fault);
    const uint32_t offBits = H.OffBits;
    const uint32_t headerSize = H.HeaderSize;
    ReadHeader();

    // Colour masks that follow a 40-byte header, and the palette after them.
    std::size_t at = FileHeaderSize + headerSize;
    if (!H.Core && headerSize == InfoHeaderSize &&
        (H.Compression == BI_BITFIELDS || H.Compression == BI_ALPHABITFIELDS)) {
      const int count = H.Compression == BI_ALPHABITFIELDS ? 4 : 3;
      Need(at, 4u * count, "the colour masks are cut short");
      for (int i = 0; i < count; ++i) H.Masks[i] = DWord(Data, at + 4u * i);
      H.HasMasks = true;
      H.HasAlphaMask = count == 4;
      at += 4u * count;
    }
    ReadPalette(at);

    // The pixel data starts where the file header says; a missing or impossible offset falls back to the
    // end of the palette, where writers that leave it 0 put the pixels.
    std::size_t pixelsAt = at;
    if (offBits != 0) {
      if (offBits > Data.size()) Invalid("the pixel data lies past the end of the file");
      if (offBits >= FileHeaderSize + headerSize) pixelsAt = offBits;
    }

    if (PixelCount() > MaxPicturePixels)
      Invalid("the picture of " + std::to_string(H.Width) + " x " + std::to_string(H.Height) +
              " pixels is too large (at most " + std::to_string(MaxPicturePixels) + " pixels)");
    if (Rle()) {
      if (H.BitCount != (H.Compression == BI_RLE8 ? 8 : 4))
        Invalid("the compression does not suit the depth");
      // A run of two bytes covers at most 255 pixels, an end of line the rest of a row: a bitmap asking for
      // far more pixels than its bytes could describe is not allocated.
      const uint64_t available = Data.size() - pixelsAt;
      if (PixelCount() > (available + 1) * 1024) Invalid("the compressed pixel data is too short");
    } else {
      const uint64_t lastRow = (static_cast<uint64_t>(H.Width) * H.BitCount + 7) / 8;
      const uint64_t needed = H.Height == 0 || H.Width == 0 ? 0 : Stride() * (H.Height - 1) + lastRow;
      if (needed > Data.size() - pixelsAt) Invalid("the pixel data is cut short");
    }
    return pixelsAt;
  }

  void Need(std::size_t at, std::size_t count, const char* reason) const {
    if (at > Data.size() || count > Data.size() - at) Invalid(reason);
  }

  // The checks and fields of the bitmap header beyond the shared ones.
  void ReadHeader() {
    const std::size_t at = FileHeaderSize;
    const uint32_t headerSize = H.HeaderSize;
    if (!H.Core && headerSize > 0x10000) Invalid("unknown header size " + std::to_string(headerSize));
    if (H.Width < 0) Invalid("the width is negative");
    if (!H.Core) {
      if (headerSize >= 20) H.Compression = DWord(Data, at + 16);
      if (headerSize >= 36) H.ColorsUsed = DWord(Data, at + 32);
      if (headerSize >= 52 && (H.Compression == BI_BITFIELDS || H.Compression == BI_ALPHABITFIELDS)) {
        for (int i = 0; i < 3; ++i) H.Masks[i] = DWord(Data, at + 40 + 4u * i);
        H.HasMasks = true;
      }
      if (headerSize >= 56 && H.HasMasks) {
        H.Masks[3] = DWord(Data, at + 52);
        H.HasAlphaMask = true;
      }
      // The OS/2 2.x header uses 3 and 4 for Huffman and RLE24 coding, which nobody reads.
      if (headerSize == 64 && (H.Compression == 3 || H.Compression == 4))
        Invalid("OS/2 compressed bitmaps are not supported");
    }
    if (!ValidBitCount(H.BitCount)) Invalid(BitCountFault(H.BitCount));
    switch (H.Compression) {
    case BI_RGB:
    case BI_RLE8:
    case BI_RLE4:
      break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
      if (H.BitCount != 16 && H.BitCount != 32) Invalid("colour masks need a depth of 16 or 32 bits");
      break;
    default:
      Invalid("unsupported compression " + std::to_string(H.Compression));
    }
  }

  void ReadPalette(std::size_t& at) {
    const std::size_t entrySize = H.Core ? 3 : 4;
    uint64_t entries = 0;
    if (H.ColorsUsed != 0)
      entries = H.ColorsUsed;
    else if (H.BitCount <= 8)
      entries = uint64_t{1} << H.BitCount;
    if (H.BitCount > 8) {
      // A palette on a true-colour bitmap is only a hint for display devices; skip what is there.
      const uint64_t bytes = std::min<uint64_t>(entries * entrySize, Data.size() - std::min(at, Data.size()));
      at += static_cast<std::size_t>(bytes);
      return;
    }
    if (entries > 256) entries = 256;
    Need(at, static_cast<std::size_t>(entries * entrySize), "the palette is cut short");
    Palette.fill(OpaqueBlack);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::size_t p = at + i * entrySize;
      Palette[i] = OpaqueBlack | static_cast<uint32_t>(Data[p + 2]) << 16 |
                   static_cast<uint32_t>(Data[p + 1]) << 8 | Data[p];
    }
    at += static_cast<std::size_t>(entries * entrySize);
  }

  void Allocate(TDecodedPicture& picture) const {
    picture.Width = H.Width;
    picture.Height = H.Height;
    // Pixels an RLE bitmap leaves out take palette entry 0.
    picture.Pixels.assign(static_cast<std::size_t>(H.Width) * static_cast<std::size_t>(H.Height),
                          H.BitCount <= 8 ? Palette[0] : OpaqueBlack);
  }

  uint32_t* Row(TDecodedPicture& picture, uint32_t storedRow) const {
    const uint32_t y = H.TopDown ? storedRow : static_cast<uint32_t>(H.Height) - 1 - storedRow;
    return picture.Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(H.Width);
  }

  TChannels Channels() const {
    TChannels c;
    if (H.BitCount == 16 || H.BitCount == 32) {
      uint32_t masks[4] = {H.Masks[0], H.Masks[1], H.Masks[2], H.Masks[3]};
      if (!H.HasMasks) {
        if (H.BitCount == 16) {
          masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F, masks[3] = 0;
        } else {
          masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF, masks[3] = 0xFF000000;
        }
      } else if (H.BitCount == 32 && !H.HasAlphaMask && (masks[0] | masks[1] | masks[2]) == 0x00FFFFFF) {
        // Byte-aligned colour masks leave the fourth byte, which a 32-bit image keeps as alpha.
        masks[3] = 0xFF000000;
      }
      c.Red = TChannel(masks[0]), c.Green = TChannel(masks[1]), c.Blue = TChannel(masks[2]);
      // Only a 32-bit image carries alpha; every other depth is opaque.
      if (H.BitCount == 32) c.Alpha = TChannel(masks[3]);
    }
    return c;
  }

  void DecodeRow(const uint8_t* src, uint32_t* dst, const TChannels& c) const {
    const auto width = static_cast<std::size_t>(H.Width);
    switch (H.BitCount) {
    case 1:
      for (std::size_t x = 0; x < width; ++x) dst[x] = Palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case 4:
      for (std::size_t x = 0; x < width; ++x) dst[x] = Palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
      break;
    case 8:
      for (std::size_t x = 0; x < width; ++x) dst[x] = Palette[src[x]];
      break;
    case 24:
      for (std::size_t x = 0; x < width; ++x) {
        const uint8_t* p = src + 3 * x;
        dst[x] = OpaqueBlack | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
      }
      break;
    case 16:
    case 32: {
      const std::size_t bytes = H.BitCount / 8;
      for (std::size_t x = 0; x < width; ++x) {
        const uint8_t* p = src + bytes * x;
        const uint32_t v = bytes == 2
                               ? static_cast<uint32_t>(p[0] | p[1] << 8)
                               : static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                     static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
        const uint32_t a = c.Alpha.Present() ? c.Alpha.Extract(v) : 255u;
        dst[x] = a << 24 | static_cast<uint32_t>(c.Red.Extract(v)) << 16 |
                 static_cast<uint32_t>(c.Green.Extract(v)) << 8 | c.Blue.Extract(v);
      }
      break;
    }
    }
  }

  // Runs, absolute blocks and the escapes end of line (0 0), end of bitmap (0 1) and delta (0 2 dx dy).
  // Pixels that fall outside the bitmap are dropped; data that ends without an end-of-bitmap escape ends
  // the bitmap, one that ends inside a record is an error. Returns the offset after the data read.
  // put(x, stored row, palette index) receives every pixel inside the bitmap.
  template <class Put> std::size_t DecodeRle(std::size_t at, Put&& store) const {
    const bool four = H.Compression == BI_RLE4;
    const auto width = static_cast<uint32_t>(H.Width);
    const auto height = static_cast<uint32_t>(H.Height);
    uint32_t x = 0, row = 0;
    auto put = [&](uint8_t index) {
      if (x < width && row < height) store(x, row, index);
      ++x;
    };
    std::size_t p = at;
    const std::size_t size = Data.size();
    while (row < height) {
      if (p >= size) break;
      if (size - p < 2) Invalid("the compressed pixel data is cut short");
      const uint8_t count = Data[p], value = Data[p + 1];
      p += 2;
      if (count > 0) {
        for (uint32_t i = 0; i < count && x < width; ++i)
          put(four ? static_cast<uint8_t>((i & 1) ? value & 15 : value >> 4) : value);
        continue;
      }
      if (value == 0) { // end of line
        x = 0;
        ++row;
      } else if (value == 1) { // end of bitmap
        break;
      } else if (value == 2) { // delta
        if (size - p < 2) Invalid("the compressed pixel data is cut short");
        x = std::min(x + Data[p], width);
        row += Data[p + 1];
        p += 2;
      } else { // absolute block, padded to a 16-bit boundary
        const std::size_t bytes = four ? (value + 1u) / 2 : value;
        const std::size_t padded = bytes + (bytes & 1);
        if (size - p < bytes) Invalid("the compressed pixel data is cut short");
        for (uint32_t i = 0; i < value && x < width; ++i) {
          const uint8_t b = Data[p + (four ? i / 2 : i)];
          put(four ? static_cast<uint8_t>((i & 1) ? b & 15 : b >> 4) : b);
        }
        p += std::min(padded, size - p);
      }
    }
    return p;
  }

  std::span<const uint8_t> Data;
  THeader H;
  std::array<uint32_t, 256> Palette{};
};

void PutWord(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutDWord(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

TImageInfo ReadBmpSize(std::span<const uint8_t> data) {
  const auto bad = [](const std::string& reason) { return EImageError("Invalid BMP image: " + reason); };
  TBmpHeaders headers;
  if (std::string fault = ReadBmpHeaders(data, headers); !fault.empty()) throw bad(fault);
  if (headers.Width <= 0 || headers.Height <= 0) throw bad("empty picture");
  if (!ValidBitCount(headers.BitCount)) throw bad(BitCountFault(headers.BitCount));
  return {headers.Width, headers.Height};
}

TDecodedPicture DecodeBmp(std::span<const uint8_t> data, std::size_t* consumed) {
  return TBmpDecoder(data).Decode(consumed);
}

void VisitBmpRows(std::span<const uint8_t> data,
                  const std::function<void(int32_t width, int32_t height)>& onStart,
                  const std::function<void(int32_t y, const uint32_t* row)>& onRow) {
  TBmpDecoder(data).VisitRows(onStart, onRow);
}

TDecodedPicture ReadBmp(TStream& stream) {
  const int64_t start = stream.Position();
  const std::vector<uint8_t> bytes = stream.ReadBytes(stream.Remaining());
  std::size_t consumed = 0;
  TDecodedPicture picture = DecodeBmp(bytes, &consumed);
  stream.SetPosition(start + static_cast<int64_t>(consumed));
  return picture;
}

namespace {

void WriteBmpBits(TStream& stream, int32_t width, int32_t height, const uint32_t* pixels, uint16_t bits) {
  if (width < 0 || height < 0) throw EImageError("Bitmap image is not valid: negative size");
  const uint64_t bytesPerPixel = bits / 8;
  const uint64_t rowSize = (static_cast<uint64_t>(width) * bytesPerPixel + 3) / 4 * 4;
  const uint64_t imageSize = rowSize * static_cast<uint64_t>(height);
  if (imageSize > 0xFFFFFFFFull - FileHeaderSize - InfoHeaderSize)
    throw EImageError("Bitmap image is not valid: the picture is too large for a BMP file");
  uint8_t header[FileHeaderSize + InfoHeaderSize] = {};
  header[0] = 'B';
  header[1] = 'M';
  PutDWord(header + 2, static_cast<uint32_t>(sizeof header + imageSize));
  PutDWord(header + 10, sizeof header);
  uint8_t* info = header + FileHeaderSize;
  PutDWord(info, InfoHeaderSize);
  PutDWord(info + 4, static_cast<uint32_t>(width));
  PutDWord(info + 8, static_cast<uint32_t>(height)); // positive: bottom-up
  PutWord(info + 12, 1);
  PutWord(info + 14, bits);
  PutDWord(info + 16, BI_RGB);
  PutDWord(info + 20, static_cast<uint32_t>(imageSize));
  stream.WriteBuffer(header, sizeof header);

  std::vector<uint8_t> row(static_cast<std::size_t>(rowSize), 0);
  for (int32_t y = height - 1; y >= 0; --y) {
    const uint32_t* src = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* out = row.data() + bytesPerPixel * static_cast<std::size_t>(x);
      if (bits == 32) {
        PutDWord(out, src[x]);
      } else {
        out[0] = static_cast<uint8_t>(src[x]);
        out[1] = static_cast<uint8_t>(src[x] >> 8);
        out[2] = static_cast<uint8_t>(src[x] >> 16);
      }
    }
    if (!row.empty()) stream.WriteBuffer(row.data(), row.size());
  }
}

} // namespace

void WriteBmp(TStream& stream, int32_t width, int32_t height, const uint32_t* pixels) {
  WriteBmpBits(stream, width, height, pixels, 32);
}

void WriteBmp24(TStream& stream, int32_t width, int32_t height, const uint32_t* pixels) {
  WriteBmpBits(stream, width, height, pixels, 24);
}

void WriteBmp(TStream& stream, const TDecodedPicture& picture) {
  WriteBmp(stream, picture.Width, picture.Height, picture.Pixels.data());
}

// ---- The surface's BMP file image

void TBitmap32::LoadFromStream(TStream& stream) {
  Assign(ReadBmp(stream));
}

void TBitmap32::SaveToStream(TStream& stream) const {
  WriteBmp(stream, Width(), Height(), Bits());
}

} // namespace kv
