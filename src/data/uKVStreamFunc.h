// Byte conventions shared by every own format: little-endian integers, counted strings, sized blocks,
// zlib sections, Base64 and the tagged-record framing with its trailing extension count.
#pragma once

#include "data/uKVStream.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace kv {

// Stateless; all operations are static. Texts are single-byte (Windows-1252) strings held as they are stored.
class TKVStreamFunc {
public:
  static void WriteByte(uint8_t value, TStream& stream);
  static void WriteWord(int16_t value, TStream& stream);
  static void WriteInteger(int32_t value, TStream& stream);
  static void WriteCardinal(uint32_t value, TStream& stream);
  // Counted string: int32 length, then the characters (nothing more for the empty string).
  static void WriteString(std::string_view text, TStream& stream);
  // Short string: one byte length (the text is cut at 255 characters), then the characters.
  static void WriteShortString(std::string_view text, TStream& stream);

  static uint8_t ReadByte(TStream& stream);
  static int16_t ReadWord(TStream& stream);
  static uint16_t ReadTag(TStream& stream);
  static int32_t ReadInteger(TStream& stream);
  static uint32_t ReadCardinal(TStream& stream);
  // A stored length <= 0 gives the empty string and consumes only the four length bytes.
  static std::string ReadString(TStream& stream);
  static std::string ReadShortString(TStream& stream);
  // Exactly count bytes, no length prefix. A count beyond the bytes left raises EReadError before allocating.
  static std::string ReadChars(TStream& stream, int64_t count);

  // Sized block: int32 size of the whole source, then its bytes from the start. No source writes size 0.
  static void WriteSizedStream(TStream* source, TStream& destination);
  // Reads a sized block into destination (replacing its content) and rewinds it.
  // A negative size, or one larger than what is left in source, raises EReadError before allocating.
  static void ReadSizedStream(TMemoryStream& destination, TStream& source);

  // zlib at the default level. A zlib error raises EWriteError and leaves the destination empty.
  static void CompressStream(const TMemoryStream& source, TMemoryStream& destination);
  static void DecompressStream(const TMemoryStream& source, TMemoryStream& destination);
  // The same over bytes in place, so that a caller holding the data in memory need not copy it first.
  // The output is capped at InflateLimit of the source (and never beyond 2 GiB - 1, as the formats address
  // their content with 32-bit lengths); a larger result counts as invalid data.
  // discardSource: the source is never read afterwards, and its pages go back to the system as they are
  // inflated (see DiscardPages).
  // limit, when not negative, lowers the cap further (what is left of a budget several streams share).
  static void DecompressBuffer(std::span<const uint8_t> source, TMemoryStream& destination,
                               bool discardSource = false, int64_t limit = -1);
  // Gives the whole memory pages within [begin, end) back to the system; they read as zeros afterwards. For
  // buffers of which that part is never read again; nothing where the system has no such call.
  static void DiscardPages(const uint8_t* begin, const uint8_t* end);
  // The most a zlib stream of compressedSize bytes may inflate to. Deflate's best ratio is about 1032:1, so
  // no honest stream comes near it; a bomb is refused here rather than filling the memory.
  static int64_t InflateLimit(std::size_t compressedSize);

  static std::string EncodeBase64(TStream& stream);
  // Truncates destination, then decodes. False on a character outside the alphabet or a bad final group;
  // what was decoded before the fault stays in destination.
  static bool DecodeBase64(std::string_view text, TMemoryStream& destination);

  // Reads the int32 extension count that ends most records and skips that many bytes.
  // A negative count, or one past the end, raises EReadError.
  static void SkipExtension(TStream& stream);
};

// A zlib stream read as it is inflated. The reader pulls only what it parses, so whatever follows the content
// it needs is never inflated. Reads and skips go forward; a step back reaches the last KeepBehind bytes
// read. Size is the end of what has been inflated so far; CanRead and Skip inflate as far as they need.
// Output beyond InflateLimit of the source, damaged data or a source that ends before its zlib stream does
// reads as the end of the stream, so that the reader's own checks raise EReadError.
class TInflateStream : public TStream {
public:
  static constexpr std::size_t KeepBehind = 64;

  // The source must outlive the stream. discardSource: as for DecompressBuffer. limit: the most output
  // taken, InflateLimit of the source when negative.
  explicit TInflateStream(std::span<const uint8_t> source, bool discardSource = false, int64_t limit = -1);
  ~TInflateStream() override;
  TInflateStream(const TInflateStream&) = delete;
  TInflateStream& operator=(const TInflateStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  // Read only: raises EWriteError.
  std::size_t Write(const void* buffer, std::size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() const override { return Start + static_cast<int64_t>(Window.size()); }
  void SetSize(int64_t size) override;
  bool CanRead(int64_t count) override;
  void Skip(int64_t count) override;

  // Whether count more bytes may still come without passing the output limit; inflates nothing. For a
  // caller that fills its own buffer as it reads rather than having the bytes inflated ahead.
  bool MayHold(int64_t count) const;
  // Ends the read: the zlib stream must end cleanly within a little more output (a package's writer puts
  // nothing after its content); longer trailing data is left alone, never inflated. False when the data
  // is damaged or cut short.
  bool Finish();
  // Bytes inflated so far.
  int64_t TotalOut() const;
  // The output still allowed under the limit.
  int64_t Room() const { return Limit > TotalOut() ? Limit - TotalOut() : 0; }
  // The zlib stream has ended cleanly.
  bool Ended() const { return State == TState::Ended; }

private:
  enum class TState { Open, Ended, Broken };
  // Inflates up to count bytes into out; returns how many came.
  std::size_t Produce(uint8_t* out, std::size_t count);
  // Drops what lies more than KeepBehind bytes behind the position.
  void Compact();
  // Inflates into the window until count bytes lie ahead of the position, or the stream ends.
  void Fill(int64_t count);
  int64_t Ahead() const { return static_cast<int64_t>(Window.size() - At); }

  struct TZ;
  std::unique_ptr<TZ> Z;
  std::span<const uint8_t> Source;
  bool DiscardSource;
  std::size_t Fed = 0, Discarded = 0;
  int64_t Limit;
  TState State = TState::Open;
  // Output bytes [Start, Start + Window.size()); the position is Start + At.
  std::vector<uint8_t> Window;
  std::size_t At = 0;
  int64_t Start = 0;
};

} // namespace kv
