// Byte conventions shared by every own format: little-endian integers, counted strings, sized blocks,
// zlib sections, Base64 and the tagged-record framing with its trailing extension count.
#pragma once

#include "data/uKVStream.h"

#include <cstdint>
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

  // zlib at the default level. On a zlib error the destination is left empty; no error reaches the caller.
  static void CompressStream(const TMemoryStream& source, TMemoryStream& destination);
  static void DecompressStream(const TMemoryStream& source, TMemoryStream& destination);
  // The same over bytes in place, so that a caller holding the data in memory need not copy it first.
  // The output is capped at 2 GiB - 1 (the formats address their content with 32-bit lengths); a larger
  // result counts as invalid data.
  // discardSource: the source is never read afterwards, and its pages go back to the system as they are
  // inflated (see DiscardPages).
  static void DecompressBuffer(std::span<const uint8_t> source, TMemoryStream& destination,
                               bool discardSource = false);
  // Gives the whole memory pages within [begin, end) back to the system; they read as zeros afterwards. For
  // buffers of which that part is never read again; nothing where the system has no such call.
  static void DiscardPages(const uint8_t* begin, const uint8_t* end);

  static std::string EncodeBase64(TStream& stream);
  // Truncates destination, then decodes. False on a character outside the alphabet or a bad final group;
  // what was decoded before the fault stays in destination.
  static bool DecodeBase64(std::string_view text, TMemoryStream& destination);

  // Reads the int32 extension count that ends most records and skips that many bytes.
  // A negative count, or one past the end, raises EReadError.
  static void SkipExtension(TStream& stream);
};

} // namespace kv
