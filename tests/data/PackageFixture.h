// Builders for hand-made game packages, and a walker that splits a written package into its records using
// what each record really holds (several length fields do not measure their payload).
#pragma once

#include "core/uKVErrors.h"
#include "data/uExecData.h"
#include "data/uKVStreamFunc.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvtest {

// One tagged record whose length is the payload size, or the given length.
inline Bytes Record(uint16_t tag, const Bytes& payload, std::optional<int32_t> length = std::nullopt) {
  return Bytes().u16(tag).i32(length ? *length : static_cast<int32_t>(payload.size())).raw(payload.data());
}

inline Bytes EndRecord() {
  return Bytes().u16(kv::PackageTag::End).i32(0);
}

// The decompressed data section: signature, the records, the end record (unless withEnd is false).
inline Bytes DataSection(const Bytes& records, bool withEnd = true) {
  Bytes section;
  section.u8(3).chars("PZZ").raw(records.data());
  if (withEnd) section.raw(EndRecord().data());
  return section;
}

inline std::vector<uint8_t> Compress(const Bytes& section) {
  kv::TMemoryStream packed;
  kv::TKVStreamFunc::CompressStream(section.stream(), packed);
  return packed.Bytes();
}

// A preview section holding the given preview records (the end record is not added).
inline Bytes Preview(const Bytes& records) {
  return Bytes().u16(0xDEAD).u16(0).i32(static_cast<int32_t>(records.size())).raw(records.data());
}

inline Bytes ThumbnailRecord(int32_t columns, int32_t rows, const std::vector<uint8_t>& bmp,
                             int32_t ext = 0) {
  Bytes payload;
  payload.i32(columns).i32(rows).i32(static_cast<int32_t>(bmp.size())).raw(bmp).i32(ext);
  for (int32_t i = 0; i < ext; ++i) payload.u8(0xEE);
  return Record(kv::PackageTag::Thumbnail, payload, static_cast<int32_t>(16 + bmp.size()));
}

// A whole package: no preview section, signature, records, end record, compressed.
inline kv::TMemoryStream Package(const Bytes& records) {
  return kv::TMemoryStream(Compress(DataSection(records)));
}

inline kv::TMemoryStream PackageWithPreview(const Bytes& previewRecords, const Bytes& records) {
  Bytes all = Preview(previewRecords);
  all.raw(Compress(DataSection(records)));
  return all.stream();
}

// A picture or sound record (7856, 7857) as the format has it: the length is the file size only.
inline Bytes FileRecord(uint16_t tag, uint32_t id, std::string_view name, const std::vector<uint8_t>& file,
                        int32_t ext = 0) {
  Bytes r;
  r.u16(tag).i32(static_cast<int32_t>(file.size())).u32(id).str(name).raw(file).i32(ext);
  for (int32_t i = 0; i < ext; ++i) r.u8(0xEE);
  return r;
}

// A minimal 24-bit Windows BMP file of the given size.
inline std::vector<uint8_t> TinyBmp(int32_t width, int32_t height) {
  const int32_t row = (width * 3 + 3) / 4 * 4;
  const int32_t pixels = row * height;
  Bytes b;
  b.chars("BM").u32(static_cast<uint32_t>(54 + pixels)).u32(0).u32(54);
  b.u32(40)
      .i32(width)
      .i32(height)
      .u16(1)
      .u16(24)
      .u32(0)
      .u32(static_cast<uint32_t>(pixels))
      .i32(2835)
      .i32(2835);
  b.u32(0).u32(0);
  for (int32_t i = 0; i < pixels; ++i) b.u8(static_cast<uint8_t>(i * 37));
  return b.data();
}

struct TWrittenRecord {
  uint16_t Tag = 0;
  int32_t Length = 0;
  std::vector<uint8_t> Payload;
};

struct TWrittenPackage {
  std::vector<uint8_t> PreviewHeader; // the 8 header bytes
  std::vector<TWrittenRecord> Preview;
  std::vector<TWrittenRecord> Records; // the data section, end record included
};

namespace detail {

inline int32_t I32(const std::vector<uint8_t>& b, std::size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("record walker ran past the data");
  return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                              static_cast<uint32_t>(b[at + 3]) << 24);
}

