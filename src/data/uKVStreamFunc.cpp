#include "data/uKVStreamFunc.h"

#include "core/uKVErrors.h"
#include "data/uLittleEndian.h"

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
  uint8_t bytes[sizeof(T)];
  StoreLE(value, bytes);
  stream.WriteBuffer(bytes, sizeof(T));
}

template <typename T> T ReadLE(TStream& stream) {
  uint8_t bytes[sizeof(T)];
  stream.ReadBuffer(bytes, sizeof(T));
  return LoadLE<T>(bytes);
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
  if (!stream.CanRead(count)) throw EReadError();
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
  if (!source.CanRead(size)) throw EReadError();
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
    throw EWriteError();
  out.resize(bound);
  destination = TMemoryStream(std::move(out));
}

void TKVStreamFunc::DecompressStream(const TMemoryStream& source, TMemoryStream& destination) {
  DecompressBuffer(std::span<const uint8_t>(source.Memory(), static_cast<std::size_t>(source.Size())),
                   destination);
}

void TKVStreamFunc::DecompressBuffer(std::span<const uint8_t> source, TMemoryStream& destination,
                                     bool discardSource, int64_t limit) {
  destination.Clear();
  const int64_t cap = limit < 0 ? InflateLimit(source.size()) : std::min(limit, InflateLimit(source.size()));
  TInflateStream inflated(source, discardSource, cap);
  // Packages are mostly JPEG data that deflate hardly shrinks: room a little above the input size, doubled
  // when that is not enough, so that a typical section inflates without moving its output. The room is
  // taken a slice at a time as the output grows, so that the pages of a source given back meanwhile are not
  // held together with the whole output. One byte beyond the limit lets the end of a stream that fills it
  // exactly be seen.
  constexpr std::size_t Slice = std::size_t{1} << 20;
  const auto room = static_cast<std::size_t>(cap) + 1;
  std::vector<uint8_t> out;
  out.reserve(std::min(room, std::max<std::size_t>(65536, source.size() + source.size() / 8 + 4096)));
  std::size_t size = 0;
  while (true) {
    if (size == out.size()) {
      if (out.size() == out.capacity()) out.reserve(std::min(room, out.capacity() * 2));
      out.resize(std::min(out.capacity(), out.size() + Slice));
    }
    const std::size_t got = inflated.Read(out.data() + size, out.size() - size);
    if (got == 0) break;
    size += got;
  }
  // Damaged data, a source cut short and output past the limit all end the stream early.
  if (!inflated.Ended()) return;
  out.resize(size);
  destination = TMemoryStream(std::move(out));
}

