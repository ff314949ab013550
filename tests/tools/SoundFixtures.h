// The smallest sound files of each format the package tool takes, built byte by byte for the tests.
#pragma once

#include "support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

// A RIFF WAVE file with a "fmt " chunk of fmtLength bytes (16 or more) and a data chunk of dataSize bytes.
struct WavLayout {
  uint16_t Tag = 1;
  uint16_t Channels = 1;
  uint32_t Rate = 8000;
  uint16_t Align = 1;
  uint16_t Bits = 8;
  uint32_t DataSize = 16;
  uint32_t FmtLength = 16;
  uint16_t SubFormat = 1; // the sub-format of an extensible (0xFFFE) format
};

inline std::vector<uint8_t> MakeWav(const WavLayout& w) {
  Bytes fmt;
  fmt.u16(w.Tag).u16(w.Channels).u32(w.Rate).u32(w.Rate * w.Align).u16(w.Align).u16(w.Bits);
  if (w.FmtLength >= 40) {
    // cbSize, valid bits, channel mask, then the sub-format GUID (KSDATAFORMAT_SUBTYPE_*).
    fmt.u16(22).u16(w.Bits).u32(0).u16(w.SubFormat);
    fmt.raw({0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
  }
  while (fmt.size() < w.FmtLength) fmt.u8(0);
  Bytes body;
  body.chars("WAVE").chars("fmt ").u32(w.FmtLength).raw(fmt.data());
  body.chars("data").u32(w.DataSize).raw(std::vector<uint8_t>(w.DataSize, 0x80));
  if (w.DataSize % 2) body.u8(0);
  Bytes file;
  file.chars("RIFF").u32(static_cast<uint32_t>(body.size())).raw(body.data());
  return file.data();
}

// A standard MIDI file of one track that only ends.
inline std::vector<uint8_t> MakeMidi(uint16_t format = 0, uint16_t tracks = 1) {
  Bytes b;
  b.chars("MThd").raw({0, 0, 0, 6}).raw({0, static_cast<uint8_t>(format)});
  b.raw({static_cast<uint8_t>(tracks >> 8), static_cast<uint8_t>(tracks)}).raw({0, 96});
  for (uint16_t i = 0; i < tracks; ++i) b.chars("MTrk").raw({0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00});
  return b.data();
}

// MPEG audio: `count` frames of `length` bytes, each beginning with the four header bytes.
inline std::vector<uint8_t> MakeMpegFrames(std::initializer_list<uint8_t> header, std::size_t length,
                                           int count = 3) {
  std::vector<uint8_t> frames;
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> frame(length, 0);
    std::copy(header.begin(), header.end(), frame.begin());
    frames.insert(frames.end(), frame.begin(), frame.end());
  }
  return frames;
}

// MPEG 1 layer III, 128 kbit/s, 44100 Hz: frames of 417 bytes.
inline std::vector<uint8_t> MakeMp3(int frames = 3) {
  return MakeMpegFrames({0xFF, 0xFB, 0x90, 0x64}, 417, frames);
}

// An ID3v2.3 tag of `size` bytes of frames (all padding) before the audio.
inline std::vector<uint8_t> Id3Tag(uint32_t size) {
  Bytes b;
  b.chars("ID3").raw({3, 0, 0});
  b.raw({static_cast<uint8_t>(size >> 21 & 0x7F), static_cast<uint8_t>(size >> 14 & 0x7F),
         static_cast<uint8_t>(size >> 7 & 0x7F), static_cast<uint8_t>(size & 0x7F)});
  b.raw(std::vector<uint8_t>(size, 0));
  return b.data();
}

inline const std::vector<uint8_t> kAsfHeaderGuid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline const std::vector<uint8_t> kAsfFilePropertiesGuid = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                            0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline const std::vector<uint8_t> kAsfStreamPropertiesGuid = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                                              0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline const std::vector<uint8_t> kAsfDataGuid = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// An ASF object: its GUID, its 64-bit size and `body` zero bytes.
inline std::vector<uint8_t> AsfObject(const std::vector<uint8_t>& guid, uint64_t body) {
  Bytes b;
  b.raw(guid).u32(static_cast<uint32_t>(24 + body)).u32(static_cast<uint32_t>((24 + body) >> 32));
  b.raw(std::vector<uint8_t>(body, 0));
  return b.data();
}

// An ASF file: a header object holding the given objects, then an empty data object.
inline std::vector<uint8_t> MakeWma(const std::vector<std::vector<uint8_t>>& objects) {
  std::vector<uint8_t> inside;
  for (const auto& object : objects) inside.insert(inside.end(), object.begin(), object.end());
  Bytes b;
  b.raw(kAsfHeaderGuid).u32(static_cast<uint32_t>(30 + inside.size())).u32(0);
  b.u32(static_cast<uint32_t>(objects.size())).raw({1, 2}).raw(inside);
  b.raw(kAsfDataGuid).u32(50).u32(0).raw(std::vector<uint8_t>(24, 0)).raw({1, 1});
  return b.data();
}

inline std::vector<uint8_t> MakeWma() {
  return MakeWma({AsfObject(kAsfFilePropertiesGuid, 80), AsfObject(kAsfStreamPropertiesGuid, 54)});
}

} // namespace kvtest
