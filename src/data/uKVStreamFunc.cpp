#include "data/uKVStreamFunc.h"

#include "data/uKVErrors.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <zlib.h>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kv {

namespace {

template <typename T> void WriteLE(T value, TStream& stream) {
  using U = std::make_unsigned_t<T>;
  const auto u = static_cast<U>(value);
  uint8_t bytes[sizeof(T)];
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(u >> (8 * i));
  stream.WriteBuffer(bytes, sizeof(T));
}

template <typename T> T ReadLE(TStream& stream) {
  using U = std::make_unsigned_t<T>;
  uint8_t bytes[sizeof(T)];
  stream.ReadBuffer(bytes, sizeof(T));
  U u = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<U>(bytes[i]) << (8 * i));
  return static_cast<T>(u);
}

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

void TKVStreamFunc::WriteByte(uint8_t value, TStream& stream) {
  stream.WriteBuffer(&value, 1);
}
void TKVStreamFunc::WriteWord(int16_t value, TStream& stream) {
  WriteLE<int16_t>(value, stream);
}
void TKVStreamFunc::WriteInteger(int32_t value, TStream& stream) {
  WriteLE<int32_t>(value, stream);
}
void TKVStreamFunc::WriteCardinal(uint32_t value, TStream& stream) {
  WriteLE<uint32_t>(value, stream);
}

void TKVStreamFunc::WriteString(std::string_view text, TStream& stream) {
  WriteInteger(static_cast<int32_t>(text.size()), stream);
  stream.WriteBuffer(text.data(), text.size());
}

void TKVStreamFunc::WriteShortString(std::string_view text, TStream& stream) {
  const std::size_t n = std::min<std::size_t>(text.size(), 255);
  WriteByte(static_cast<uint8_t>(n), stream);
  stream.WriteBuffer(text.data(), n);
}

uint8_t TKVStreamFunc::ReadByte(TStream& stream) {
  uint8_t value = 0;
  stream.ReadBuffer(&value, 1);
  return value;
}
int16_t TKVStreamFunc::ReadWord(TStream& stream) {
  return ReadLE<int16_t>(stream);
}
uint16_t TKVStreamFunc::ReadTag(TStream& stream) {
  return ReadLE<uint16_t>(stream);
}
int32_t TKVStreamFunc::ReadInteger(TStream& stream) {
  return ReadLE<int32_t>(stream);
}
uint32_t TKVStreamFunc::ReadCardinal(TStream& stream) {
  return ReadLE<uint32_t>(stream);
}

std::string TKVStreamFunc::ReadString(TStream& stream) {
  const int32_t n = ReadInteger(stream);
  if (n <= 0) return {};
  return ReadChars(stream, n);
}

std::string TKVStreamFunc::ReadShortString(TStream& stream) {
  return ReadChars(stream, ReadByte(stream));
}

std::string TKVStreamFunc::ReadChars(TStream& stream, int64_t count) {
  if (count <= 0) return {};
  if (count > stream.Remaining()) throw EReadError();
  std::string text(static_cast<std::size_t>(count), '\0');
  stream.ReadBuffer(text.data(), text.size());
  return text;
}

void TKVStreamFunc::WriteSizedStream(TStream* source, TStream& destination) {
  if (!source) {
    WriteInteger(0, destination);
    return;
  }
  const int64_t size = source->Size();
  if (size > INT32_MAX) throw EWriteError();
  WriteInteger(static_cast<int32_t>(size), destination);
  if (size > 0) destination.CopyFrom(*source, 0);
}

void TKVStreamFunc::ReadSizedStream(TMemoryStream& destination, TStream& source) {
  const int32_t size = ReadInteger(source);
  if (size < 0 || size > source.Remaining()) throw EReadError();
  destination.Clear();
  destination.SetSize(size);
  source.ReadBuffer(destination.Memory(), static_cast<std::size_t>(size));
  destination.SetPosition(0);
}