// The bytes a written record really occupies after its length field.
inline int64_t PayloadSize(uint16_t tag, int32_t length, const std::vector<uint8_t>& b, std::size_t at) {
  namespace T = kv::PackageTag;
  switch (tag) {
  case T::Picture:
  case T::Sound: {
    const int32_t nameLength = I32(b, at + 4);
    return 4 + 4 + nameLength + int64_t{length} + 4;
  }
  case T::EventSounds:
    return int64_t{length} + 8; // slot and extension count are not counted
  case T::ImageButton:
    return int64_t{length} - 16;
  case T::Banner: {
    std::size_t p = at + 4;
    p += 4 + static_cast<std::size_t>(I32(b, p)); // name
    p += 4 + static_cast<std::size_t>(I32(b, p)); // URL
    p += 4 * 4 + 1;
    p += 4 + static_cast<std::size_t>(I32(b, p)); // picture
    return static_cast<int64_t>(p - at);
  }
  default:
    return length;
  }
}

// Walks the records from `at` to the end tag, which must close the data exactly.
inline std::vector<TWrittenRecord> Walk(const std::vector<uint8_t>& b, std::size_t at, uint16_t endTag) {
  std::vector<TWrittenRecord> records;
  while (true) {
    if (at + 6 > b.size()) throw std::runtime_error("record walker ran past the data");
    TWrittenRecord r;
    r.Tag = static_cast<uint16_t>(b[at] | b[at + 1] << 8);
    r.Length = I32(b, at + 2);
    at += 6;
    const int64_t size = PayloadSize(r.Tag, r.Length, b, at);
    if (size < 0 || at + static_cast<std::size_t>(size) > b.size())
      throw std::runtime_error("record walker ran past the data in record " + std::to_string(r.Tag) +
                               " after " + std::to_string(records.empty() ? 0 : records.back().Tag));
    r.Payload.assign(b.begin() + static_cast<std::ptrdiff_t>(at),
                     b.begin() + static_cast<std::ptrdiff_t>(at + static_cast<std::size_t>(size)));
    at += static_cast<std::size_t>(size);
    records.push_back(std::move(r));
    if (records.back().Tag == endTag) {
      if (at != b.size()) throw std::runtime_error("bytes after the end record");
      return records;
    }
  }
}

} // namespace detail

// Splits a package written by the writer (preview section present) into its records.
inline TWrittenPackage SplitPackage(const std::vector<uint8_t>& bytes) {
  TWrittenPackage package;
  if (bytes.size() < 8) throw std::runtime_error("no preview header");
  package.PreviewHeader.assign(bytes.begin(), bytes.begin() + 8);
  const auto previewSize = static_cast<std::size_t>(detail::I32(bytes, 4));
  const std::vector<uint8_t> preview(bytes.begin() + 8,
                                     bytes.begin() + 8 + static_cast<std::ptrdiff_t>(previewSize));
  package.Preview = detail::Walk(preview, 0, kv::PackageTag::PreviewEnd);
  kv::TMemoryStream packed(
      std::vector<uint8_t>(bytes.begin() + 8 + static_cast<std::ptrdiff_t>(previewSize), bytes.end()));
  kv::TMemoryStream section;
  kv::TKVStreamFunc::DecompressStream(packed, section);
  const std::vector<uint8_t>& data = section.Bytes();
  if (data.size() < 4 || data[0] != 3 || data[1] != 'P' || data[2] != 'Z' || data[3] != 'Z')
    throw std::runtime_error("no signature");
  package.Records = detail::Walk(data, 4, kv::PackageTag::End);
  return package;
}

inline std::vector<uint16_t> TagsOf(const std::vector<TWrittenRecord>& records) {
  std::vector<uint16_t> tags;
  for (const auto& r : records) tags.push_back(r.Tag);
  return tags;
}

// Loads a package into a fresh model.
inline void Load(kv::TJigsawProject2& project, kv::TMemoryStream package) {
  package.SetPosition(0);
  project.LoadFromStream(&package);
}

} // namespace kvtest