int64_t TKVStreamFunc::InflateLimit(std::size_t compressedSize) {
  constexpr int64_t Ratio = 1100, Margin = int64_t{4} << 20;
  const int64_t limit =
      static_cast<int64_t>(std::min<std::size_t>(compressedSize, INT32_MAX)) * Ratio + Margin;
  return std::min<int64_t>(limit, INT32_MAX);
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

// ---- TInflateStream

struct TInflateStream::TZ {
  z_stream Stream{};
  bool Open = false;
};

TInflateStream::TInflateStream(std::span<const uint8_t> source, bool discardSource, int64_t limit)
    : Z(std::make_unique<TZ>()), Source(source), DiscardSource(discardSource),
      Limit(limit < 0 ? TKVStreamFunc::InflateLimit(source.size()) : limit) {
  Z->Open = source.size() <= UINT32_MAX && inflateInit(&Z->Stream) == Z_OK;
  if (!Z->Open) State = TState::Broken;
}

TInflateStream::~TInflateStream() {
  if (Z->Open) inflateEnd(&Z->Stream);
}

int64_t TInflateStream::TotalOut() const {
  return static_cast<int64_t>(Z->Stream.total_out);
}

std::size_t TInflateStream::Produce(uint8_t* out, std::size_t count) {
  constexpr std::size_t Slice = std::size_t{1} << 20;
  z_stream& z = Z->Stream;
  std::size_t produced = 0;
  while (produced < count && State == TState::Open) {
    if (z.avail_in == 0 && Fed < Source.size()) {
      if (DiscardSource) {
        TKVStreamFunc::DiscardPages(Source.data() + Discarded, Source.data() + Fed);
        Discarded = Fed;
      }
      z.next_in = const_cast<Bytef*>(Source.data() + Fed);
      z.avail_in = static_cast<uInt>(std::min(Slice, Source.size() - Fed));
      Fed += z.avail_in;
    }
    // Never past the limit: one byte beyond it shows that the stream holds more.
    const int64_t room = Limit + 1 - TotalOut();
    z.next_out = out + produced;
    z.avail_out =
        static_cast<uInt>(std::min<std::size_t>({count - produced, Slice, static_cast<std::size_t>(room)}));
    const uInt before = z.avail_out;
    const int rc = inflate(&z, Z_NO_FLUSH);
    const std::size_t got = before - z.avail_out;
    produced += got;
    if (TotalOut() > Limit) {
      State = TState::Broken;
      return produced - 1;
    }
    if (rc == Z_STREAM_END) {
      State = TState::Ended;
    } else if (rc == Z_BUF_ERROR) {
      // No progress possible: the source ended before the zlib stream.
      if (z.avail_in == 0 && Fed >= Source.size()) State = TState::Broken;
    } else if (rc != Z_OK) {
      State = TState::Broken;
    }
  }
  if (State != TState::Open && DiscardSource)
    TKVStreamFunc::DiscardPages(Source.data() + Discarded, Source.data() + Fed);
  return produced;
}

void TInflateStream::Compact() {
  if (At <= KeepBehind) return;
  const std::size_t drop = At - KeepBehind;
  Window.erase(Window.begin(), Window.begin() + static_cast<std::ptrdiff_t>(drop));
  Start += static_cast<int64_t>(drop);
  At = KeepBehind;
  // A large window once needed for one long read is not kept for the small ones after it.
  if (Window.capacity() > (std::size_t{4} << 20) && Window.capacity() > 4 * Window.size())
    Window.shrink_to_fit();
}

void TInflateStream::Fill(int64_t count) {
  constexpr std::size_t Step = std::size_t{64} << 10;
  if (Ahead() >= count) return;
  Compact();
  while (Ahead() < count && State == TState::Open) {
    const std::size_t have = Window.size();
    const std::size_t want = std::max(Step, static_cast<std::size_t>(count - Ahead()));
    Window.resize(have + want);
    Window.resize(have + Produce(Window.data() + have, want));
  }
}

std::size_t TInflateStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  std::size_t done = std::min(count, static_cast<std::size_t>(Ahead()));
  if (done > 0) std::memcpy(out, Window.data() + At, done);
  At += done;
  if (done == count) return done;
  constexpr std::size_t Direct = std::size_t{64} << 10;
  if (count - done < Direct) {
    Fill(static_cast<int64_t>(count - done));
    const std::size_t more = std::min(count - done, static_cast<std::size_t>(Ahead()));
    if (more > 0) std::memcpy(out + done, Window.data() + At, more);
    At += more;
    return done + more;
  }
  // A long read inflates straight into the caller's buffer; its tail stays behind for a step back.
  Start += static_cast<int64_t>(Window.size());
  Window.clear();
  At = 0;
  const std::size_t more = Produce(out + done, count - done);
  done += more;
  const std::size_t keep = std::min(done, KeepBehind);
  Window.assign(out + done - keep, out + done);
  Start -= static_cast<int64_t>(keep) - static_cast<int64_t>(more);
  At = keep;
  return done;
}

std::size_t TInflateStream::Write(const void*, std::size_t) {
  throw EWriteError();
}

void TInflateStream::SetSize(int64_t) {
  throw EWriteError();
}

int64_t TInflateStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                       : origin == TSeekOrigin::soCurrent ? Start + static_cast<int64_t>(At)
                                                          : Size();
  const int64_t target = base + offset;
  if (target < Start) throw EReadError();
  if (target > Size()) {
    // Forward past what is inflated: produced and dropped, at most to the end of the stream.
    Skip(target - Start - static_cast<int64_t>(At));
    return Start + static_cast<int64_t>(At);
  }
  At = static_cast<std::size_t>(target - Start);
  return target;
}

bool TInflateStream::CanRead(int64_t count) {
  if (count < 0 || !MayHold(count)) return false;
  Fill(count);
  return Ahead() >= count;
}

bool TInflateStream::MayHold(int64_t count) const {
  return count >= 0 && (count <= Ahead() || (State == TState::Open && count <= Limit - Size() + Ahead()));
}

void TInflateStream::Skip(int64_t count) {
  if (!MayHold(count)) throw EReadError();
  // Skipped bytes pass through the window a slice at a time, so that a long skip holds no more than that.
  constexpr int64_t Step = int64_t{1} << 20;
  while (count > 0) {
    if (Ahead() == 0) Fill(std::min(count, Step));
    if (Ahead() == 0) throw EReadError();
    const int64_t step = std::min(count, Ahead());
    At += static_cast<std::size_t>(step);
    count -= step;
    Compact();
  }
}

bool TInflateStream::Finish() {
  constexpr std::size_t Trailing = std::size_t{64} << 10;
  if (State == TState::Open) {
    std::vector<uint8_t> scratch(Trailing);
    Produce(scratch.data(), scratch.size());
  }
  return State != TState::Broken;
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