void TKVStreamFunc::CompressStream(const TMemoryStream& source, TMemoryStream& destination) {
  destination.Clear();
  uLongf bound = compressBound(static_cast<uLong>(source.Size()));
  std::vector<uint8_t> out(bound);
  if (compress2(out.data(), &bound, source.Memory(), static_cast<uLong>(source.Size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    return;
  out.resize(bound);
  destination = TMemoryStream(std::move(out));
}

void TKVStreamFunc::DecompressStream(const TMemoryStream& source, TMemoryStream& destination) {
  DecompressBuffer(std::span<const uint8_t>(source.Memory(), static_cast<std::size_t>(source.Size())),
                   destination);
}

void TKVStreamFunc::DecompressBuffer(std::span<const uint8_t> source, TMemoryStream& destination,
                                     bool discardSource) {
  destination.Clear();
  constexpr std::size_t kMaxOutput = INT32_MAX;
  if (source.size() > UINT32_MAX) return;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return;
  // Packages are mostly JPEG data that deflate hardly shrinks: room a little above the input size, doubled
  // when that is not enough, so that a typical section inflates without moving its output. The room is
  // taken a slice at a time as the output grows, so that the pages of a source given back meanwhile are not
  // held together with the whole output.
  constexpr std::size_t Slice = std::size_t{1} << 20;
  std::vector<uint8_t> out;
  out.reserve(std::min(kMaxOutput, std::max<std::size_t>(65536, source.size() + source.size() / 8 + 4096)));
  std::size_t fed = 0, discarded = 0;
  int rc = Z_OK;
  while (true) {
    if (z.avail_in == 0 && fed < source.size()) {
      if (discardSource) {
        DiscardPages(source.data() + discarded, source.data() + fed);
        discarded = fed;
      }
      z.next_in = const_cast<Bytef*>(source.data() + fed);
      z.avail_in = static_cast<uInt>(std::min(Slice, source.size() - fed));
      fed += z.avail_in;
    }
    if (z.total_out == out.size()) {
      if (out.size() >= kMaxOutput) {
        rc = Z_MEM_ERROR;
        break;
      }
      if (out.size() == out.capacity()) out.reserve(std::min(kMaxOutput, out.capacity() * 2));
      out.resize(std::min(out.capacity(), out.size() + Slice));
    }
    z.next_out = out.data() + z.total_out;
    z.avail_out = static_cast<uInt>(out.size() - z.total_out);
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;
    // More room, more input, or progress made: go on. Otherwise the input ended before the zlib stream.
    if (rc == Z_OK || z.avail_out == 0 || (z.avail_in == 0 && fed < source.size())) continue;
    rc = Z_DATA_ERROR;
    break;
  }
  const std::size_t size = z.total_out;
  inflateEnd(&z);
  if (rc != Z_STREAM_END) return;
  out.resize(size);
  destination = TMemoryStream(std::move(out));
}

void TKVStreamFunc::DiscardPages(const uint8_t* begin, const uint8_t* end) {
#if defined(__linux__)
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
  const auto last = reinterpret_cast<std::uintptr_t>(end) / page * page;
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#else
  (void)begin;
  (void)end;
#endif
}

std::string TKVStreamFunc::EncodeBase64(TStream& stream) {
  stream.SetPosition(0);
  std::vector<uint8_t> bytes = stream.ReadBytes(stream.Size());
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    text += kAlphabet[v >> 18];
    text += kAlphabet[(v >> 12) & 63];
    text += kAlphabet[(v >> 6) & 63];
    text += kAlphabet[v & 63];
  }
  if (bytes.size() - i == 1) {
    const uint32_t v = bytes[i] << 16;
    text += kAlphabet[v >> 18];
    text += kAlphabet[(v >> 12) & 63];
    text += "==";
  } else if (bytes.size() - i == 2) {
    const uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8;
    text += kAlphabet[v >> 18];
    text += kAlphabet[(v >> 12) & 63];
    text += kAlphabet[(v >> 6) & 63];
    text += '=';
  }
  return text;
}

bool TKVStreamFunc::DecodeBase64(std::string_view text, TMemoryStream& destination) {
  destination.Clear();
  std::array<int8_t, 256> value{};
  value.fill(-1);
  for (int k = 0; k < 64; ++k) value[static_cast<uint8_t>(kAlphabet[k])] = static_cast<int8_t>(k);
  // "=" is a zero sextet that does not count towards the group of four.
  uint32_t group = 0;
  int count = 0;
  int padding = 0;
  for (const char c : text) {
    if (c == '=') {
      group <<= 6;
      ++padding;
      continue;
    }
    const int8_t v = value[static_cast<uint8_t>(c)];
    if (v < 0) return false;
    group = group << 6 | static_cast<uint32_t>(v);
    if (++count == 4) {
      const uint8_t out[3] = {static_cast<uint8_t>(group >> 16), static_cast<uint8_t>(group >> 8),
                              static_cast<uint8_t>(group)};
      destination.WriteBuffer(out, 3);
      group = 0;
      count = 0;
      padding = 0;
    }
  }
  if (count == 0) return true;
  if (count == 1) return false;
  const int missing = 4 - count - padding;
  if (missing > 0) group <<= 6 * missing;
  const uint8_t out[2] = {static_cast<uint8_t>(group >> 16), static_cast<uint8_t>(group >> 8)};
  destination.WriteBuffer(out, count == 2 ? 1 : 2);
  return true;
}

void TKVStreamFunc::SkipExtension(TStream& stream) {
  stream.Skip(ReadInteger(stream));
}

} // namespace kv
