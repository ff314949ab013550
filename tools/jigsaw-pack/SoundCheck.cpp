#include "SoundCheck.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>

namespace kvtools {

namespace {

using Bytes = std::span<const uint8_t>;

bool Is(Bytes b, uint64_t at, const char* text) {
  const std::size_t n = std::strlen(text);
  return at <= b.size() && b.size() - at >= n && std::memcmp(b.data() + at, text, n) == 0;
}

bool IsGuid(Bytes b, uint64_t at, const std::array<uint8_t, 16>& guid) {
  return at <= b.size() && b.size() - at >= guid.size() &&
         std::equal(guid.begin(), guid.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

// Readers for offsets the caller has checked to lie within the bytes.
uint32_t Le16(Bytes b, uint64_t at) {
  return static_cast<uint32_t>(b[at] | b[at + 1] << 8);
}
uint32_t Le32(Bytes b, uint64_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}
uint64_t Le64(Bytes b, uint64_t at) {
  return Le32(b, at) | static_cast<uint64_t>(Le32(b, at + 4)) << 32;
}
uint32_t Be16(Bytes b, uint64_t at) {
  return static_cast<uint32_t>(b[at] << 8 | b[at + 1]);
}
uint32_t Be32(Bytes b, uint64_t at) {
  return Be16(b, at) << 16 | Be16(b, at + 2);
}

std::string N(uint64_t value) {
  return std::to_string(value);
}

// A chunk id as the file spells it, or in hex when it is not printable.
std::string ChunkId(Bytes b, uint64_t at) {
  std::string id(reinterpret_cast<const char*>(b.data() + at), 4);
  if (std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
    return "\"" + id + "\"";
  std::string hex;
  for (const unsigned char c : id) {
    constexpr char digits[] = "0123456789ABCDEF";
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return "0x" + hex;
}

std::string PastTheEnd(const std::string& what, uint64_t at, uint64_t end, uint64_t size) {
  return "cut short: the " + what + " at byte " + N(at) + " needs " + N(end) + " bytes, the file has " +
         N(size);
}

// ---- WAV

// Writers that stream may give the RIFF size as the whole file or leave a header's worth of bytes unwritten.
constexpr uint64_t kRiffSlack = 8;
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;
constexpr uint32_t kMaxChannels = 8;
constexpr uint32_t kMaxSampleRate = 768000;

std::string FormatProblem(Bytes b, uint64_t body, uint32_t length) {
  if (length < 16) return "the \"fmt \" chunk is " + N(length) + " bytes, fewer than 16";
  uint32_t tag = Le16(b, body);
  const uint32_t channels = Le16(b, body + 2);
  const uint32_t rate = Le32(b, body + 4);
  const uint32_t align = Le16(b, body + 12);
  const uint32_t bits = Le16(b, body + 14);
  if (channels < 1 || channels > kMaxChannels)
    return N(channels) + " channels (1 to " + N(kMaxChannels) + " play)";
  if (rate < 1 || rate > kMaxSampleRate)
    return "a sample rate of " + N(rate) + " Hz (1 to " + N(kMaxSampleRate) + " play)";
  if (tag == 0xFFFE) {
    // WAVE_FORMAT_EXTENSIBLE: the real tag begins the sub-format GUID.
    if (length < 40) return "the extensible \"fmt \" chunk is " + N(length) + " bytes, fewer than 40";
    tag = Le16(b, body + 24);
    if (tag != 1 && tag != 3)
      return "an extensible format of sub-format " + N(tag) + " (PCM or IEEE float play)";
  }
  auto sampleSize = [&](std::initializer_list<uint32_t> allowed, const char* name) -> std::string {
    if (std::find(allowed.begin(), allowed.end(), bits) == allowed.end())
      return N(bits) + "-bit " + name + " samples";
    if (align < channels * ((bits + 7) / 8))
      return "a block of " + N(align) + " bytes for " + N(channels) + " channel(s) of " + N(bits) + "-bit " +
             name + " samples";
    return {};
  };
  switch (tag) {
  case 1:
    return sampleSize({8, 16, 24, 32}, "PCM");
  case 3:
    return sampleSize({32, 64}, "IEEE float");
  case 6:
    return sampleSize({8}, "A-law");
  case 7:
    return sampleSize({8}, "mu-law");
  case 2:    // Microsoft ADPCM
  case 0x11: // IMA ADPCM
    if (bits != 4 && !(tag == 0x11 && bits == 3)) return N(bits) + "-bit ADPCM samples";
    if (align == 0) return "ADPCM blocks of 0 bytes";
    return {};
  default:
    return "the sound is coded with format tag " + N(tag) +
           ", which the player does not play (PCM, IEEE float, A-law, mu-law or ADPCM)";
  }
}

// ---- MP3

struct TFrame {
  uint32_t Version = 0; // the two version bits: 0 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
  uint32_t Layer = 0;   // the two layer bits: 1 layer III, 2 layer II, 3 layer I
  uint32_t RateIndex = 0;
  uint64_t Length = 0;
};

constexpr uint16_t kBitrates[2][3][16] = {
    // MPEG 1: layer I, II, III (kbit/s)
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    // MPEG 2 and 2.5
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
constexpr uint32_t kSampleRates[3] = {44100, 48000, 32000}; // MPEG 1; halved for 2, quartered for 2.5

// The frame whose header begins at `at`, if those four bytes are a valid header.
bool ReadFrame(Bytes b, uint64_t at, TFrame& frame) {
  if (at > b.size() || b.size() - at < 4) return false;
  const uint8_t* h = b.data() + at;
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  frame.Version = h[1] >> 3 & 3;
  frame.Layer = h[1] >> 1 & 3;
  const uint32_t bitrateIndex = h[2] >> 4;
  frame.RateIndex = h[2] >> 2 & 3;
  const uint32_t padding = h[2] >> 1 & 1;
  // Reserved version, layer, sample rate and emphasis; free-format and "bad" bitrates.
  if (frame.Version == 1 || frame.Layer == 0 || frame.RateIndex == 3 || (h[3] & 3) == 2) return false;
  if (bitrateIndex == 0 || bitrateIndex == 15) return false;
  const bool mpeg1 = frame.Version == 3;
  const uint64_t bitrate = uint64_t{kBitrates[mpeg1 ? 0 : 1][3 - frame.Layer][bitrateIndex]} * 1000;
  const uint32_t rate = kSampleRates[frame.RateIndex] >> (mpeg1 ? 0 : frame.Version == 2 ? 1 : 2);
  if (frame.Layer == 3)
    frame.Length = (12 * bitrate / rate + padding) * 4;
  else
    frame.Length = (frame.Layer == 1 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
  return true;
}

bool SameStream(const TFrame& a, const TFrame& b) {
  return a.Version == b.Version && a.Layer == b.Layer && a.RateIndex == b.RateIndex;
}

// Whether the file ends at `at`, perhaps after an ID3v1 tag.
bool EndsAt(Bytes b, uint64_t at) {
  return at == b.size() || (b.size() >= 128 && at == b.size() - 128 && Is(b, at, "TAG"));
}

// Three frames in a row: random bytes almost never hold them. Where the audio begins, fewer frames that run
// exactly to the end of the file are a whole (short) sound too.
bool FramesAt(Bytes b, uint64_t at, bool audioStart) {
  constexpr int kFramesInARow = 3;
  TFrame first;
  if (!ReadFrame(b, at, first)) return false;
  uint64_t next = at + first.Length;
  for (int frames = 1; frames < kFramesInARow; ++frames) {
    if (audioStart && EndsAt(b, next)) return true;
    TFrame frame;
    if (!ReadFrame(b, next, frame) || !SameStream(first, frame)) return false;
    next += frame.Length;
  }
  return true;
}

const std::array<uint8_t, 16> kAsfHeader = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const std::array<uint8_t, 16> kAsfFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                    0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const std::array<uint8_t, 16> kAsfStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                                      0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const std::array<uint8_t, 16> kAsfData = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint64_t kAsfHeaderSize = 30;
constexpr uint64_t kAsfObjectHeaderSize = 24;
constexpr uint64_t kAsfDataHeaderSize = 50;

} // namespace

std::string WavProblem(Bytes b) {
  if (b.size() < 12 || !Is(b, 0, "RIFF") || !Is(b, 8, "WAVE"))
    return "it does not begin with \"RIFF\" and \"WAVE\"";
  const uint64_t size = b.size();
  const uint32_t riff = Le32(b, 4);
  uint64_t end = riff == 0 || riff == kUnknownSize ? size : uint64_t{8} + riff;
  if (end < 12) return "a RIFF size of " + N(riff) + " bytes leaves no room for chunks";
  if (end > size + kRiffSlack) return PastTheEnd("RIFF file", 0, end, size);
  end = std::min(end, size);

  bool format = false;
  for (uint64_t at = 12; end - at >= 8;) {
    const uint64_t body = at + 8;
    uint64_t length = Le32(b, at + 4);
    const bool data = Is(b, at, "data");
    if (data && length == kUnknownSize) length = end - body;
    if (length > end - body) return PastTheEnd(ChunkId(b, at) + " chunk", at, body + length, end);
    if (Is(b, at, "fmt ")) {
      if (const std::string problem = FormatProblem(b, body, static_cast<uint32_t>(length)); !problem.empty())
        return problem;
      format = true;
    } else if (data) {
      if (!format) return "the \"data\" chunk comes before the \"fmt \" chunk";
      if (length == 0) return "the \"data\" chunk is empty";
      return {};
    }
    at = body + length + (length & 1); // chunks are padded to an even length
    if (at > end) break;
  }
  return format ? "no \"data\" chunk" : "no \"fmt \" chunk";
}

std::string MidiProblem(Bytes b) {
  if (b.size() < 8 || !Is(b, 0, "MThd")) return "it does not begin with \"MThd\"";
  const uint64_t size = b.size();
  const uint64_t length = Be32(b, 4);
  if (length < 6) return "the \"MThd\" chunk is " + N(length) + " bytes, fewer than 6";
  if (length > size - 8) return PastTheEnd("\"MThd\" chunk", 0, 8 + length, size);
  const uint32_t format = Be16(b, 8);
  const uint32_t tracks = Be16(b, 10);
  if (format > 2) return "MIDI format " + N(format) + " (0, 1 or 2 play)";
  if (tracks == 0) return "the \"MThd\" chunk names no tracks";
  if (Be16(b, 12) == 0) return "a time division of 0";

  // Chunks of other kinds are skipped, as readers must; bytes after the last track are not looked at.
  uint32_t found = 0;
  for (uint64_t at = 8 + length; found < tracks && size - at >= 8;) {
    const uint64_t chunk = Be32(b, at + 4);
    if (chunk > size - at - 8) return PastTheEnd(ChunkId(b, at) + " chunk", at, at + 8 + chunk, size);
    if (Is(b, at, "MTrk")) ++found;
    at += 8 + chunk;
  }
  if (found < tracks)
    return "cut short: the \"MThd\" chunk names " + N(tracks) + " track(s), the file has " + N(found);
  return {};
}

std::string Mp3Problem(Bytes b) {
  const uint64_t size = b.size();
  uint64_t at = 0;
  while (size - at >= 10 && Is(b, at, "ID3")) {
    uint64_t tag = 0;
    for (uint64_t i = 6; i < 10; ++i) {
      if (b[at + i] & 0x80) return "the ID3 tag at byte " + N(at) + " has a size that is not syncsafe";
      tag = tag << 7 | b[at + i];
    }
    const uint64_t footer = b[at + 5] & 0x10 ? 10 : 0;
    const uint64_t total = 10 + tag + footer;
    if (total > size - at) return PastTheEnd("ID3 tag", at, at + total, size);
    at += total;
  }
  const uint64_t audio = at;
  for (; size - at >= 4; ++at)
    if (FramesAt(b, at, at == audio)) return {};
  return audio > 0 ? "no MPEG audio frames after the ID3 tag" : "no MPEG audio frames";
}

std::string WmaProblem(Bytes b) {
  if (!IsGuid(b, 0, kAsfHeader) || b.size() < kAsfHeaderSize)
    return "it does not begin with an ASF header object";
  const uint64_t size = b.size();
  const uint64_t header = Le64(b, 16);
  if (header < kAsfHeaderSize) return "an ASF header object of " + N(header) + " bytes, fewer than 30";
  if (header > size) return PastTheEnd("ASF header object", 0, header, size);
  bool properties = false;
  for (uint64_t at = kAsfHeaderSize; at < header;) {
    if (header - at < kAsfObjectHeaderSize)
      return "the ASF header object ends inside the object at byte " + N(at);
    const uint64_t object = Le64(b, at + 16);
    if (object < kAsfObjectHeaderSize || object > header - at)
      return "the object at byte " + N(at) + " of the ASF header has a size of " + N(object) +
             " bytes, which does not fit in the header";
    properties = properties || IsGuid(b, at, kAsfFileProperties) || IsGuid(b, at, kAsfStreamProperties);
    at += object;
  }
  if (!properties) return "the ASF header holds no file or stream properties";
  if (!IsGuid(b, header, kAsfData) || size - header < kAsfDataHeaderSize)
    return "no ASF data object after the header";
  return {};
}

} // namespace kvtools
