#include "data/uImageInfo.h"

#include "data/uKVErrors.h"
#include "data/uLittleEndian.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace kv {

namespace {

struct TJpegErrorManager {
  jpeg_error_mgr Public;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

// libjpeg's default would print the message and end the process; jump back to the caller instead.
void JpegErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->Message);
  std::longjmp(manager->Jump, 1);
}

// Warnings about damaged data are not shown anywhere.
void JpegOutputMessage(j_common_ptr) {}

// Only trivially destructible objects live in this frame, so the longjmp out of libjpeg is well defined.
bool ReadJpegHeader(const uint8_t* data, std::size_t size, TImageInfo& info, char* message) {
  jpeg_decompress_struct cinfo;
  TJpegErrorManager errors;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&errors.Public);
  errors.Public.error_exit = JpegErrorExit;
  errors.Public.output_message = JpegOutputMessage;
  errors.Message[0] = '\0';
  if (setjmp(errors.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::memcpy(message, errors.Message, JMSG_LENGTH_MAX);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  info.Width = static_cast<int32_t>(cinfo.image_width);
  info.Height = static_cast<int32_t>(cinfo.image_height);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

uint16_t U16(std::span<const uint8_t> d, std::size_t at) {
  return LoadLE<uint16_t>(d.data() + at);
}
uint32_t U32(std::span<const uint8_t> d, std::size_t at) {
  return LoadLE<uint32_t>(d.data() + at);
}

[[noreturn]] void BadBmp(const std::string& reason) {
  throw EImageError("Invalid BMP image: " + reason);
}

bool ValidBitCount(uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

TImageInfo ReadJpegSize(std::span<const uint8_t> data) {
  if (data.empty()) throw EImageError("Invalid JPEG image: no data");
  TImageInfo info;
  char message[JMSG_LENGTH_MAX] = {};
  if (!ReadJpegHeader(data.data(), data.size(), info, message))
    throw EImageError(std::string("Invalid JPEG image: ") + message);
  if (info.Width <= 0 || info.Height <= 0) throw EImageError("Invalid JPEG image: empty picture");
  return info;
}

TImageInfo ReadBmpSize(std::span<const uint8_t> data) {
  constexpr std::size_t fileHeader = 14;
  if (data.size() < 2 || data[0] != 'B' || data[1] != 'M') BadBmp("no \"BM\" signature");
  if (data.size() < fileHeader + 4) BadBmp("truncated header");
  const uint32_t headerSize = U32(data, fileHeader);
  if (headerSize != 12 && headerSize < 16) BadBmp("unknown header size " + std::to_string(headerSize));
  if (headerSize > data.size() - fileHeader) BadBmp("truncated header");
  const std::size_t h = fileHeader;
  TImageInfo info;
  uint16_t bits = 0;
  if (headerSize == 12) {
    // BITMAPCOREHEADER: 16-bit unsigned sizes.
    info.Width = U16(data, h + 4);
    info.Height = U16(data, h + 6);
    bits = U16(data, h + 10);
  } else {
    const auto width = static_cast<int32_t>(U32(data, h + 4));
    const auto height = static_cast<int32_t>(U32(data, h + 8));
    if (height == INT32_MIN) BadBmp("height out of range");
    info.Width = width;
    info.Height = height < 0 ? -height : height;
    bits = U16(data, h + 14);
  }
  if (info.Width <= 0 || info.Height <= 0) BadBmp("empty picture");
  if (!ValidBitCount(bits)) BadBmp("unsupported bit count " + std::to_string(bits));
  return info;
}

TImageInfo ReadImageSize(std::span<const uint8_t> data, TImageKind kind) {
  return kind == TImageKind::ikJPEG ? ReadJpegSize(data) : ReadBmpSize(data);
}

TImageInfo ReadImageSize(const TMemoryStream& data, TImageKind kind) {
  return ReadImageSize(std::span<const uint8_t>(data.Bytes()), kind);
}

} // namespace kv
